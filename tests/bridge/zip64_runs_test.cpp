/* tests/bridge/zip64_runs_test.cpp - a file beyond 4 GiB through the wizard's zip run.
 *
 * Risk: the wizard's run never asking for Zip64, so a 5 GB video cannot be
 * archived at all (code 6), or Zip64 records that the peers refuse.  A sparse
 * file of 4.2 GiB (almost no disk, fast to read) goes through the bridge
 * exactly as the performing page calls it; 7-Zip and Python's zipfile must
 * test the result.  The case is labelled `large` (CTest) and can be run alone.
 */
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/strings.h"
#include "bridge/engine_bridge.h"
#include "peer_run.h"
#include "recording_callback.h"
#include "test_env.h"

namespace {

using namespace bridge;

TEST(LargeZip, FileBeyondFourGibThroughTheWizardsRun) {
#ifdef OSTRANA_SANITIZED
  GTEST_SKIP() << "4.2 GiB through the instrumented deflate is too slow";
#endif
  const std::string base = testenv::make_temp_dir("zip64-run");
  const std::string big = base + "/video.bin";
  const uint64_t size = (uint64_t{42} << 30) / 10;  // 4.2 GiB, beyond the 32-bit fields
  {
    FILE* f = std::fopen(big.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(0, ftruncate(fileno(f), static_cast<off_t>(size)));
    std::fclose(f);
  }
  const std::string archive = base + "/video.zip";
  const std::string list = "\"" + big + "\"";
  bridgetest::RecordingCallback progress;
  ASSERT_EQ(0, zip_run(core::load_string, nullptr, archive.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr,
                       kZipAdd, kPathModeNoFolders, 7, 0, &progress));
  ::unlink(big.c_str());
  const std::string quoted = testenv::shell_quote(archive);
  if (testenv::have_7zz()) { EXPECT_EQ(0, testenv::run_command("7zz t " + quoted + " >/dev/null")); }
  EXPECT_EQ(0, testenv::run_command("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                    "assert z.testzip() is None; assert z.getinfo('video.bin').file_size == " +
                                    std::to_string(size) + "\" " + quoted));
}

}  // namespace
