/* tasks/task_scheduling.h - what finishing the task page does, without its widgets.
 *
 * The task page collects its values into TaskPageValues and hands them here
 * with the operation record; so does anything else that schedules an
 * operation the way the page does (the end-to-end test under the real cron
 * daemon), so there is one copy of these rules:
 *
 *  1. The task info file path: the originating folder, "/" unless the folder
 *     is empty or already ends in "/" (or "\"), the task name as typed and
 *     ".task_info.txt"; it becomes the record's task file path.
 *  2. The record's task fields: task name, comment, account, the program's
 *     path and its parameters "/scheduled \"PATH\" " (a path that already
 *     begins with a double quote goes in unchanged).
 *  3. The task description (tasks/cron_schedule.h), registered under the
 *     typed name, fail-if-exists when "replace" is off.
 *  4. When that fails, for any reason: twenty clone names "NAME ClonedTASK i"
 *     (i = 0..19), each after a wait of 200 ms, with the same fail-if-exists
 *     flag; the first that registers becomes the record's task name.
 *  5. After a registration, the task info file (protected when the record's
 *     prevent tampering is 1, plain otherwise).  A file that cannot be written
 *     undoes the registration: a task must never point at a missing file.
 *
 * The account is passed to the table only when it is set and differs from
 * the login name (only the superuser may use another account's table).
 */
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tasks/task_table.h"

namespace core {
struct OperationRecord;
}
namespace platform {
class CrontabService;
}

namespace tasks {

/// The values of the task page's controls.
struct TaskPageValues {
  std::string task_name;
  std::string comment;
  std::string account;   ///< the table's account; the login name for the user's own table
  std::string password;  ///< never stored or passed on
  int begin_year = 0, begin_month = 0, begin_day = 0;
  int begin_hour = 0, begin_minute = 0;
  bool has_end_date = false;
  int end_year = 0, end_month = 0, end_day = 0;
  int frequency = kFrequencyOnce;  ///< TaskFrequency
  bool replace = true;             ///< replace a task of the same name
};

/// Clone attempts after a failed registration, and the wait before each.
inline constexpr int kCloneAttempts = 20;
inline constexpr int kCloneWaitMs = 200;

/// "%s ClonedTASK %d".
std::string clone_task_name(const std::string& name, int number);

/// How scheduling went.
struct SchedulingResult {
  int32_t code = kRegisterOk;    ///< register_task's code of the last attempt (or kRegisterRefused)
  int attempts = 0;              ///< registrations tried (1 + clone attempts)
  std::string registered_name;   ///< the name the task has in the table; "" when none
  std::string reason;            ///< why the typed name (or the file) failed; "" on success
  bool task_file_failed = false; ///< registered, but the task info file could not be written (undone)
  bool ok() const { return !registered_name.empty() && !task_file_failed; }
};

/// The description handed to the registration (steps 1-3 above must have run).
TaskDescription describe_task(const core::OperationRecord& record, const TaskPageValues& values,
                              const std::string& login_name);

/// Steps 1 to 5.  @p wait is called with kCloneWaitMs before each clone
/// attempt.  The record's task fields are set whatever the outcome; its task
/// name becomes the clone's name when a clone registered.
SchedulingResult schedule_task(platform::CrontabService& crontab, core::OperationRecord& record,
                               const TaskPageValues& values, const std::string& program_path,
                               const std::string& login_name, const std::function<void(int ms)>& wait);

/// Writes the record's task info file in the form it asks for.
/// @return true when written; otherwise @p reason_ret says why.
bool write_scheduled_task_file(const core::OperationRecord& record, std::string* reason_ret);

}  // namespace tasks
