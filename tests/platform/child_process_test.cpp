/* tests/platform/child_process_test.cpp - helper programs run without a shell, and crontab over them.
 *
 * The risks: a dead-lock when a program writes much before reading its input,
 * this process killed by SIGPIPE when a program stops reading, unbounded
 * output, and arguments interpreted by a shell.  Then the crontab service on
 * a stand-in crontab: "no crontab" is an empty table, refusals carry
 * crontab's words, the account goes behind -u.
 */
#include <gtest/gtest.h>

#include <signal.h>

#include "crontab_stand_ins.h"
#include "platform/child_process.h"
#include "platform/crontab.h"
#include "test_env.h"

namespace {

using platform::ProgramRun;
using platform::run_program;

TEST(ChildProcess, InputOutputErrorsAndExitStatus) {
  ProgramRun run;
  const std::string big(3 << 20, 'z');  // far more than a pipe holds, both ways at once
  ASSERT_EQ(run_program({"/bin/sh", "-c", "cat; echo done >&2; exit 7"}, big, 8 << 20, &run), 0);
  EXPECT_EQ(run.exit_status, 7);
  EXPECT_EQ(run.output.size(), big.size());
  EXPECT_EQ(run.output, big);
  EXPECT_EQ(run.errors, "done\n");

  // An argument is one argument, whatever it holds.
  ASSERT_EQ(run_program({"printf", "%s|", "$(id) `id` ; a b", "'\""}, "", 1024, &run), 0);
  EXPECT_EQ(run.output, "$(id) `id` ; a b|'\"|");
}

TEST(ChildProcess, ProgramThatStopsReadingDoesNotKillUs) {
  ProgramRun run;
  ASSERT_EQ(run_program({"/bin/sh", "-c", "head -c 10 >/dev/null; exit 3"}, std::string(4 << 20, 'q'), 1024, &run), 0);
  EXPECT_EQ(run.exit_status, 3);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);  // none left waiting for later
}

TEST(ChildProcess, FailuresAndLimits) {
  ProgramRun run;
  EXPECT_EQ(run_program({"no-such-program-anywhere"}, "", 1024, &run), ENOENT);
  EXPECT_EQ(run_program({"/no/such/program"}, "", 1024, &run), ENOENT);
  EXPECT_EQ(run_program({}, "", 1024, &run), EINVAL);
  EXPECT_EQ(run_program({"/bin/sh", "-c", "yes"}, "", 100000, &run), E2BIG);  // stopped, not waited for forever
  ASSERT_EQ(run_program({"/bin/sh", "-c", "kill -9 $$"}, "", 1024, &run), 0);
  EXPECT_EQ(run.exit_status, -1);
}

TEST(CrontabProgram, ReadsAndInstallsThroughTheProgram) {
  testenv::CrontabScript script(testenv::make_temp_dir("crontab-program"));
  platform::CrontabProgram crontab(script.program());
  std::string table = "stale";
  ASSERT_TRUE(crontab.read_table("", &table).ok());  // "no crontab for -"
  EXPECT_EQ(table, "");
  ASSERT_TRUE(crontab.write_table("", "A=1\n* * * * * true\n").ok());
  ASSERT_TRUE(crontab.read_table("", &table).ok());
  EXPECT_EQ(table, "A=1\n* * * * * true\n");
  ASSERT_TRUE(crontab.write_table("bob", "# bob\n").ok());
  EXPECT_EQ(script.table("bob"), "# bob\n");
  EXPECT_EQ(script.calls(), "- -l\n- -\n- -l\nbob -\n");

  const platform::CrontabResult refused = crontab.write_table("", "no final line break");
  EXPECT_EQ(refused.status, platform::CrontabStatus::kRefused);
  EXPECT_EQ(refused.detail, "new crontab file is missing newline before EOF, can't install.");
  EXPECT_EQ(script.table(), "A=1\n* * * * * true\n");

  platform::CrontabProgram missing(script.program() + ".gone");
  EXPECT_EQ(missing.read_table("", &table).status, platform::CrontabStatus::kNoProgram);
}

}  // namespace
