/* tests/bridge/extract_runs_test.cpp - extract runs through the bridge, with the real engine.
 *
 * Risks: an overwrite question repeated after All, and a run whose skipped
 * items make the performing page show "with Errors" (49 must count as
 * success) or get a final report it should not.  Runs go through the bridge
 * exactly as the performing page calls it, with a recording UI callback in
 * the page's place.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/strings.h"
#include "bridge/engine_bridge.h"
#include "peer_run.h"
#include "recording_callback.h"
#include "run_files.h"
#include "test_env.h"

namespace {

using namespace bridge;
using namespace bridgetest;

TEST(ExtractRuns, AllAnsweredOnTheFirstExistingFileAsksNothingMore) {
  const std::string base = testenv::make_temp_dir("all");
  const std::string archive = stored_archive(base, {"a.txt", "b.txt", "c.txt"});
  const std::string dest = base + "/dest";
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) write_file_at(dest + "/" + name, {'o', 'l', 'd'}, sample_time(8));

  RecordingCallback ui;
  ui.respond = [](const Notice& n, std::string*, int32_t* answer) {
    if (n.code == kNotifyOverwrite) *answer = kAnswerAll;
    return 0;
  };
  // The engine, quiet and without its overwrite flag, leaves existing files in place.
  EXPECT_EQ(extract_run(core::load_string, nullptr, archive.c_str(), "*", dest.c_str(), nullptr, "", 1, 0, 1,
                        kOverwriteAsk, &ui),
            0);
  const auto asked = ui.with_code(kNotifyOverwrite);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].info.stored_name, "a.txt");
  EXPECT_EQ(asked[0].info.output_path, dest + "/a.txt");
  std::vector<std::string> reported;
  for (const Notice& n : ui.with_code(kNotifyItemProgress))
    if (n.value == 100 && n.text.rfind("Overwritting", 0) == 0) reported.push_back(n.text);
  EXPECT_EQ(reported, (std::vector<std::string>{"Overwritting 'b.txt'...", "Overwritting 'c.txt'..."}));
}

TEST(ExtractRuns, SkippedLastItemCountsAsSuccessWithoutFinalReport) {
  const std::string base = testenv::make_temp_dir("skipped");
  const std::string archive = stored_archive(base, {"a.txt", "b.txt"});
  const std::string dest = base + "/dest";
  write_file_at(dest + "/b.txt", {'o', 'l', 'd'}, sample_time(9));  // the engine skips it: 49

  RecordingCallback ui;
  int32_t count = 0;
  EXPECT_EQ(extract_run(core::load_string, nullptr, archive.c_str(), "*", dest.c_str(), nullptr, "", 1, 0, 1,
                        kOverwriteAsk, &ui, &count),
            0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(testenv::read_file(dest + "/a.txt"), std::vector<uint8_t>({'n', 'e', 'w', ' ', 'a', '.', 't', 'x', 't'}));
  EXPECT_EQ(testenv::read_file(dest + "/b.txt"), std::vector<uint8_t>({'o', 'l', 'd'}));
  // The last notification is the engine's own, not a final 257 after the run.
  const auto overall = ui.with_code(kNotifyOverallProgress);
  ASSERT_EQ(overall.size(), 2u);
  EXPECT_EQ(overall.back().text, "Item 2 of 2");
}

}  // namespace
