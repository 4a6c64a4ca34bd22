/* tasks/task_scheduling.cpp - what finishing the task page does, without its widgets. */
#include "tasks/task_scheduling.h"

#include <cstring>

#include "core/operation_record.h"
#include "platform/file.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_info_file.h"
#include "tasks/task_table.h"

namespace tasks {
namespace {

uint16_t u16(int value) { return value < 0 || value > 0xFFFF ? 0 : static_cast<uint16_t>(value); }

/// Why @p path cannot be created: the system's reason for a file beside it.
std::string why_not_written(const std::string& path) {
  const std::string probe_path = path + ".probe";
  platform::File probe;
  const int error = probe.open(probe_path, platform::File::Mode::kCreateExclusive);
  if (error != 0) return std::strerror(error);
  probe.close();
  platform::remove_file(probe_path);
  return "the file could not be written completely";
}

}  // namespace

std::string clone_task_name(const std::string& name, int number) {
  return name + " ClonedTASK " + std::to_string(number);
}

TaskDescription describe_task(const core::OperationRecord& record, const TaskPageValues& values,
                              const std::string& login_name) {
  TaskDescription task;
  task.begin_year = u16(values.begin_year);
  task.begin_month = u16(values.begin_month);
  task.begin_day = u16(values.begin_day);
  if (is_valid_date(values.begin_year, values.begin_month, values.begin_day))
    task.begin_weekday = u16(weekday_of(values.begin_year, values.begin_month, values.begin_day));
  task.begin_hour = u16(values.begin_hour);
  task.begin_minute = u16(values.begin_minute);
  if (values.has_end_date) {
    task.end_year = u16(values.end_year);
    task.end_month = u16(values.end_month);
    task.end_day = u16(values.end_day);
  }
  task.frequency = values.frequency;
  task.application_name = record.sched_app_name;
  task.parameters = record.sched_app_params;
  task.working_folder = record.originating_folder;
  task.account_name = values.account;
  task.password = values.password;
  task.comment = values.comment;
  // Only another account's table needs naming (and only the superuser may use it).
  task.set_account = !values.account.empty() && values.account != login_name;
  return task;
}

SchedulingResult schedule_task(platform::CrontabService& crontab, core::OperationRecord& record,
                               const TaskPageValues& values, const std::string& program_path,
                               const std::string& login_name, const std::function<void(int ms)>& wait) {
  SchedulingResult result;
  std::string path;
  if (!task_info_file_path(record.originating_folder, values.task_name, &path)) {
    result.code = kRegisterRefused;
    result.reason = "the task file path would be longer than " + std::to_string(kTaskPathJoinMax) + " characters";
    return result;
  }
  record.task_file_path = path;
  record.task_name = values.task_name;
  record.task_comment = values.comment;
  record.sched_account = values.account;
  record.sched_app_name = program_path;
  record.sched_app_params = "/scheduled " + enclose_in_quotes(path) + " ";

  const bool fail_if_exists = !values.replace;
  std::string detail;
  result.attempts = 1;
  result.code = register_task(crontab, describe_task(record, values, login_name), values.task_name, fail_if_exists,
                              &detail);
  if (result.code == kRegisterOk) {
    result.registered_name = values.task_name;
  } else {
    result.reason = detail;
    for (int i = 0; i < kCloneAttempts; ++i) {
      if (wait) wait(kCloneWaitMs);
      const std::string clone = clone_task_name(values.task_name, i);
      ++result.attempts;
      result.code = register_task(crontab, describe_task(record, values, login_name), clone, fail_if_exists, &detail);
      if (result.code == kRegisterOk) {
        result.registered_name = clone;
        record.task_name = clone;
        break;
      }
    }
  }
  if (result.registered_name.empty()) return result;

  std::string why;
  if (!write_scheduled_task_file(record, &why)) {
    result.task_file_failed = true;
    result.reason = why;
    unregister_task(crontab, describe_task(record, values, login_name), result.registered_name);
  }
  return result;
}

bool write_scheduled_task_file(const core::OperationRecord& record, std::string* reason_ret) {
  const int written = record.prevent_tampering == 1 ? write_protected_task_info_file(&record)
                                                    : write_task_info_file(&record);
  if (written == 1) return true;
  if (reason_ret != nullptr) *reason_ret = why_not_written(record.task_file_path);
  return false;
}

}  // namespace tasks
