/* tests/tasks/task_scheduling_test.cpp - finishing the task page, without its widgets.
 *
 * The risks: a task file named after the clone instead of the typed name, a
 * second "/" or a lost one in its path, a quoted path quoted twice, a clone
 * loop that gives up early or waits too little, a task left in the table
 * that points at a task file that was never written (the form of the file
 * is checked by the page's test), and (with the real crontab, for a throwaway account) a line that
 * crontab refuses or whose command does not start the program with its file
 * when run the way cron runs it, from a folder whose name is hostile.
 */
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/operation_record.h"
#include "crontab_stand_ins.h"
#include "platform/child_process.h"
#include "tasks/task_info_file.h"
#include "tasks/task_scheduling.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using platform::CrontabStatus;

tasks::TaskPageValues page_values(const std::string& name, bool replace = true) {
  tasks::TaskPageValues v;
  v.task_name = name;
  v.comment = "Morvane Scheduled by 'Parvell Ravarave Wizard Module v2.1', Saturday at 03:015:07.";
  v.account = "me";
  v.begin_year = 2024;
  v.begin_month = 6;
  v.begin_day = 1;
  v.begin_hour = 3;
  v.begin_minute = 15;
  v.frequency = tasks::kFrequencyWeekly;
  v.replace = replace;
  return v;
}

class TaskScheduling : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testenv::make_temp_dir("scheduling");
    record.run_mode = record.stored_operation = core::kRunModeCreate;
    record.originating_folder = folder;
    record.archive_path = folder + "/out.zip";
  }
  tasks::SchedulingResult schedule(const tasks::TaskPageValues& v) {
    return tasks::schedule_task(fake, record, v, "/usr/bin/parvell", "me", [this](int ms) { waits.push_back(ms); });
  }
  std::vector<tasks::TableTask> table_tasks(const std::string& user = "") {
    return tasks::CronTable(fake.tables[user]).tasks();
  }

  testenv::FakeCrontab fake;
  core::OperationRecord record;
  std::string folder;
  std::vector<int> waits;
};

TEST_F(TaskScheduling, TaskFilePathAndParametersFromTheFolder) {
  struct Case {
    std::string folder, name, path;
  };
  const Case cases[] = {
      {"/srv/docs", "Night", "/srv/docs/Night.task_info.txt"},
      {"/srv/docs/", "Night", "/srv/docs/Night.task_info.txt"},  // no second separator
      {"", "Night", "Night.task_info.txt"},
      {"\"/srv/q", "N", "\"/srv/q/N.task_info.txt"},  // begins with a quote: not quoted again
      {"/srv/a b", "it's $(x) `y` 100%", "/srv/a b/it's $(x) `y` 100%.task_info.txt"},
  };
  fake.read_answer = CrontabStatus::kNoProgram;  // registers nothing, so no file is written anywhere
  for (const Case& c : cases) {
    record.originating_folder = c.folder;
    const tasks::TaskDescription d = tasks::describe_task(record, page_values(c.name), "me");
    std::string path;
    ASSERT_TRUE(tasks::task_info_file_path(c.folder, c.name, &path));
    EXPECT_EQ(path, c.path);
    // What schedule_task stores before it registers, on a fresh record each time.
    core::OperationRecord r = record;
    tasks::schedule_task(fake, r, page_values(c.name), "/usr/bin/parvell", "me", nullptr);
    EXPECT_EQ(r.task_file_path, c.path);
    const std::string quoted = c.path[0] == '"' ? c.path : "\"" + c.path + "\"";
    EXPECT_EQ(r.sched_app_params, "/scheduled " + quoted + " ") << c.folder;
    EXPECT_EQ(r.sched_app_name, "/usr/bin/parvell");
    EXPECT_EQ(d.working_folder, c.folder);
    EXPECT_FALSE(d.set_account);  // the login name's own table
  }
}

TEST_F(TaskScheduling, ReplaceOnRewritesTheTaskInPlaceOfTheOld) {
  fake.tables[""] = "MAILTO=\"\"\n# mine\n5 4 * * * backup\n";
  ASSERT_TRUE(schedule(page_values("Night")).ok());
  tasks::TaskPageValues later = page_values("Night");
  later.begin_hour = 22;
  const tasks::SchedulingResult again = schedule(later);
  ASSERT_TRUE(again.ok()) << again.reason;
  EXPECT_EQ(again.attempts, 1);
  EXPECT_TRUE(waits.empty());
  const auto found = table_tasks();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "Night");
  EXPECT_EQ(found[0].schedule_line.substr(0, 11), "15 22 * * 6");
  tasks::CronTable rest(fake.tables[""]);
  rest.remove_task("Night");
  EXPECT_EQ(rest.text(), "MAILTO=\"\"\n# mine\n5 4 * * * backup\n");
}

TEST_F(TaskScheduling, ReplaceOffTakesTheNextFreeCloneNameAndKeepsTheFileName) {
  for (int round = 0; round < 3; ++round) {
    waits.clear();
    const tasks::SchedulingResult r = schedule(page_values("Night", round == 0));
    ASSERT_TRUE(r.ok()) << r.reason;
    const std::string expected = round == 0 ? "Night" : tasks::clone_task_name("Night", round - 1);
    EXPECT_EQ(r.registered_name, expected);
    EXPECT_EQ(record.task_name, expected);
    EXPECT_EQ(r.attempts, round + 1);
    EXPECT_EQ(waits, std::vector<int>(static_cast<size_t>(round), tasks::kCloneWaitMs));
    EXPECT_EQ(record.task_file_path, folder + "/Night.task_info.txt");
  }
  EXPECT_EQ(table_tasks().size(), 3u);
  EXPECT_EQ(table_tasks()[2].name, "Night ClonedTASK 1");
}

TEST_F(TaskScheduling, EveryRefusalTriesTwentyClonesAndLeavesNoFile) {
  struct Case {
    CrontabStatus read, write;
    int32_t code;
  };
  const Case cases[] = {{CrontabStatus::kOk, CrontabStatus::kRefused, tasks::kRegisterTableRefused},
                        {CrontabStatus::kNoProgram, CrontabStatus::kOk, tasks::kRegisterNoScheduler}};
  for (const Case& c : cases) {
    fake.read_answer = c.read;
    fake.write_answer = c.write;
    fake.calls.clear();
    waits.clear();
    const tasks::SchedulingResult r = schedule(page_values("Night"));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.attempts, 1 + tasks::kCloneAttempts);
    EXPECT_EQ(waits, std::vector<int>(tasks::kCloneAttempts, tasks::kCloneWaitMs));
    EXPECT_EQ(fake.calls.size(), static_cast<size_t>(c.read == CrontabStatus::kOk ? 42 : 21));
    EXPECT_EQ(record.task_name, "Night");
    EXPECT_FALSE(fs::exists(record.task_file_path));
  }
}

TEST_F(TaskScheduling, FileThatCannotBeWrittenUndoesTheRegistration) {
  const std::string foreign = "# keep me\n1 2 3 4 5 true\n";
  fake.tables[""] = foreign;
  record.originating_folder = folder + "/gone";
  const tasks::SchedulingResult r = schedule(page_values("Night"));
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.task_file_failed);
  EXPECT_EQ(r.reason, "No such file or directory");
  EXPECT_EQ(fake.tables[""], foreign);
  EXPECT_TRUE(fs::is_empty(folder));  // no probe or part file left behind
}

TEST_F(TaskScheduling, AnotherAccountIsNamedAndItsTableUsed) {
  tasks::TaskPageValues v = page_values("Night");
  v.account = "backup";
  ASSERT_TRUE(schedule(v).ok());
  EXPECT_EQ(table_tasks("backup").size(), 1u);
  EXPECT_EQ(fake.tables.count(""), 0u);
  EXPECT_EQ(record.sched_account, "backup");
  v.account = "no body";  // not an account name: refused, then every clone
  EXPECT_EQ(schedule(v).code, tasks::kRegisterRefused);
}

// The real crontab, for an account made here; its command run as cron runs it.
TEST(TaskSchedulingRealCrontab, TheLineCronRunsStartsTheProgramWithItsTaskFile) {
  testenv::ThrowawayUser user;
  if (!user.available()) GTEST_SKIP() << "needs root and useradd";
  const std::string folder = user.home() + "/it's a $(touch PWNED) `touch PWNED` 100% dir";
  fs::create_directories(folder);
  const std::string program = user.home() + "/bin dir/parvell";
  fs::create_directories(user.home() + "/bin dir");
  std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > \"$HOME/ran\"\n";
  fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read |
                               fs::perms::group_exec | fs::perms::others_exec);
  user.hand_over(user.home());

  core::OperationRecord record;
  record.run_mode = record.stored_operation = core::kRunModeCreate;
  record.originating_folder = folder;
  tasks::TaskPageValues v = page_values("Night 100% \"$(id)\"");
  v.account = user.name();
  v.has_end_date = false;
  platform::CrontabProgram crontab("crontab");
  const tasks::SchedulingResult r = tasks::schedule_task(crontab, record, v, program, "root", nullptr);
  ASSERT_TRUE(r.ok()) << r.reason;

  platform::ProgramRun listed;
  ASSERT_EQ(platform::run_program({"crontab", "-l", "-u", user.name()}, "", 1 << 16, &listed), 0);
  ASSERT_EQ(listed.exit_status, 0) << listed.errors;
  const auto found = tasks::CronTable(listed.output).tasks();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, v.task_name);
  // Run on its begin date: the guard's `date` answers 2024-06-01.
  const std::string command = testenv::cron_command_of(found[0].schedule_line);
  std::string output;
  EXPECT_EQ(user.run_as_cron("date() { echo 2024-06-01; }; " + command, &output), 0) << output;
  std::ifstream ran(user.home() + "/ran");
  std::string cwd, verb, path;
  std::getline(ran, cwd);
  std::getline(ran, verb);
  std::getline(ran, path);
  EXPECT_EQ(cwd, folder);
  EXPECT_EQ(verb, "/scheduled");
  EXPECT_EQ(path, folder + "/" + v.task_name + ".task_info.txt");
  EXPECT_TRUE(fs::exists(path));
  EXPECT_FALSE(fs::exists(folder + "/PWNED") || fs::exists(user.home() + "/PWNED"));
}

}  // namespace
