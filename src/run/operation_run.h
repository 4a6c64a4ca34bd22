/* run/operation_run.h - one run of the operation in the record: its state, its rules, its end.
 *
 * The performing page and the headless scheduled run both run an operation
 * through this class, so the rules exist once; each of them only shows what
 * the run reports through its RunPresenter.  A run goes through four steps,
 * called by its owner in this order:
 *
 *   page_created()  "create new" over an existing archive is recorded (event 164);
 *                   the old archive stays until the new one is complete
 *   prepare()       a scheduled run switches to the stored operation (event 155);
 *                   the monitoring line; the password question for an archive
 *                   with encrypted items; the title and "please wait" lines
 *   perform()       the zip or extract run through the engine bridge, with this
 *                   object as its UI progress callback (256, 257, 272)
 *   complete()      the outcome, "delete after", what to open and when to close
 *
 * request_stop() is Stop answered with Yes: the next progress report over the
 * items tells the engine to stop, which ends the run with its cancel code.
 *
 * Departures from the program's first design, each for the user's data:
 *   - "create new" builds the new archive from nothing under another name and
 *     renames it over the old one only when it is complete (ArchiveReplacement);
 *   - "delete after" deletes only files the new archive holds whole and that
 *     did not change during the run (ProcessedFiles);
 *   - the counter counts items, not reports: the engine repeats its last line
 *     while it reads a large file, and those repeats are not new files;
 *   - an extraction without a password that left encrypted items behind ends
 *     with "File skipped, encrypted" (41), not with success;
 *   - the total moves within an item too (from the overall percent at the
 *     item's start towards the next one, by the item's own percent).
 */
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bridge/engine_bridge.h"
#include "bridge/ui_progress.h"
#include "run/processed_files.h"
#include "run/run_presenter.h"

namespace core {
struct OperationRecord;
}
namespace tasklog {
class TaskLog;
}

namespace run {

/// What a run can be given instead of the real services (tests).
struct RunSeams {
  bridge::ProgramInstance instance = nullptr;  ///< the string table for engine titles; null: core::load_string
  /// Whether the archive holds encrypted items; default: the bridge's answer.
  std::function<bool(const std::string& archive)> has_encrypted_items;
  /// Tests the new archive before "delete after"; default: the engine's test.
  ArchiveTester archive_tester;
  /// The folder a scheduled extraction uses when its task names none;
  /// default: default_extraction_folder().
  std::function<std::string(const std::string& archive)> default_destination;
};

/// What the owner does once the run has ended.
struct Completion {
  int outcome_id = 0;          ///< string 115, 116 or 117
  bool show_links = false;     ///< "Email" and "Open" (zip runs)
  int close_after_ms = 0;      ///< 0: stay open; else close the wizard after this many ms
  std::string folder_to_open;  ///< a successful interactive extraction: hand to the file manager
  ProcessedFiles::Report deletion;  ///< what "delete after" did (zip runs with it set)
};

/// The folder an extraction uses when none was chosen: the desktop folder and
/// the archive's name without its extension, with a trailing "/".
std::string default_extraction_folder(const std::string& archive_path);

class OperationRun final : public bridge::UiProgressCallback {
 public:
  enum class Preparation {
    kReady,     ///< start the run (the page's 30 ms timer)
    kDeclined,  ///< the user would not go on without a password: close after kDeclineCloseMs
  };
  static constexpr int kRunDelayMs = 30;
  static constexpr int kDeclineCloseMs = 75;
  static constexpr int kScheduledCloseMs = 5000;
  /// The operation result before any run (the page's initial value).
  static constexpr int32_t kNotRun = 1;

  /// @p record, @p log and @p presenter outlive the run.
  OperationRun(core::OperationRecord& record, tasklog::TaskLog& log, RunPresenter& presenter, RunSeams seams = {});

  void page_created();
  Preparation prepare();
  /// Runs the operation.  @return the result (kNotRun when nothing could be run).
  int32_t perform();
  Completion complete();

  /// Stop answered Yes: sets the stop flag and the counter line.
  void request_stop();
  /// True while Stop still means "ask, then stop" (false once stopped or ended).
  bool running() const { return !m_stop; }

  int32_t result() const { return m_result; }
  bool stop_flag() const { return m_stop; }
  bool auto_close() const { return m_auto_close; }
  int processed_counter() const { return m_processed; }
  int skipped_counter() const { return m_skipped; }
  const ProcessedFiles& processed_files() const { return m_files; }
  /// The `run mode` the run performs (the stored operation in a scheduled run).
  int32_t run_mode() const;
  /// The destination folder an extraction writes into (after prepare()).
  const std::string& destination() const { return m_destination; }

  int32_t notify(uint32_t code, const char* text, int32_t value, void* user_data,
                 const bridge::OverwriteInfo* item_info, intptr_t reserved1, intptr_t reserved2,
                 std::string* new_name, std::string* in_out, int32_t* answer) override;

 private:
  int32_t perform_zip();
  int32_t perform_extract();
  void on_item_progress(const std::string& name, int32_t percent);
  int32_t on_overall_progress(const char* text, int32_t percent);
  void on_overwrite(const bridge::OverwriteInfo& info, std::string* new_name, int32_t* answer);
  void show_counter(int tail_id);
  void log_line(const std::string& text, const std::string& item);
  void delete_processed(Completion* completion);

  core::OperationRecord& m_record;
  tasklog::TaskLog& m_log;
  RunPresenter& m_presenter;
  RunSeams m_seams;

  bool m_stop = false;
  bool m_auto_close = false;
  bool m_scheduled = false;
  int m_processed = 0;
  int m_skipped = 0;
  int32_t m_result = kNotRun;
  int32_t m_total_base = 0;   ///< overall percent when the current item began
  int32_t m_total_top = 0;    ///< overall percent once the current item is done
  int32_t m_total_shown = 0;
  std::string m_last_overall_text;
  bool m_have_overall_text = false;
  std::string m_last_new_name;
  std::string m_destination;
  ProcessedFiles m_files;
};

}  // namespace run
