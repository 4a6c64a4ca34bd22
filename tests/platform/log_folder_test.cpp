/* tests/platform/log_folder_test.cpp - where the engine's logs go.
 *
 * Risks: logs written into the user's real state folder by tests, into the
 * current folder when XDG_STATE_HOME is relative, or nowhere at all when the
 * folder does not exist yet; appends that truncate.
 */
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/common/text_log.h"
#include "engine_callbacks.h"
#include "platform/log_folder.h"
#include "scoped_env.h"
#include "test_env.h"

using testenv::ScopedEnv;

TEST(LogFolder, XdgStateHomeOrHomeLocalState) {
  std::string dir = testenv::make_temp_dir("state");
  {
    ScopedEnv state("XDG_STATE_HOME", (dir + "/xdg/").c_str());
    EXPECT_EQ(dir + "/xdg/Ostrana", platform::engine_log_folder());
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/xdg/Ostrana")) << "created with its parents";
  }
  {
    ScopedEnv state("XDG_STATE_HOME", "relative/path");  // ignored, as the XDG rules say
    ScopedEnv home("HOME", dir.c_str());
    EXPECT_EQ(dir + "/.local/state/Ostrana", platform::engine_log_folder());
  }
  {
    ScopedEnv state("XDG_STATE_HOME", "");
    ScopedEnv home("HOME", (dir + "/home2").c_str());
    EXPECT_EQ(dir + "/home2/.local/state/Ostrana", platform::engine_log_folder());
  }
}

TEST(LogFolder, PlacementRuleAndAppending) {
  std::string dir = testenv::make_temp_dir("placement");
  ScopedEnv state("XDG_STATE_HOME", dir.c_str());
  EXPECT_EQ(dir + "/Ostrana/OSTRANA.LOG", ostrana::resolve_log_path("\\OSTRANA.LOG"));
  EXPECT_EQ(dir + "/Ostrana/sub/x.log", ostrana::resolve_log_path("sub\\x.log"));
  EXPECT_EQ("/abs/where/x.log", ostrana::resolve_log_path("/abs/where/x.log")) << "absolute: unchanged";
  EXPECT_EQ("", ostrana::resolve_log_path(""));
  std::string path = dir + "/append.log";
  ostrana::append_log(path, "one\r\n");
  ostrana::append_log(path, "two\r\n");
  EXPECT_EQ("one\r\ntwo\r\n", enginetest::read_text_file(path));
  ostrana::append_log(dir + "/missing-folder/x.log", "lost");  // skipped silently
  EXPECT_NE(0, platform::append_to_file(dir + "/missing-folder/x.log", "x", 1));
}

TEST(LogFolder, TimestampFormat) {
  ostrana::LogTimestamp t = ostrana::log_timestamp_now();
  ASSERT_EQ(8u, t.date.size());
  ASSERT_EQ(8u, t.time.size());
  EXPECT_EQ('/', t.date[2]);
  EXPECT_EQ('/', t.date[5]);
  EXPECT_EQ(':', t.time[2]);
  EXPECT_EQ(':', t.time[5]);
}
