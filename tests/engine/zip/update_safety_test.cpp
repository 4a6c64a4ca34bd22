/* tests/engine/zip/update_safety_test.cpp - the update lock, the rollback of an append, leftovers.
 *
 * Risk: a second run on a locked archive that goes ahead (one run's entries
 * lost) or waits forever; a killed append that leaves an archive no reader
 * opens; a rollback file from a torn write or from another archive applied
 * over good data; temporary archives of killed runs piling up, or a live
 * run's temporary archive taken for a leftover.
 */
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "engine/common/append_rollback.h"
#include "engine/common/zip_records.h"
#include "engine/zip/temp_archive.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/thread_id.h"
#include "zip_writer_test_util.h"

namespace {

using writertest::exists;

class UpdateSafety : public writertest::WriterTest {
 protected:
  void TearDown() override {
    unsetenv("OSTRANA_LOCK_WAIT");
    platform::allow_unnamed_files(true);
    WriterTest::TearDown();
  }

  /// What a killed append leaves: the rollback file saved, then new bytes over
  /// the old directory and no end record.
  void leave_unfinished_append() {
    const auto old = bytes("a.zip");
    const uint64_t directory = ostrana::zip::get_le32(old.data() + old.size() - 6);
    platform::File f;
    ASSERT_EQ(0, f.open("a.zip", platform::File::Mode::kReadWrite));
    ASSERT_EQ(0, ostrana::save_rollback("a.zip", f, directory,
                                        std::vector<uint8_t>(old.begin() + directory, old.end())));
    const std::string junk(5000, 'j');
    ASSERT_EQ(0, f.write_at(directory, junk.data(), junk.size()));
  }

  int unzip_count() {
    UNZIPCMDSTRUCT u{};
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_COUNT_ITEMS;
    u.lpszZIPFile = "a.zip";
    u.quietFlag = 1;
    const int rc = OstranaUnzip(&u);
    return rc != 0 ? -rc : u.returnCount;
  }
};

TEST_F(UpdateSafety, AKilledAppendIsUndoneByTheNextRunOfEitherSide) {
  put("a.txt", "first");
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  const auto before = bytes("a.zip");

  leave_unfinished_append();
  EXPECT_EQ(1, unzip_count()) << "a reader puts the archive back before it reads";
  EXPECT_EQ(before, bytes("a.zip"));
  EXPECT_FALSE(exists("a.zip.ostrana-rollback"));

  leave_unfinished_append();
  put("b.txt", "second");
  ZIPCMDSTRUCT grow = record(ZIP_ADD, "b.txt");
  grow.growExistingFlag = 1;
  ASSERT_EQ(0, run(grow));
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), names());
  ASSERT_FALSE(shown(OSTRANA_DISPLAY_WARNING).empty());
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_WARNING)[0].find("an append that did not finish was undone"));
  EXPECT_FALSE(exists("a.zip.ostrana-rollback"));
}

TEST_F(UpdateSafety, ARollbackFileThatCannotBeTrustedIsRemovedAndNotApplied) {
  put("a.txt", "first");
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  const auto good = bytes("a.zip");
  auto put_back_in_place = [&] {
    platform::File f;
    ASSERT_EQ(0, f.open("a.zip", platform::File::Mode::kReadWrite));
    ASSERT_EQ(0, f.write_at(0, good.data(), good.size()));
    ASSERT_EQ(0, f.truncate(good.size()));
  };
  // Torn while it was written: the archive was never touched then.
  leave_unfinished_append();
  put_back_in_place();
  ASSERT_EQ(0, truncate("a.zip.ostrana-rollback", static_cast<off_t>(bytes("a.zip.ostrana-rollback").size() - 1)));
  EXPECT_EQ(1, unzip_count());
  EXPECT_EQ(good, bytes("a.zip"));
  EXPECT_FALSE(exists("a.zip.ostrana-rollback"));

  // Whole, but the archive was replaced by another file since.
  leave_unfinished_append();
  put("copy.zip", std::string(good.begin(), good.end()));
  ASSERT_EQ(0, rename("copy.zip", "a.zip"));
  EXPECT_EQ(1, unzip_count());
  EXPECT_EQ(good, bytes("a.zip"));
  EXPECT_FALSE(exists("a.zip.ostrana-rollback"));
}

TEST_F(UpdateSafety, ASecondRunWaitsThenGivesUpNamingTheArchiveAndTheProcess) {
  put("a.txt", "a");
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  const auto before = bytes("a.zip");
  for (bool archive_exists : {true, false}) {
    if (!archive_exists) {
      ASSERT_EQ(0, unlink("a.zip"));
    }
    platform::FileLock other;  // another run: the archive, or the folder of a new one
    ASSERT_EQ(0, other.try_lock(archive_exists ? "a.zip" : "."));
    setenv("OSTRANA_LOCK_WAIT", "0", 1);
    put("b.txt", "b");
    EXPECT_EQ(OZ_BUSY, zip(ZIP_ADD, "b.txt")) << archive_exists;
    const auto errors = shown(OSTRANA_DISPLAY_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("a.zip is being updated by process " + std::to_string(getpid())))
        << errors[0];
    EXPECT_EQ(archive_exists, exists("a.zip"));
    if (archive_exists) {
      EXPECT_EQ(before, bytes("a.zip"));
    }
    other.unlock();
    EXPECT_EQ(0, zip(ZIP_ADD, "b.txt"));
  }
}

TEST_F(UpdateSafety, LeftoverTemporaryArchivesOfDeadRunsGoLiveOnesStay) {
  platform::allow_unnamed_files(false);
  put("@@AB" "c12345", "left by a killed run");
  put("@@XY" "q00001", "being written");
  put("@@not-ours", "a user's file");
  platform::File live;
  ASSERT_EQ(0, live.open("@@XYq00001", platform::File::Mode::kRead));
  ASSERT_EQ(0, platform::lock_open_file(live));
  put("a.txt", "a");
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  EXPECT_FALSE(exists("@@ABc12345"));
  EXPECT_TRUE(exists("@@XYq00001"));
  EXPECT_TRUE(exists("@@not-ours"));
  EXPECT_TRUE(ostrana::is_temp_archive_name(ostrana::temp_archive_name(platform::current_thread_id(), 'a')));
}

}  // namespace
