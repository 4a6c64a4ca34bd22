/* tests/tasks/task_table_test.cpp - registering tasks in a cron table.
 *
 * The risks: a user's own table damaged (every foreign line must come back
 * byte for byte, whatever we add, replace or find malformed), the wrong
 * contract code (the task page reacts to each), a replaced task left twice,
 * and a name or comment that breaks the marker line.  Most cases run on the
 * in-memory fake; the stand-in crontab script covers the real program's path.
 */
#include <gtest/gtest.h>

#include <random>

#include "crontab_stand_ins.h"
#include "tasks/task_table.h"
#include "test_env.h"

namespace {

using platform::CrontabStatus;
using tasks::TaskDescription;

TaskDescription daily_task() {
  TaskDescription t;
  t.begin_year = 2024;
  t.begin_month = 6;
  t.begin_day = 1;
  t.begin_hour = 3;
  t.begin_minute = 15;
  t.frequency = tasks::kFrequencyDaily;
  t.application_name = "/usr/bin/parvell";
  t.parameters = "/scheduled \"/home/a/docs/Night.task_info.txt\" ";
  t.working_folder = "/home/a/docs";
  t.comment = "Morvane Scheduled by 'Parvell Ravarave Wizard Module v2.1', Saturday at 03:015:00.";
  return t;
}

// Foreign lines of every kind, among them lookalikes of ours that are not ours.
const std::string kForeign =
    "SHELL=/bin/sh\n"
    "MAILTO=\"\"\n"
    "# m h  dom mon dow   command\n"
    "\n"
    "*/5 * * * * /usr/bin/backup --quiet 2>&1 | logger\r\n"
    "\t@reboot  echo '%' \\% #parvell-task\n"
    "# parvell-task name=bad%zz comment=not ours\n"
    "# parvell-task name=NoComment\n"
    "#parvell-task name=Night comment=\n"
    "0 0 1 1 * echo \"ünïcødé\"";

/// The table without the lines of the named tasks (marker and schedule line).
std::string without_tasks(const std::string& table, const std::vector<std::string>& names) {
  tasks::CronTable t(table);
  for (const std::string& name : names) t.remove_task(name);
  return t.text();
}

class TaskTable : public ::testing::Test {
 protected:
  int32_t reg(const std::string& name, bool fail_if_exists, TaskDescription t = daily_task()) {
    return tasks::register_task(m_fake, t, name, fail_if_exists, &m_detail);
  }
  testenv::FakeCrontab m_fake;
  std::string m_detail;
};

TEST_F(TaskTable, RefusedDescriptionsGive80004005AndTouchNothing) {
  m_fake.tables[""] = kForeign;
  std::vector<std::pair<TaskDescription, std::string>> cases;
  TaskDescription t = daily_task();
  t.begin_year = 0;
  cases.push_back({t, "Night"});
  t = daily_task();
  t.application_name.clear();
  cases.push_back({t, "Night"});
  cases.push_back({daily_task(), ""});
  cases.push_back({daily_task(), "a/b"});
  cases.push_back({daily_task(), "line\nbreak"});
  cases.push_back({daily_task(), "del\x7f"});
  t = daily_task();
  t.working_folder = "/docs\n* * * * * rm -rf ~";
  cases.push_back({t, "Night"});
  for (const char* account : {"-r", "", "bob smith", "bob;id"}) {
    t = daily_task();
    t.set_account = true;
    t.account_name = account;
    cases.push_back({t, "Night"});
  }
  for (const auto& [task, name] : cases) {
    EXPECT_EQ(reg(name, false, task), tasks::kRegisterRefused) << name;
    EXPECT_FALSE(m_detail.empty());
  }
  EXPECT_EQ(m_fake.calls, std::vector<std::string>{});
  EXPECT_EQ(m_fake.tables[""], kForeign);
}

TEST_F(TaskTable, ExistingNameWithFailIfExistsAndWithReplace) {
  m_fake.tables[""] = kForeign;
  ASSERT_EQ(reg("Night", true), tasks::kRegisterOk);
  const std::string first = m_fake.tables[""];

  EXPECT_EQ(reg("Night", true), tasks::kRegisterNameExists);
  EXPECT_EQ(m_fake.tables[""], first);
  EXPECT_EQ(m_fake.calls.back(), "read ");  // nothing installed

  TaskDescription weekly = daily_task();
  weekly.frequency = tasks::kFrequencyWeekly;
  weekly.comment = "second";
  const size_t writes_before = m_fake.calls.size();
  ASSERT_EQ(reg("Night", false, weekly), tasks::kRegisterOk);
  EXPECT_EQ(m_fake.calls.size(), writes_before + 2);  // one read, one write: a single update
  const std::vector<tasks::TableTask> found = tasks::CronTable(m_fake.tables[""]).tasks();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].comment, "second");
  EXPECT_EQ(found[0].schedule_line.substr(0, 13), "15 3 * * 6 t=");
  EXPECT_EQ(without_tasks(m_fake.tables[""], {"Night"}), kForeign + "\n");
}

TEST_F(TaskTable, ForeignLinesSurviveEveryOperationByteForByte) {
  m_fake.tables[""] = kForeign;
  ASSERT_EQ(reg("Night", true), 0);
  ASSERT_EQ(reg("Other task", true), 0);
  ASSERT_EQ(reg("Night", false), 0);
  ASSERT_EQ(reg("Night", true), tasks::kRegisterNameExists);
  ASSERT_EQ(reg("Night ClonedTASK 0", true), 0);
  EXPECT_EQ(without_tasks(m_fake.tables[""], {"Night", "Other task", "Night ClonedTASK 0"}), kForeign + "\n");

  // Order: foreign lines first as they were, then ours; the replaced one last.
  std::vector<std::string> names;
  for (const auto& task : tasks::CronTable(m_fake.tables[""]).tasks()) names.push_back(task.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Other task", "Night", "Night ClonedTASK 0"}));

  ASSERT_EQ(tasks::unregister_task(m_fake, daily_task(), "Other task", &m_detail), 0);
  EXPECT_EQ(without_tasks(m_fake.tables[""], {"Night", "Night ClonedTASK 0"}), kForeign + "\n");
  const size_t calls = m_fake.calls.size();
  ASSERT_EQ(tasks::unregister_task(m_fake, daily_task(), "Other task", &m_detail), 0);  // gone: nothing installed
  EXPECT_EQ(m_fake.calls.size(), calls + 1);
}

TEST_F(TaskTable, MarkerWithoutItsScheduleLineLosesOnlyItself) {
  const std::string lone = tasks::task_marker_line("Night", "c") + "\n";
  m_fake.tables[""] = lone + "1 2 * * * /usr/bin/true #parvell-task-ish\n" + lone + "# user comment\n";
  ASSERT_EQ(reg("Night", false), 0);
  EXPECT_EQ(without_tasks(m_fake.tables[""], {"Night"}), "1 2 * * * /usr/bin/true #parvell-task-ish\n# user comment\n");
  EXPECT_EQ(tasks::CronTable(m_fake.tables[""]).tasks().size(), 1u);
}

TEST_F(TaskTable, NamesAndCommentsOfAnyBytesRoundTripThroughTheMarker) {
  const std::string texts[] = {"a b", "x comment=y", "100%", "%41", "new\nline\r", "tab\t", "ünï", "=", " lead"};
  for (const std::string& name : texts) {
    for (const std::string& comment : texts) {
      const std::string line = tasks::task_marker_line(name, comment);
      EXPECT_EQ(line.find_first_of("\n\r\t"), std::string::npos);
      std::string n, c;
      ASSERT_TRUE(tasks::parse_task_marker_line(line, &n, &c)) << line;
      EXPECT_EQ(n, name);
      EXPECT_EQ(c, comment);
    }
  }
  std::string n, c;
  for (const char* bad : {"# parvell-task name=a%4 comment=", "# parvell-task name=a comment=%G0", "# parvell-task name=",
                          "# parvell-task name=a b comment=", "# parvell-task name= comment=x", "# parvell-task"})
    EXPECT_FALSE(tasks::parse_task_marker_line(bad, &n, &c)) << bad;
}

TEST_F(TaskTable, TableFailuresGiveTheirOwnNegativeCodes) {
  const std::pair<CrontabStatus, int32_t> reads[] = {{CrontabStatus::kNoProgram, tasks::kRegisterNoScheduler},
                                                     {CrontabStatus::kRefused, tasks::kRegisterAccessDenied},
                                                     {CrontabStatus::kFailed, tasks::kRegisterFailed}};
  for (const auto& [answer, code] : reads) {
    m_fake.read_answer = answer;
    EXPECT_EQ(reg("Night", false), code);
    EXPECT_LT(code, 0);
    EXPECT_FALSE(m_detail.empty());
  }
  m_fake.read_answer = CrontabStatus::kOk;
  m_fake.tables[""] = kForeign;
  const std::pair<CrontabStatus, int32_t> writes[] = {{CrontabStatus::kNoProgram, tasks::kRegisterNoScheduler},
                                                      {CrontabStatus::kRefused, tasks::kRegisterTableRefused},
                                                      {CrontabStatus::kFailed, tasks::kRegisterFailed}};
  for (const auto& [answer, code] : writes) {
    m_fake.write_answer = answer;
    EXPECT_EQ(reg("Night", false), code);
  }
  EXPECT_EQ(m_fake.tables[""], kForeign);
}

TEST_F(TaskTable, AnotherAccountsTableWhenTheAccountIsSet) {
  TaskDescription t = daily_task();
  t.set_account = true;
  t.account_name = "bob";
  ASSERT_EQ(reg("Night", true, t), 0);
  t.account_name = "backup$";
  ASSERT_EQ(reg("Night", true, t), 0);
  t.set_account = false;  // the account edit's text alone does not choose the table
  ASSERT_EQ(reg("Night", true, t), 0);
  EXPECT_EQ(m_fake.calls, (std::vector<std::string>{"read bob", "write bob", "read backup$", "write backup$", "read ",
                                                    "write "}));
}

TEST(CronTableText, HostileTablesComeBackWholeWithAFinalLineBreak) {
  std::mt19937 random(7);
  const std::string alphabet = std::string("#% =\n\r\t\\'\"a-z09*") + '\0' + "\xff" + tasks::kTaskMarkerPrefix;
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) {
      if (random() % 4 == 0) text += tasks::task_marker_line("n" + std::to_string(random() % 3), "c") + "\n";
      else if (random() % 5 == 0) text += std::string("1 1 * * * x") + tasks::kScheduleLineTag + "\n";
      else text += alphabet[random() % alphabet.size()];
    }
    tasks::CronTable table(text);
    const std::string expected = text.empty() || text.back() == '\n' ? text : text + "\n";
    ASSERT_EQ(table.text(), expected);
    table.remove_task("n1");
    EXPECT_FALSE(table.has_task("n1"));
    table.append_task(tasks::task_marker_line("n1", ""), "2 2 * * * y" + std::string(tasks::kScheduleLineTag));
    EXPECT_TRUE(table.has_task("n1"));
  }
}

TEST(CrontabScriptRegistration, ThroughTheProgramAsItRuns) {
  testenv::CrontabScript script(testenv::make_temp_dir("crontab-script"));
  platform::CrontabProgram program(script.program());
  std::string detail;
  // No table yet ("no crontab for"), then one with a foreign line without its final line break.
  ASSERT_EQ(tasks::register_task(program, daily_task(), "Night", true, &detail), 0) << detail;
  EXPECT_EQ(tasks::CronTable(script.table()).tasks().size(), 1u);
  script.set_table(kForeign);
  ASSERT_EQ(tasks::register_task(program, daily_task(), "Night", true, &detail), 0) << detail;
  EXPECT_EQ(without_tasks(script.table(), {"Night"}), kForeign + "\n");

  script.refuse_writes("\"-\":12: bad minute\nerrors in crontab file, can't install.\n");
  const std::string before = script.table();
  EXPECT_EQ(tasks::register_task(program, daily_task(), "Other", true, &detail), tasks::kRegisterTableRefused);
  EXPECT_EQ(detail, "\"-\":12: bad minute\nerrors in crontab file, can't install.");
  EXPECT_EQ(script.table(), before);

  platform::CrontabProgram missing(script.program() + "-not-there");
  EXPECT_EQ(tasks::register_task(missing, daily_task(), "Other", true, &detail), tasks::kRegisterNoScheduler);
  EXPECT_NE(detail.find("crontab-not-there"), std::string::npos) << detail;
}

}  // namespace
