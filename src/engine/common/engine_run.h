/* engine/common/engine_run.h - what every zip or unzip call keeps while it runs.
 *
 * Both entries take a caller's record through the same stages: a behaviour
 * level from its size, the caller's message channel, the progress callbacks,
 * and one result report per run.  EngineRun holds that common part; ZipRun
 * and UnzipRun add their side's record and settings.
 *
 * Result report: only the first failure of a run counts.  report() records
 * the code, appends the text to the diagnostic log (a line end, the text, a
 * line end) when the log is on, and shows it with display type 11 unless the
 * caller asked for quiet.  Each side builds its own text.
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/common/message_display.h"
#include "engine/common/messages.h"
#include "engine/common/progress.h"

namespace ostrana {

struct EngineRun {
  EngineRun(const MessageRow* table, const DisplayTable& display, int diagnostic_log_id)
      : messages(table), display_table(&display), diagnostic_log_id(diagnostic_log_id) {}

  int32_t caller_nbytes = 0;  ///< the caller's structSize
  int level = 0;              ///< behaviour level: 100, 200, 300, 500, 600; 0 for a bad size
  bool diagnostic = false;    ///< diagnosticFlag
  bool quiet = false;         ///< quietFlag
  bool pump = true;           ///< option bit 14 clear

  MessageBook messages;
  StatusReporter status;

  bool reported = false;      ///< a failure was reported; later reports are ignored
  int result = 0;             ///< the run's result

  const DisplayTable* display_table;
  int diagnostic_log_id;      ///< the message that names the diagnostic log

  /// Records @p code (first failure wins) and logs and shows @p text.
  /// @return the run's result.
  int report(int code, const std::string& text);

  /// Shows display @p type of the side's table; @return the answer.
  int display(int type, uint32_t style, int code, int extra, const char* caller_text = nullptr);

  /// Appends @p text to the diagnostic log.
  void append_diagnostic(const std::string& text);
};

/// Sets a flag for the lifetime of the guard (the entries' re-entry guard).
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : m_busy(busy) { m_busy = true; }
  ~BusyGuard() { m_busy = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& m_busy;
};

/// Shows @p text with display type 11 outside any run: the report of a call
/// that was refused because its thread is busy.  @p book is the refused
/// caller's own (its channel, its slots), so the running call is not touched.
void show_refusal(MessageBook& book, const DisplayTable& display, int code, const std::string& text, bool pump);

}  // namespace ostrana
