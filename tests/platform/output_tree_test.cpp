/* tests/platform/output_tree_test.cpp - the output tree never leaves its root; the volume service's answers.
 *
 * Risks: a symbolic link met below the root is followed (by open, mkdir,
 * rename or utimes); a file is written in place so that a failure leaves half
 * of it, or a link at its name sends the bytes elsewhere; a failure of the
 * system is not reported; the volume service gives up on a path that does
 * not exist yet.
 */
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "peer_run.h"
#include "platform/fault_injection.h"
#include "platform/output_tree.h"
#include "platform/volume.h"
#include "test_env.h"

namespace {

using platform::OutputTree;
using platform::PathFacts;

TEST(OutputTree, RefusesLinksOnTheWayAndFilesInTheWay) {
  std::string root = testenv::make_temp_dir("tree");
  std::string outside = testenv::make_temp_dir("tree-outside");
  ASSERT_EQ(0, ::symlink(outside.c_str(), (root + "/link").c_str()));
  testenv::write_file(root + "/file", {'x'});
  OutputTree tree;
  ASSERT_EQ(0, tree.open(root + "/new/root"));  // made when missing
  tree.close();
  ASSERT_EQ(0, tree.open(root));
  EXPECT_EQ(0, tree.make_folders("a/b/c"));
  EXPECT_EQ(ELOOP, tree.make_folders("link"));
  EXPECT_EQ(ELOOP, tree.make_folders("link/sub"));
  EXPECT_EQ(ENOTDIR, tree.make_folders("file/sub"));
  PathFacts f;
  EXPECT_EQ(ELOOP, tree.examine("link/x", &f)) << "not even looked at through the link";
  EXPECT_EQ(0, tree.examine("link", &f));
  EXPECT_EQ(PathFacts::Kind::kLink, f.kind);
  EXPECT_EQ(0, tree.examine("a/b", &f));
  EXPECT_EQ(PathFacts::Kind::kFolder, f.kind);
  EXPECT_EQ(0, tree.examine("a/missing/x", &f));
  EXPECT_EQ(PathFacts::Kind::kMissing, f.kind);
  platform::File file;
  std::string temp;
  EXPECT_EQ(ELOOP, tree.create_temp("link/evil", &file, &temp));
  struct stat st;
  EXPECT_NE(0, ::stat((outside + "/sub").c_str(), &st));
  EXPECT_NE(0, ::stat((outside + "/evil").c_str(), &st));
}

TEST(OutputTree, NewFilesAppearWholeAndReplaceLinksWithoutFollowing) {
  std::string root = testenv::make_temp_dir("tree-commit");
  std::string target = testenv::make_temp_dir("tree-target") + "/kept.txt";
  testenv::write_file(target, {'k'});
  ASSERT_EQ(0, ::symlink(target.c_str(), (root + "/name.txt").c_str()));
  OutputTree tree;
  ASSERT_EQ(0, tree.open(root));
  platform::File file;
  std::string temp;
  ASSERT_EQ(0, tree.create_temp("name.txt", &file, &temp));
  EXPECT_EQ('.', temp[0]) << "a hidden name while it is written";
  ASSERT_EQ(0, file.write("new", 3));
  ASSERT_EQ(0, platform::set_file_times(file, 1000000000));
  ASSERT_EQ(0, platform::set_file_permissions(file, false, 0106555));
  ASSERT_EQ(0, file.close());
  EXPECT_EQ(0, ::access((root + "/name.txt").c_str(), F_OK)) << "the link is still there until the commit";
  ASSERT_EQ(0, tree.commit(temp, "name.txt"));
  PathFacts f;
  ASSERT_EQ(0, tree.examine("name.txt", &f));
  EXPECT_EQ(PathFacts::Kind::kFile, f.kind);
  EXPECT_TRUE(f.read_only);
  EXPECT_EQ(std::vector<uint8_t>({'k'}), testenv::read_file(target));
  struct stat st;
  ASSERT_EQ(0, ::stat((root + "/name.txt").c_str(), &st));
  EXPECT_EQ(1000000000, st.st_mtime);
  EXPECT_EQ(0555u & ~platform::process_umask(), st.st_mode & 07777)
      << "the stored mode under the umask, never set-user-id or set-group-id";
  // A folder at the name is never replaced.
  ASSERT_EQ(0, tree.make_folders("dir"));
  ASSERT_EQ(0, tree.create_temp("dir", &file, &temp));
  file.close();
  EXPECT_NE(0, tree.commit(temp, "dir"));
  EXPECT_EQ(0, tree.remove(temp));
}

TEST(OutputTree, SystemFailuresAreReported) {
  std::string root = testenv::make_temp_dir("tree-faults");
  OutputTree tree;
  ASSERT_EQ(0, tree.open(root));
  platform::File file;
  std::string temp;
  platform::faults::arm(platform::faults::Op::kOpen, 1, ENOSPC);
  EXPECT_EQ(ENOSPC, tree.create_temp("x", &file, &temp));
  platform::faults::arm(platform::faults::Op::kRename, 1, EIO);
  ASSERT_EQ(0, tree.create_temp("x", &file, &temp));
  EXPECT_EQ(EIO, tree.commit(temp, "x"));
  platform::faults::disarm();
}

TEST(VolumeService, AnswersForPathsThatDoNotExistYet) {
  std::string root = testenv::make_temp_dir("volume");
  platform::VolumeService& v = platform::volume_service();
  EXPECT_EQ(root, platform::nearest_existing(root + "/not/yet"));
  EXPECT_TRUE(v.same_volume(root, root + "/not/yet"));
  uint64_t free_nbytes = 0;
  EXPECT_EQ(0, v.free_space(root + "/not/yet", &free_nbytes));
  EXPECT_GT(free_nbytes, 0u);
  std::string label;
  int rc = v.volume_label(root, &label);
  EXPECT_TRUE(rc == 0 || rc == ENOTSUP) << rc;
  EXPECT_NE(platform::DriveKind::kCdRom, v.drive_kind(root));
}

}  // namespace
