/* tests/core/command_line_test.cpp - the command line: verbs in any case with or
 * without "/" or "-", the last argument wins, and any other argument is a task
 * file path kept whole (absolute paths start with "/" here). */
#include <gtest/gtest.h>

#include "core/command_line.h"
#include "core/operation_record.h"

namespace {

core::OperationRecord parse(std::vector<std::string> args) {
  core::OperationRecord r;
  r.reset();
  core::parse_command_line(args, r);
  return r;
}

TEST(CommandLine, NoArgumentsLeavesRunModeUnset) { EXPECT_EQ(parse({}).run_mode, -1); }

TEST(CommandLine, VerbsIgnoreCaseAndOnePrefix) {
  EXPECT_EQ(parse({"new"}).run_mode, 0);
  EXPECT_EQ(parse({"/UPDATE"}).run_mode, 1);
  EXPECT_EQ(parse({"-Extract"}).run_mode, 2);
  EXPECT_EQ(parse({"/scheduled"}).run_mode, 3);
  EXPECT_EQ(parse({"ScHeDuLeD"}).cmdline_task_path, "");
}

TEST(CommandLine, AnyOtherArgumentIsTheTaskPath) {
  core::OperationRecord r = parse({"/scheduled", "/home/u/Nightly.task_info.txt"});
  EXPECT_EQ(r.run_mode, 3);
  EXPECT_EQ(r.cmdline_task_path, "/home/u/Nightly.task_info.txt");
  r = parse({"relative.task_info.txt"});
  EXPECT_EQ(r.run_mode, 3);
  EXPECT_EQ(r.cmdline_task_path, "relative.task_info.txt");
  EXPECT_EQ(parse({"//new"}).cmdline_task_path, "//new");  // only one prefix is taken off
  EXPECT_EQ(parse({"new.task"}).run_mode, 3);
}

TEST(CommandLine, LastArgumentWins) {
  core::OperationRecord r = parse({"/home/u/t.task_info.txt", "new"});
  EXPECT_EQ(r.run_mode, 0);
  EXPECT_EQ(r.cmdline_task_path, "/home/u/t.task_info.txt");  // stored, but the wizard starts
  EXPECT_EQ(parse({"extract", "update"}).run_mode, 1);
  EXPECT_EQ(parse({"a", "b"}).cmdline_task_path, "b");
}

}  // namespace
