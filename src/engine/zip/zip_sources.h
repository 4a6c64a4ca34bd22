/* engine/zip/zip_sources.h - where a zip run's entry data comes from, and how it reports.
 *
 * The data of an entry comes from one of three sources, each a ByteSource:
 * a file (FileSource), the caller's memory block (MemorySource, byte_stream.h)
 * or the caller's data callback (CallbackSource, direction "to the engine").
 * EntryProgress turns the reading into the minor status callback (the item's
 * name and percent) and polls the major one for a cancel, both at most once
 * per percent step or MiB read, so a large file does not drown the caller in
 * calls.  RunSelectionHooks hands the item selection the run's services.
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/common/byte_stream.h"
#include "engine/zip/deflate_input.h"
#include "engine/zip/rename_records.h"
#include "engine/zip/selection_hooks.h"
#include "engine/zip/zip_state.h"
#include "platform/file.h"

namespace ostrana {

/// A file being stored; read failures are code 11.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(platform::File& file) : m_file(file) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override;
  int error() const override { return m_error; }

 private:
  platform::File& m_file;
  int m_error = 0;
};

/// The caller's data callback, asked for the entry's bytes (direction 0).  The
/// callback's END ends the data with the bytes of that call; no bytes with MORE
/// also ends it (a callback that has nothing now has nothing later: the call is
/// synchronous); CANCEL is code 9; more bytes than asked for is code 16
/// ("invalid length"); any other status is code 11.
class CallbackSource final : public ByteSource {
 public:
  CallbackSource(OSTRANA_DATA_PROC proc, void* user) : m_proc(proc), m_user(user) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override;
  int error() const override { return m_error; }
  /// The message id of the failure's detail (0 if none).
  int detail_id() const { return m_detail_id; }

 private:
  OSTRANA_DATA_PROC m_proc;
  void* m_user;
  uint64_t m_position = 0;
  bool m_ended = false;
  int m_error = 0;
  int m_detail_id = 0;
};

/// Minor status and cancel poll for one entry; warnings go to display type 12.
class EntryProgress final : public EntryReadObserver {
 public:
  EntryProgress(ZipRun& run, const std::string& name, uint64_t total);
  int progress(uint64_t source_nbytes) override;
  /// The in-place encryption pass: minor status with the pass's own percent.
  int pass_progress(uint64_t done_nbytes, uint64_t total_nbytes) override;
  void warning(const char* text) override;

 private:
  ZipRun& m_run;
  std::string m_name;
  uint64_t m_total;
  int m_last_percent = -1;
  uint64_t m_last_poll = 0;
  int m_pass_last_percent = -1;
  uint64_t m_pass_last_poll = 0;
};

/// Writes message @p format_id ("%s") around @p name to the activity log.
void zip_log_item(ZipRun& run, int format_id, const std::string& name);

/// Shows warning @p text (display type 12) unless the run is quiet.
void zip_warning(ZipRun& run, const std::string& text);

/// The run's services as the item selection wants them.
class RunSelectionHooks final : public ProgressHook, public MessageHook, public ActivityLogHook {
 public:
  explicit RunSelectionHooks(ZipRun& run);

  int major_status(const char* text, int percent) override { return m_run.status.major(text, percent); }
  int poll() override { return m_run.status.major_poll(); }
  void pump() override;
  int display(int type, unsigned style, const std::string& text) override;
  void write_line(const std::string& line) override { m_run.activity.line(line); }

  /// The hooks, with @p existing as the existing entries (may be null).
  SelectionHooks hooks(ExistingEntries* existing);

 private:
  ZipRun& m_run;
  RecordRenameHook m_rename;
};

}  // namespace ostrana
