/* tests/tasks/cron_schedule_test.cpp - a task as a cron schedule line.
 *
 * The risks: a task that runs on the wrong days (the date guard is evaluated
 * by /bin/sh for fixed dates), a weekday or month day off by one, and a name
 * or path that breaks the line or injects a command.  Hostile paths are run
 * through the composed command with /bin/sh and a recording program; since
 * the command never holds "%" or "\\" raw, it is exactly what cron hands on.
 */
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "crontab_stand_ins.h"
#include "platform/child_process.h"
#include "tasks/cron_schedule.h"
#include "test_env.h"

namespace {

using tasks::TaskDescription;

TaskDescription task_on(int frequency, int y, int m, int d, int end_y = 0, int end_m = 0, int end_d = 0) {
  TaskDescription t;
  t.begin_year = static_cast<uint16_t>(y);
  t.begin_month = static_cast<uint16_t>(m);
  t.begin_day = static_cast<uint16_t>(d);
  t.begin_hour = 16;
  t.begin_minute = 35;
  t.end_year = static_cast<uint16_t>(end_y);
  t.end_month = static_cast<uint16_t>(end_m);
  t.end_day = static_cast<uint16_t>(end_d);
  t.frequency = frequency;
  t.application_name = "/usr/bin/parvell";
  t.parameters = "/scheduled \"/home/a/docs/N.task_info.txt\" ";
  t.working_folder = "/home/a/docs";
  return t;
}

std::string line_of(const TaskDescription& t) {
  std::string line, reason;
  EXPECT_TRUE(tasks::compose_schedule_line(t, &line, &reason)) << reason;
  return line;
}

/// Runs @p script with /bin/sh, `date` answering @p today; @return the exit status.
int sh_on(const std::string& today, const std::string& script) {
  platform::ProgramRun run;
  const std::string text = "date() { echo " + today + "; }\n" + script;
  if (platform::run_program({"/bin/sh", "-c", text}, "", 1 << 16, &run) != 0) return -1;
  return run.exit_status;
}

TEST(CronSchedule, FourFrequenciesForFixedDates) {
  const std::string tail =
      " && cd '/home/a/docs' && exec '/usr/bin/parvell' '/scheduled' '/home/a/docs/N.task_info.txt' #parvell-task";
  EXPECT_EQ(line_of(task_on(tasks::kFrequencyOnce, 2024, 6, 1)),
            "35 16 1 6 * t=$(date -I | tr -dc 0-9) && [ \"$t\" -eq 20240601 ]" + tail);
  EXPECT_EQ(line_of(task_on(tasks::kFrequencyDaily, 2024, 6, 1, 2024, 6, 30)),
            "35 16 * * * t=$(date -I | tr -dc 0-9) && [ \"$t\" -ge 20240601 ] && [ \"$t\" -le 20240630 ]" + tail);
  // 2024-06-01 is a Saturday (6); 2024-01-31 a Wednesday, whose day alone counts for Monthly.
  EXPECT_EQ(tasks::cron_time_fields(task_on(tasks::kFrequencyWeekly, 2024, 6, 1)), "35 16 * * 6");
  EXPECT_EQ(tasks::cron_time_fields(task_on(tasks::kFrequencyWeekly, 2024, 6, 2)), "35 16 * * 0");
  EXPECT_EQ(line_of(task_on(tasks::kFrequencyMonthly, 2024, 1, 31)),
            "35 16 31 * * t=$(date -I | tr -dc 0-9) && [ \"$t\" -ge 20240131 ]" + tail);
}

TEST(CronSchedule, DateGuardUnderBinSh) {
  struct Case {
    TaskDescription task;
    std::vector<std::pair<const char*, bool>> days;
  };
  const Case cases[] = {
      {task_on(tasks::kFrequencyOnce, 2024, 6, 1),
       {{"2024-05-31", false}, {"2024-06-01", true}, {"2024-06-02", false}, {"2025-06-01", false}}},
      {task_on(tasks::kFrequencyDaily, 2024, 6, 1, 2024, 6, 30),
       {{"2024-05-31", false}, {"2024-06-01", true}, {"2024-06-30", true}, {"2024-07-01", false}, {"2023-06-15", false}}},
      {task_on(tasks::kFrequencyMonthly, 2024, 1, 31),
       {{"2024-01-30", false}, {"2024-01-31", true}, {"2031-12-31", true}}},
      {task_on(tasks::kFrequencyWeekly, 2024, 12, 31, 2025, 1, 1),
       {{"2024-12-31", true}, {"2025-01-01", true}, {"2025-01-02", false}}},
  };
  for (const Case& c : cases) {
    const std::string guard = tasks::cron_date_guard(c.task);
    for (const auto& [day, runs] : c.days) EXPECT_EQ(sh_on(day, guard) == 0, runs) << guard << " on " << day;
    EXPECT_NE(sh_on("", guard), 0) << "a date that cannot be read lets nothing through";
  }
}

TEST(CronSchedule, RefusedDescriptions) {
  auto refused = [](TaskDescription t) {
    std::string line, reason;
    const bool ok = tasks::compose_schedule_line(t, &line, &reason);
    return !ok && !reason.empty();
  };
  TaskDescription t = task_on(tasks::kFrequencyDaily, 2023, 2, 29);  // no leap year
  EXPECT_TRUE(refused(t));
  t = task_on(tasks::kFrequencyDaily, 2024, 2, 29);
  EXPECT_FALSE(refused(t));
  t.begin_hour = 24;
  EXPECT_TRUE(refused(t));
  t = task_on(5, 2024, 6, 1);
  EXPECT_TRUE(refused(t));
  t = task_on(tasks::kFrequencyDaily, 2024, 6, 1, 2024, 13, 1);
  EXPECT_TRUE(refused(t));
  for (const char* bad : {"a\nb", "a\rb", "tab\there", "nul\x7f"}) {
    t = task_on(tasks::kFrequencyDaily, 2024, 6, 1);
    t.working_folder = bad;
    EXPECT_TRUE(refused(t)) << bad;
    t = task_on(tasks::kFrequencyDaily, 2024, 6, 1);
    t.parameters = std::string("/scheduled \"") + bad + "\"";
    EXPECT_TRUE(refused(t)) << bad;
  }
  // The longest command cron takes; one byte more is refused rather than cut.
  t = task_on(tasks::kFrequencyDaily, 2024, 6, 1);
  t.working_folder.clear();
  const size_t fixed = testenv::cron_command_of(line_of(t)).size();
  t.parameters += std::string(tasks::kMaxCronCommandBytes - fixed - 3, 'x');  // one more word: blank, quotes
  EXPECT_EQ(testenv::cron_command_of(line_of(t)).size(), tasks::kMaxCronCommandBytes);
  t.parameters += "x";
  EXPECT_TRUE(refused(t));
}

TEST(CronSchedule, ParametersSplitAndQuotedPaths) {
  using V = std::vector<std::string>;
  EXPECT_EQ(tasks::split_parameters("/scheduled \"/a b/c.task_info.txt\" "), (V{"/scheduled", "/a b/c.task_info.txt"}));
  EXPECT_EQ(tasks::split_parameters("/scheduled \"/a\"b/\"c\" \"d"), (V{"/scheduled", "/a\"b/\"c", "d"}));
  EXPECT_EQ(tasks::split_parameters("  \t "), V{});
  EXPECT_EQ(tasks::split_parameters("\"\" x"), (V{"", "x"}));
  EXPECT_EQ(tasks::enclose_in_quotes("/a b/c"), "\"/a b/c\"");
  EXPECT_EQ(tasks::enclose_in_quotes("\"/already\" quoted"), "\"/already\" quoted");
  const std::string long_path = "/" + std::string(300, 'p');
  EXPECT_EQ(tasks::enclose_in_quotes(long_path), "\"" + long_path + "\"");  // never cut
}

TEST(CronSchedule, HostileNamesRunAsPlainCharactersAndInjectNothing) {
  const std::string base = testenv::make_temp_dir("hostile-cron");
  const std::string hostile[] = {
      "blank s",   "single'quote", "double\"quote", "$(touch " + base + "/pwned)", "`touch " + base + "/pwned`",
      "per%cent%", "back\\slash\\", "two\\\\%%",   "semi;colon&&amp|pipe",      "-leading dash",
      "star*?[a]", "tilde~!#hash", "ünïcødé",     "${HOME}$$",                  "trailing\\"};
  for (const std::string& name : hostile) {
    const std::string folder = base + "/" + name;
    std::filesystem::create_directories(folder + "/bin");
    const std::string record = base + "/record.txt";
    const std::string program = folder + "/bin/rec";
    std::ofstream(program) << "#!/bin/sh\npwd > '" << record << "'\nfor a; do printf '%s\\n' \"$a\"; done >> '"
                           << record << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const std::string task_path = folder + "/" + name + ".task_info.txt";

    TaskDescription t = task_on(tasks::kFrequencyDaily, 2024, 6, 1);
    t.application_name = program;
    t.working_folder = folder;
    t.parameters = "/scheduled " + tasks::enclose_in_quotes(task_path) + " ";
    const std::string command = testenv::cron_command_of(line_of(t));
    EXPECT_EQ(command.find('%'), std::string::npos) << command;
    EXPECT_EQ(command.find("\\\\"), std::string::npos) << command;
    EXPECT_EQ(command.find('\n'), std::string::npos) << command;

    std::filesystem::remove(record);
    ASSERT_EQ(sh_on("2024-06-02", command), 0) << command;
    std::ifstream in(record);
    std::string cwd, verb, path, more;
    std::getline(in, cwd);
    std::getline(in, verb);
    std::getline(in, path);
    EXPECT_EQ(cwd, std::filesystem::canonical(folder).string()) << name;
    EXPECT_EQ(verb, "/scheduled") << name;
    EXPECT_EQ(path, task_path) << name;
    EXPECT_FALSE(std::getline(in, more)) << name << ": extra argument " << more;
    EXPECT_FALSE(std::filesystem::exists(base + "/pwned")) << name;
  }
}

TEST(CronSchedule, WeekdaysAndDates) {
  EXPECT_EQ(tasks::weekday_of(1970, 1, 1), 4);
  EXPECT_EQ(tasks::weekday_of(2000, 2, 29), 2);
  EXPECT_EQ(tasks::weekday_of(2024, 6, 1), 6);
  EXPECT_EQ(tasks::weekday_of(1900, 3, 1), 4);
  EXPECT_EQ(tasks::weekday_of(2100, 12, 31), 5);
  EXPECT_TRUE(tasks::is_valid_date(2000, 2, 29));
  EXPECT_FALSE(tasks::is_valid_date(1900, 2, 29));
  EXPECT_FALSE(tasks::is_valid_date(2024, 4, 31));
  EXPECT_FALSE(tasks::is_valid_date(2024, 0, 1));
  EXPECT_FALSE(tasks::is_valid_date(0, 1, 1));
}

}  // namespace
