/* tasks/task_table.h - the program's tasks in a user's cron table, and `register task`.
 *
 * A task is two lines of the table: a marker comment carrying its name and
 * comment, then its schedule line (tasks/cron_schedule.h), which ends in the
 * schedule line tag:
 *
 *   # parvell-task name=Scheduled%20NewZIP%20docs.zip comment=Morvane%20...
 *   35 16 * * 2 t=$(date -I | tr -dc 0-9) && [ "$t" -ge 20240604 ] && ... #parvell-task
 *
 * Name and comment are percent-encoded (blanks, "%", control characters), so
 * neither can end the line or be mistaken for the other.  Only these lines are
 * ever changed: every other line of the table (the user's own jobs, comments,
 * environment lines, blank lines) is written back byte for byte, and a marker
 * whose next line is not a tagged schedule line loses only the marker.  A line
 * that merely looks like a marker but does not decode is somebody else's.
 *
 * register_task keeps the scheduler's contract: 0 on success; 0x80070050 when
 * a task of the name exists and fail-if-exists is set; 0x80004005 for a
 * description it refuses (no begin year, name or program; a name with a
 * control character or "/", which also names the task info file; an account
 * name that is none; a line cron could not take); another negative code when
 * the table cannot be read or installed.  Replacing a task removes the old
 * lines and appends the new ones in one installation of the table.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tasks/cron_schedule.h"

namespace platform {
class CrontabService;
}

namespace tasks {

/// Results of register_task (negative: failures).
enum RegisterResult : int32_t {
  kRegisterOk = 0,
  kRegisterNameExists = static_cast<int32_t>(0x80070050),    ///< the name is taken and fail-if-exists is set
  kRegisterRefused = static_cast<int32_t>(0x80004005),       ///< the description was refused
  kRegisterNoScheduler = static_cast<int32_t>(0x80070002),   ///< no crontab program
  kRegisterAccessDenied = static_cast<int32_t>(0x80070005),  ///< crontab refused to show the table
  kRegisterTableRefused = static_cast<int32_t>(0x8007000D),  ///< crontab refused the new table
  kRegisterFailed = static_cast<int32_t>(0x8000FFFF),        ///< the system failed (pipes, processes)
};

/// The start of every marker line.
inline constexpr char kTaskMarkerPrefix[] = "# parvell-task ";

/// One task found in a table.
struct TableTask {
  std::string name;
  std::string comment;
  std::string schedule_line;  ///< "" when the marker stands alone
};

/// The marker line of a task (no line break).
std::string task_marker_line(const std::string& name, const std::string& comment);

/// Decodes a marker line.  @return false when @p line is not one of ours.
bool parse_task_marker_line(std::string_view line, std::string* name_ret, std::string* comment_ret);

/// A cron table cut into its lines, with the program's tasks recognised.
class CronTable {
 public:
  explicit CronTable(std::string_view text);

  /// The table's text; every line ends in a line break (crontab wants the last one too).
  std::string text() const;

  bool has_task(const std::string& name) const;
  /// Removes the marker of every task named @p name, and the schedule line after it.
  /// @return the number of tasks removed.
  int remove_task(const std::string& name);
  /// Appends a task's two lines.
  void append_task(const std::string& marker_line, const std::string& schedule_line);
  /// The tasks in table order.
  std::vector<TableTask> tasks() const;

 private:
  bool is_schedule_line_at(size_t index) const;

  std::vector<std::string> m_lines;  ///< without their line breaks
};

/// True for a name that can become a task: not empty, no control character, no "/".
bool is_acceptable_task_name(std::string_view name);

/// Registers @p task under @p name in the cron table of the task's account
/// (task.account_name when task.set_account, else the caller's own).
/// @return a RegisterResult; @p detail_ret, when given, receives why it failed.
int32_t register_task(platform::CrontabService& crontab, const TaskDescription& task, const std::string& name,
                      bool fail_if_exists, std::string* detail_ret = nullptr);

/// Removes the task @p name from the table register_task put it in for @p task
/// (a task that is not there is no failure).  @return a RegisterResult.
int32_t unregister_task(platform::CrontabService& crontab, const TaskDescription& task, const std::string& name,
                        std::string* detail_ret = nullptr);

}  // namespace tasks
