/* log/task_log.h - the events of a scheduled run and their HTML results log.
 *
 * TaskLog collects LogEntry records while a scheduled run works and, at its
 * end, lays them out as an HTML document with HtmlLogWriter: a title table
 * naming the task, the table of events with their times, and the overall
 * result.  The document is named "<base> [<Weekday, Month, DD at HH-MM-SS>].log.html"
 * after the log file name's base name and lands in that file name's folder
 * (the current folder when it names none).
 *
 * Texts taken from outside (operation and item texts, the task name) are
 * escaped for HTML (<, >, &, ") when written, so a file named like a tag shows
 * as text instead of running as markup in the browser that opens the log.
 *
 * Dates and times use the C locale's names (English, like every other text of
 * the log).  The clock and the current folder are seams for tests.
 */
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace core {
struct OperationRecord;
}

namespace tasklog {

/// One collected event.
struct LogEntry {
  int32_t started = 0;         ///< 1 for the entry that announces the start of the task
  std::string operation_text;  ///< what happened (at most 259 bytes)
  std::string item_text;       ///< the file or path concerned (at most 259 bytes)
  std::string date_time_text;  ///< "%A, %B %d, %Y - %H:%M:%S" (at most 95 bytes; not shown)
  std::string event_time;      ///< "%H:%M:%S"; empty for the start entry (at most 95 bytes)
};

/// Escapes <, >, & and " for HTML text.
std::string html_escape(const std::string& text);

/// strftime in the C locale; a conversion that fails gives "".
std::string format_time(const char* format, const std::tm& time);

class TaskLog {
 public:
  using Clock = std::function<std::tm()>;
  using FolderSource = std::function<std::string()>;

  static constexpr size_t kMaxText = 259;
  static constexpr size_t kMaxTimeText = 95;

  TaskLog();

  /// Seams: the local time and the current folder (defaults: the system's).
  void set_clock(Clock clock);
  void set_current_folder(FolderSource folder);

  void add_entry(const std::string& operation_text, const std::string& item_text);
  void add_start_entry(const std::string& operation_text, const std::string& item_text);
  /// Loads the operation text from the string table by @p message_id.
  void add_entry_from_message(int message_id, const std::string& item_text);

  /// Copies the scheduler account, task name, log file name and log enabled from @p record.
  void take_task(const core::OperationRecord& record);

  /// Writes the document for the engine's @p result.  Nothing is written when
  /// log enabled is 0 or the log file name is empty.  Never throws.
  /// @return true when a complete document was written.
  bool write_log(int result);

  const std::vector<LogEntry>& entries() const { return m_entries; }
  void clear();
  const std::string& task_name() const { return m_task_name; }
  const std::string& account_name() const { return m_account_name; }
  const std::string& log_file_name() const { return m_log_file_name; }
  int32_t log_enabled() const { return m_log_enabled; }
  /// Path of the last document written (or attempted) by write_log.
  const std::string& document_path() const { return m_document_path; }
  /// The path write_log would use now.
  std::string document_path_for_now() const;

 private:
  LogEntry make_entry(const std::string& operation_text, const std::string& item_text) const;
  bool lay_out(int result);

  std::vector<LogEntry> m_entries;
  std::string m_account_name;
  std::string m_task_name;
  std::string m_log_file_name;
  int32_t m_log_enabled = 0;
  Clock m_clock;
  FolderSource m_folder;
  std::string m_document_path;
};

/// The process-wide results log of the run.
TaskLog& task_log();

}  // namespace tasklog
