/* tests/platform/process_services_test.cpp - stop signals, the clock, an open file's identity.
 *
 * Risk: a stop signal that kills the run instead of asking it to stop (the
 * temporary archive would be left behind), handlers not put back after the
 * run, a test clock that the stamping code does not actually read, or an
 * open archive mistaken for another file once its path has changed.
 */
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/local_time.h"
#include "platform/stop_signals.h"
#include "test_env.h"

namespace {

volatile sig_atomic_t g_outer_calls = 0;
void outer_handler(int) { g_outer_calls = g_outer_calls + 1; }

TEST(StopSignals, EachSignalAsksToStopAndTheOldHandlerReturns) {
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction outer {}, saved{};
    outer.sa_handler = outer_handler;
    sigemptyset(&outer.sa_mask);
    ASSERT_EQ(0, sigaction(number, &outer, &saved));
    g_outer_calls = 0;
    {
      platform::StopSignals stop;
      EXPECT_FALSE(platform::StopSignals::stop_requested());
      ASSERT_EQ(0, raise(number));
      EXPECT_TRUE(platform::StopSignals::stop_requested()) << number;
      EXPECT_EQ(number, platform::StopSignals::stop_signal());
      EXPECT_EQ(0, g_outer_calls) << "the signal reached the handler of before the run";
    }
    ASSERT_EQ(0, raise(number));
    EXPECT_EQ(1, g_outer_calls) << number;
    sigaction(number, &saved, nullptr);
  }
}

TEST(Clock, ASubstituteReachesTheLocalTime) {
  platform::set_clock_source([]() -> std::time_t { return 86400 * 365 * 30; });  // in 1999/2000
  EXPECT_EQ(86400 * 365 * 30, platform::clock_now());
  const std::tm t = platform::local_time_now();
  EXPECT_TRUE(t.tm_year == 99 || t.tm_year == 100) << t.tm_year;
  platform::set_clock_source(nullptr);
  EXPECT_GT(platform::clock_now(), 86400 * 365 * 50);
}

TEST(FileInfoOf, NamesTheOpenFileAfterItsPathMoved) {
  const std::string dir = testenv::make_temp_dir("info_of");
  platform::File f, other;
  platform::FileInfo info, moved, newcomer;
  EXPECT_EQ(EBADF, platform::file_info_of(f, &info));
  ASSERT_EQ(0, f.open(dir + "/a", platform::File::Mode::kCreate));
  ASSERT_EQ(0, f.write("12345", 5));
  ASSERT_EQ(0, platform::rename_path(dir + "/a", dir + "/b"));
  ASSERT_EQ(0, other.open(dir + "/a", platform::File::Mode::kCreate));  // a new file where it was
  ASSERT_EQ(0, platform::file_info_of(f, &info));
  ASSERT_EQ(0, platform::file_info(dir + "/b", &moved));
  ASSERT_EQ(0, platform::file_info(dir + "/a", &newcomer));
  EXPECT_TRUE(info.same_file(moved));
  EXPECT_FALSE(info.same_file(newcomer));
  EXPECT_EQ(5u, info.size);
}

TEST(PathEntryExists, SeesADanglingLinkButNotAMissingName) {
  const std::string dir = testenv::make_temp_dir("entry");
  ASSERT_EQ(0, symlink("nowhere", (dir + "/dangling").c_str()));
  EXPECT_TRUE(platform::path_entry_exists(dir + "/dangling"));
  EXPECT_FALSE(platform::path_entry_exists(dir + "/missing"));
}

}  // namespace
