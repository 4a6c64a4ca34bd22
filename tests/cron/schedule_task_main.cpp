/* tests/cron/schedule_task_main.cpp - schedules an operation as the task page's Finish does, for scripts.
 *
 *   cron_schedule_task ACCOUNT PROGRAM YYYY-MM-DD HH:MM NAME [KEY=VALUE...]
 *
 * Registers a "Once" task NAME in ACCOUNT's crontab that starts PROGRAM, and
 * writes its task info file, through the same call as the page
 * (tasks/task_scheduling.h).  The operation comes from the KEY=VALUE pairs:
 * operation, create_new, faster, delete_after, protected, log_enabled (numbers),
 * archive, folder, files, log, destination (texts).  Prints the task file's
 * path; exits 0 when scheduled, 1 with the reason on stderr otherwise, 64 for
 * a command line it cannot use.
 */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/operation_record.h"
#include "platform/crontab.h"
#include "tasks/task_scheduling.h"

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s ACCOUNT PROGRAM YYYY-MM-DD HH:MM NAME [KEY=VALUE...]\n", argv[0]);
    return 64;
  }
  tasks::TaskPageValues values;
  values.account = argv[1];
  values.task_name = argv[5];
  values.comment = "scheduled by cron_schedule_task";
  if (std::sscanf(argv[3], "%d-%d-%d", &values.begin_year, &values.begin_month, &values.begin_day) != 3 ||
      std::sscanf(argv[4], "%d:%d", &values.begin_hour, &values.begin_minute) != 2) {
    std::fprintf(stderr, "cron_schedule_task: bad date or time\n");
    return 64;
  }
  core::OperationRecord record;
  for (int i = 6; i < argc; ++i) {
    const std::string pair = argv[i];
    const size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq), value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    struct Number {
      const char* key;
      int32_t core::OperationRecord::*field;
    };
    static const Number numbers[] = {{"operation", &core::OperationRecord::stored_operation},
                                     {"create_new", &core::OperationRecord::create_new},
                                     {"faster", &core::OperationRecord::faster_compression},
                                     {"delete_after", &core::OperationRecord::delete_after},
                                     {"protected", &core::OperationRecord::prevent_tampering},
                                     {"log_enabled", &core::OperationRecord::log_enabled}};
    struct Text {
      const char* key;
      std::string core::OperationRecord::*field;
    };
    static const Text texts[] = {{"archive", &core::OperationRecord::archive_path},
                                 {"folder", &core::OperationRecord::originating_folder},
                                 {"files", &core::OperationRecord::file_list},
                                 {"log", &core::OperationRecord::log_file_name},
                                 {"destination", &core::OperationRecord::destination_folder}};
    bool known = false;
    for (const Number& n : numbers)
      if (key == n.key) known = true, record.*n.field = std::atoi(value.c_str());
    for (const Text& t : texts)
      if (key == t.key) known = true, record.*t.field = value;
    if (!known) {
      std::fprintf(stderr, "cron_schedule_task: unknown key \"%s\"\n", key.c_str());
      return 64;
    }
  }
  record.run_mode = record.stored_operation;

  const tasks::SchedulingResult result =
      tasks::schedule_task(platform::crontab_service(), record, values, argv[2], platform::login_name(),
                           [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
  if (!result.ok()) {
    std::fprintf(stderr, "cron_schedule_task: \"%s\" was not scheduled: %s\n", values.task_name.c_str(),
                 result.reason.c_str());
    return 1;
  }
  std::printf("%s\n", record.task_file_path.c_str());
  return 0;
}
