/* tests/platform/disk_preparation_test.cpp - wiping a disk and the write test.
 *
 * Risks: a wipe that follows a symbolic link out of the disk and deletes
 * files elsewhere, one that takes protected (read-only, hidden) files without
 * being asked or leaves them when asked, a deep tree that exhausts the stack,
 * a cancel that is not honoured, and a write test that passes on a missing
 * disk or leaves its scratch file.
 */
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "peer_run.h"
#include "platform/disk_preparation.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

void put(const std::string& path, const char* text = "x") {
  fs::create_directories(fs::path(path).parent_path());
  testenv::write_file(path, std::vector<uint8_t>(text, text + std::strlen(text)));
}

}  // namespace

TEST(WipeDisk, RootFilesOnlyUnlessTheWholeTreeAndProtectedOnlyWhenAsked) {
  const std::string disk = testenv::make_temp_dir("disk");
  put(disk + "/a.txt");
  put(disk + "/.hidden");
  put(disk + "/readonly.txt");
  ::chmod((disk + "/readonly.txt").c_str(), 0444);
  put(disk + "/sub/deep.txt");
  std::vector<std::string> seen;
  ASSERT_EQ(0, platform::wipe_disk(disk, false, false, [&](const std::string& p) {
    seen.push_back(p);
    return 0;
  }));
  EXPECT_EQ((std::vector<std::string>{disk + "/a.txt"}), seen);
  EXPECT_TRUE(exists(disk + "/.hidden"));
  EXPECT_TRUE(exists(disk + "/readonly.txt"));
  EXPECT_TRUE(exists(disk + "/sub/deep.txt"));

  ASSERT_EQ(0, platform::wipe_disk(disk, true, false, nullptr));
  EXPECT_FALSE(exists(disk + "/sub"));
  EXPECT_TRUE(exists(disk + "/.hidden"));
  EXPECT_TRUE(exists(disk + "/readonly.txt"));

  ASSERT_EQ(0, platform::wipe_disk(disk, true, true, nullptr));
  EXPECT_TRUE(fs::is_empty(disk));
  EXPECT_TRUE(exists(disk));  // the root itself stays
}

TEST(WipeDisk, LinksAreRemovedNeverFollowed) {
  const std::string base = testenv::make_temp_dir("disk");
  const std::string disk = base + "/disk", elsewhere = base + "/elsewhere";
  put(elsewhere + "/precious.txt");
  put(disk + "/a.txt");
  ASSERT_EQ(0, ::symlink(elsewhere.c_str(), (disk + "/folder-link").c_str()));
  ASSERT_EQ(0, ::symlink((elsewhere + "/precious.txt").c_str(), (disk + "/file-link").c_str()));
  ASSERT_EQ(0, platform::wipe_disk(disk, true, true, nullptr));
  EXPECT_TRUE(fs::is_empty(disk));
  EXPECT_TRUE(exists(elsewhere + "/precious.txt"));
}

TEST(WipeDisk, DeepTreesAndCancel) {
  const std::string disk = testenv::make_temp_dir("disk");
  std::string deep = disk;
  for (int i = 0; i < 200; ++i) deep += "/d";
  put(deep + "/bottom.txt");
  put(disk + "/top1.txt");
  put(disk + "/top2.txt");
  int calls = 0;
  EXPECT_EQ(9, platform::wipe_disk(disk, true, false, [&](const std::string&) { return ++calls == 2 ? 9 : 0; }));
  EXPECT_EQ(2, calls);
  EXPECT_TRUE(exists(deep + "/bottom.txt"));
  ASSERT_EQ(0, platform::wipe_disk(disk, true, false, nullptr));
  EXPECT_TRUE(fs::is_empty(disk));
  EXPECT_NE(0, platform::wipe_disk(disk + "/missing", false, false, nullptr));
}

TEST(WriteTest, PassesOnAWritableFolderWithoutTraceAndFailsOnAMissingOne) {
  const std::string disk = testenv::make_temp_dir("disk");
  EXPECT_EQ(0, platform::write_test(disk));
  EXPECT_TRUE(fs::is_empty(disk));
  EXPECT_NE(0, platform::write_test(disk + "/no-disk"));
}
