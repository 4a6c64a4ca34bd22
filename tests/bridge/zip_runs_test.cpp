/* tests/bridge/zip_runs_test.cpp - zip runs through the bridge, with the real engine.
 *
 * Risks: the wizard's own calls not round-tripping a folder tree (names,
 * bytes, times), a Stop pressed during the last item reported as success, and
 * a function code the wizard never means (delete, add from callback) reaching
 * the engine.  Runs go through the bridge exactly as the performing page calls
 * it, with a recording UI callback in the page's place.
 */
#include <gtest/gtest.h>

#include <csignal>
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

TEST(ZipRuns, FolderTreeRoundTripAsTheWizardRunsIt) {
  const std::string base = testenv::make_temp_dir("roundtrip");
  const std::string source = base + "/source";
  write_file_at(source + "/dir/a.txt", pattern_bytes(70000, 1), sample_time(1));
  write_file_at(source + "/dir/sub/b.bin", pattern_bytes(3000, 2), sample_time(2));
  write_file_at(source + "/dir/sub/deeper/c d.txt", pattern_bytes(0, 3), sample_time(3));
  write_file_at(source + "/file", pattern_bytes(123, 4), sample_time(4));
  const std::string archive = base + "/out.zip";
  // The add-files dialog's syntax: quoted paths, a blank after each.
  const std::string list = "\"" + source + "/dir/*.*\" \"" + source + "/file\" ";

  RecordingCallback zipping;
  ASSERT_EQ(zip_run(core::load_string, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr,
                    kZipAdd, kPathModeFolders, 7, 1, &zipping),
            0);
  std::vector<std::string> finished;
  for (const Notice& n : zipping.with_code(kNotifyItemProgress))
    if (n.value == 100) finished.push_back(n.text);
  EXPECT_GE(finished.size(), 3u);  // every file with bytes reaches 100 % (an empty one may stay at 0)
  ASSERT_FALSE(zipping.with_code(kNotifyOverallProgress).empty());
  EXPECT_EQ(zipping.notices.back().code, kNotifyOverallProgress);  // the final report

  const std::string dest = base + "/dest";
  RecordingCallback extracting;
  ASSERT_EQ(extract_run(core::load_string, nullptr, archive.c_str(), "*", dest.c_str(), nullptr, "", 1, 0, 1,
                        kOverwriteAsk, &extracting),
            0);
  // Names are kept from below the root: the source tree reappears under dest.
  const auto original = tree_of(source);
  const auto extracted = tree_of(dest + source);
  ASSERT_EQ(extracted.size(), original.size());
  for (const auto& [name, facts] : original) {
    auto it = extracted.find(name);
    ASSERT_NE(it, extracted.end()) << name;
    EXPECT_EQ(it->second.bytes, facts.bytes) << name;
    EXPECT_LE(std::llabs(static_cast<long long>(it->second.mtime - facts.mtime)), 2) << name;
  }
  EXPECT_EQ(extracting.with_code(kNotifyOverwrite).size(), 4u);  // asked about every file; none existed
}

TEST(ZipRuns, FunctionCodesTheWizardNeverMeansRunAsAdd) {
  const std::string base = testenv::make_temp_dir("functions");
  write_file_at(base + "/in/x.txt", pattern_bytes(500, 5), sample_time(5));
  for (int32_t code : {2, 7}) {
    const std::string archive = base + "/f" + std::to_string(code) + ".zip";
    const std::string list = "\"" + base + "/in/x.txt\"";
    // Delete on a missing archive would fail, add from callback without a data callback too.
    EXPECT_EQ(zip_run(nullptr, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, code,
                      kPathModeNoFolders, 3, 0, nullptr),
              0)
        << code;
    std::vector<ArchiveItem> items;
    ASSERT_EQ(list_archive(nullptr, nullptr, archive.c_str(), &items, nullptr, nullptr), 0) << code;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "x.txt");
  }
}

TEST(ZipRuns, StopDuringTheLastItemMakesTheZipRunFail) {
  const std::string base = testenv::make_temp_dir("stop");
  write_file_at(base + "/in/one.txt", pattern_bytes(100, 6), sample_time(6));
  write_file_at(base + "/in/two.txt", pattern_bytes(100, 7), sample_time(7));
  const std::string archive = base + "/stop.zip";
  const std::string list = "\"" + base + "/in/*.*\" ";
  // As the performing page: 256 never stops; Stop pressed once the last file is
  // done makes every later 257 answer 1.
  bool stop = false;
  int done = 0;
  RecordingCallback ui;
  ui.respond = [&](const Notice& n, std::string*, int32_t*) -> int32_t {
    if (n.code == kNotifyItemProgress && n.value == 100 && ++done == 2) stop = true;
    return n.code == kNotifyOverallProgress && stop ? 1 : 0;
  };
  EXPECT_NE(zip_run(nullptr, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, kZipAdd,
                    kPathModeFolders, 7, 1, &ui),
            0);
  EXPECT_EQ(done, 2);
}

// A scheduled run has no Stop button: a hang-up or a quit signal (the session
// ended, the job was killed) stops it the same way, and the old archive stays.
TEST(ZipRuns, AHangUpOrQuitSignalStopsTheRunAndKeepsTheOldArchive) {
  const std::string base = testenv::make_temp_dir("signal");
  write_file_at(base + "/in/a.txt", pattern_bytes(50000, 1), sample_time(1));
  const std::string archive = base + "/kept.zip";
  const std::string list = "\"" + base + "/in/*.*\" ";
  ASSERT_EQ(zip_run(nullptr, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, kZipAdd,
                    kPathModeFolders, 7, 1, nullptr),
            0);
  const auto before = testenv::read_file(archive);
  write_file_at(base + "/in/b.txt", pattern_bytes(50000, 2), sample_time(2));
  for (int number : {SIGHUP, SIGQUIT}) {
    bool raised = false;
    RecordingCallback ui;
    ui.respond = [&](const Notice& n, std::string*, int32_t*) -> int32_t {
      if (n.code == kNotifyItemProgress && !raised) raised = raise(number) == 0;
      return 0;  // the page itself never says stop
    };
    EXPECT_NE(zip_run(nullptr, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, kZipAdd,
                      kPathModeFolders, 7, 1, &ui),
              0)
        << number;
    EXPECT_TRUE(raised);
    EXPECT_EQ(before, testenv::read_file(archive)) << number;
  }
}

}  // namespace

namespace {

using namespace bridge;
using namespace bridgetest;

// The wizard's split size on a hard disk: parts of 65,536 bytes (the text
// "1000" is raised), the last under the archive's name, read back whole.
TEST(ZipRuns, SplitRunOnAHardDiskWritesPartsThatExtractBack) {
  const std::string base = testenv::make_temp_dir("split");
  write_file_at(base + "/in/noise.bin", pattern_bytes(200000, 9), sample_time(10));
  const std::string archive = base + "/set.zip";
  const std::string list = "\"" + base + "/in/noise.bin\" ";
  ASSERT_EQ(zip_run(nullptr, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, "1000", kZipAdd,
                    kPathModeNoFolders, 0, 0, nullptr),
            0);
  struct stat st{};
  ASSERT_EQ(::stat((archive + ".z01").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 65536);
  ASSERT_EQ(::stat(archive.c_str(), &st), 0);
  EXPECT_LE(st.st_size, 65536);

  const std::string dest = base + "/dest";
  ASSERT_EQ(extract_run(nullptr, nullptr, archive.c_str(), "*", dest.c_str(), nullptr, "", 1, 0, 1, kOverwriteAll,
                        nullptr),
            0);
  EXPECT_EQ(testenv::read_file(dest + "/noise.bin"), pattern_bytes(200000, 9));
}

}  // namespace
