/* tests/engine/zip/spanning_test.cpp - a new archive spanned over removable disks.
 *
 * Risks: disks asked for out of order or with the wrong texts, pieces larger
 * than their disk, labels missing, a set the reading side cannot follow from
 * disk to disk, a write-protected disk taken, wiping that deletes too much or
 * too little, a cancelled run that leaves a half-written file, an item on the
 * target drive accepted, staging that leaves its file behind.  Disks are
 * folders behind a fake removable drive (tests/support/fake_volume.h); the
 * prompt callback swaps them as a user would.
 */
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "fake_volume.h"
#include "peer_run.h"
#include "platform/floppy_format.h"
#include "zip_writer_test_util.h"

using enginetest::DisplayCall;

namespace {

using writertest::exists;
using writertest::file_size;
using writertest::noise;

constexpr uint64_t kDiskette = 1457664;  // free bytes of an empty 1.44 MB diskette

class Spanning : public writertest::WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    drive = dir + "/drive";
    fake = std::make_unique<testenv::FakeVolumeService>(drive);
    for (int n = 1; n <= 4; ++n) ::mkdir(disk(n).c_str(), 0777);
    fake->insert(disk(1));
    archive = drive + "/set.zip";
    // Stored noise: 3.3 MB over 1.44 MB disks takes three of them.
    put("src/a.bin", noise(1100000, 1));
    put("src/b.bin", noise(1100000, 2));
    put("src/c.bin", noise(1100000, 3));
    // The user inserts the disk asked for and answers OK.
    messages.answer = [this](const DisplayCall& c) {
      if (c.type == 0) {
        prompts.push_back(c);
        fake->insert(disk(c.code == -1 ? 1 : c.code));
      }
      return OSTRANA_ID_OK;
    };
  }
  void TearDown() override {
    fake.reset();
    WriterTest::TearDown();
  }
  std::string disk(int n) const { return dir + "/disk" + std::to_string(n); }
  ZIPCMDSTRUCT span_record(uint16_t control = 0) {
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "src/*.*");
    cmd.lpszZIPFile = archive.c_str();
    cmd.compFactor = 0;
    cmd.wMultiVolControl = static_cast<uint16_t>(ZIP_MV_ENABLED | control);
    cmd.wZipSubOptions = 0;  // the drive must be removable, and it is
    return cmd;
  }
  /// Extracts the set with the reading side's disk prompts.  @return its result.
  int extract_set(const std::string& dest) {
    ::mkdir(dest.c_str(), 0777);
    enginetest::MessageRecorder reader;
    reader.answer = [this](const DisplayCall& c) {
      if (c.type == 0 || c.type == 1) {
        read_prompts.push_back(c);
        fake->insert(disk(c.code == 0 && c.extra == -1 ? last_disk : c.code));
      }
      return OSTRANA_ID_OK;
    };
    UNZIPCMDSTRUCT u;
    std::memset(&u, 0, sizeof u);
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_EXTRACT;
    u.lpszZIPFile = archive.c_str();
    u.index = -1;
    u.lpszFilespec = "*";
    u.recurseFlag = 1;
    u.lpszDestination = dest.c_str();
    u.lpMessageDisplay = enginetest::MessageRecorder::proc;
    u.lpMessageDisplayData = &reader;
    u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    return OstranaUnzip(&u);
  }
  void expect_extracted(const std::string& dest) {
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
      EXPECT_EQ(bytes("src/" + std::string(name)), bytes(dest + "/src/" + name)) << name;
  }

  std::string drive, archive;
  std::unique_ptr<testenv::FakeVolumeService> fake;
  std::vector<DisplayCall> prompts, read_prompts;
  int last_disk = 3;
};

}  // namespace

TEST_F(Spanning, ThreeDiskettesAskedInOrderLabelledAndReadBack) {
  ZIPCMDSTRUCT cmd = span_record();
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  ASSERT_EQ(3u, prompts.size());
  EXPECT_EQ(-1, prompts[0].code);
  EXPECT_EQ("Please insert the first disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort.",
            prompts[0].text);
  EXPECT_EQ(2, prompts[1].code);
  EXPECT_EQ("Please insert Disk Volume 2.  \nPress OK when ready or Cancel to abort.", prompts[1].text);
  EXPECT_EQ(3, prompts[2].code);
  EXPECT_EQ(OSTRANA_MB_OKCANCEL, prompts[2].style & OSTRANA_MB_BUTTONS_MASK);
  for (int n = 1; n <= 3; ++n) {
    char label[16];
    std::snprintf(label, sizeof label, "PKBACK# %03d", n);
    EXPECT_EQ(label, fake->labels[disk(n)]);
    EXPECT_LE(file_size(disk(n) + "/set.zip"), static_cast<int64_t>(kDiskette));
  }
  // The first two disks are filled to the last byte (data is split there).
  EXPECT_EQ(static_cast<int64_t>(kDiskette), file_size(disk(1) + "/set.zip"));
  EXPECT_FALSE(exists(disk(4) + "/set.zip"));
  // No scratch file is left by the write test.
  for (int n = 1; n <= 3; ++n)
    for (auto& e : std::filesystem::directory_iterator(disk(n))) EXPECT_EQ("set.zip", e.path().filename()) << n;

  // The reading side (disk 3, the last, still in the drive) asks for disk 1
  // of 3, then follows the data from disk to disk, checking the labels.
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  ASSERT_FALSE(read_prompts.empty());
  EXPECT_EQ(1, read_prompts[0].code);
  EXPECT_EQ(3, read_prompts[0].extra);
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, StagingInATemporaryFolderGivesTheSameSetAndLeavesNothing) {
  const std::string stage = dir + "/stage";
  ::mkdir(stage.c_str(), 0777);
  ZIPCMDSTRUCT cmd = span_record();
  cmd.pathForTempFlag = 1;
  cmd.lpszTempPath = stage.c_str();
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_EQ(3u, prompts.size());
  EXPECT_TRUE(temp_files(stage).empty());
  EXPECT_EQ(static_cast<int64_t>(kDiskette), file_size(disk(1) + "/set.zip"));
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, WriteProtectedOrMissingDiskBringsRetryThenTheDiskIsTaken) {
  int warnings = 0;
  bool refused_once = false;
  messages.answer = [&](const DisplayCall& c) {
    if (c.type == 0) {
      prompts.push_back(c);
      // The first time disk 2 is asked for, the drive is left empty.
      if (c.code == 2 && !refused_once) {
        refused_once = true;
        fake->insert(dir + "/no-disk-here");
      } else {
        fake->insert(disk(c.code == -1 ? 1 : c.code));
      }
    }
    if (c.type == 12 && (c.style & OSTRANA_MB_BUTTONS_MASK) == OSTRANA_MB_RETRYCANCEL) {
      ++warnings;
      EXPECT_EQ("Target media is write protected or missing.\nPlease insert a write enabled disk.", c.text);
      EXPECT_EQ("Ostrana Secure Zip Warning", c.title);
      return OSTRANA_ID_RETRY;
    }
    return OSTRANA_ID_OK;
  };
  ZIPCMDSTRUCT cmd = span_record();
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_EQ(1, warnings);
  ASSERT_EQ(4u, prompts.size());  // first, 2 (empty drive), 2 again, 3
  EXPECT_EQ(2, prompts[1].code);
  EXPECT_EQ(2, prompts[2].code);
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, WipingTakesRootFilesOrTheWholeTreeAndProtectedFilesOnlyWithBit10) {
  for (int n = 2; n <= 3; ++n) {
    put(disk(n) + "/old.txt", noise(300000, 9));
    put(disk(n) + "/.hidden", "hidden");
    put(disk(n) + "/sub/deep.txt", "deep");
  }
  ZIPCMDSTRUCT cmd = span_record(ZIP_MV_WIPE);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  // Disk 2: root files wiped, the hidden one and the subfolder kept.
  EXPECT_FALSE(exists(disk(2) + "/old.txt"));
  EXPECT_TRUE(exists(disk(2) + "/.hidden"));
  EXPECT_TRUE(exists(disk(2) + "/sub/deep.txt"));

  put(disk(2) + "/old.txt", "again");
  ZIPCMDSTRUCT all = span_record(ZIP_MV_WIPE | ZIP_MV_WIPE_TREE | ZIP_MV_WIPE_PROTECTED);
  prompts.clear();
  ASSERT_EQ(OZ_SUCCESS, run(all));
  for (const char* gone : {"/old.txt", "/.hidden", "/sub/deep.txt", "/sub"}) EXPECT_FALSE(exists(disk(2) + gone)) << gone;
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, CancelAtTheNextDiskEndsWith9AndLeavesNoHalfFile) {
  messages.answer = [this](const DisplayCall& c) {
    if (c.type != 0) return OSTRANA_ID_OK;
    prompts.push_back(c);
    if (c.code == 2) return OSTRANA_ID_CANCEL;
    fake->insert(disk(1));
    return OSTRANA_ID_OK;
  };
  ZIPCMDSTRUCT cmd = span_record();
  EXPECT_EQ(OZ_INTERRUPTED, run(cmd));
  EXPECT_EQ(2u, prompts.size());
  EXPECT_FALSE(exists(disk(1) + "/set.zip"));
}

TEST_F(Spanning, ItemsOnTheTargetDriveAndUpdatesAreRefusedWith20) {
  put(disk(1) + "/on-drive.txt", "on the diskette");
  ZIPCMDSTRUCT cmd = span_record();
  const std::string item = drive + "/on-drive.txt";
  cmd.lpszItemList = item.c_str();
  EXPECT_EQ(OZ_BAD_MULTIVOLUME, run(cmd));
  EXPECT_EQ((std::vector<std::string>{"The same disk volume can not be used as both the source and destination"}),
            shown(6));
  EXPECT_TRUE(prompts.empty());
  EXPECT_FALSE(exists(disk(1) + "/set.zip"));

  ZIPCMDSTRUCT update = span_record();
  update.Function = ZIP_UPDATE;
  EXPECT_EQ(OZ_BAD_MULTIVOLUME, run(update));
  EXPECT_TRUE(prompts.empty());
}

TEST_F(Spanning, FormatOnANonDisketteIsRefusedWith20) {
  ZIPCMDSTRUCT cmd = span_record(ZIP_MV_FORMAT);
  EXPECT_EQ(OZ_BAD_MULTIVOLUME, run(cmd));
  EXPECT_FALSE(exists(disk(1) + "/set.zip"));
}

namespace {

bool have_mtools() { return std::system("command -v mcopy >/dev/null 2>&1 && command -v fsck.fat >/dev/null 2>&1") == 0; }

}  // namespace

// Each disk is a 1.44 MB diskette image, formatted by the run.  The image
// cannot be mounted here, so each disk's folder stands for the mounted file
// system: afterwards its file is copied into the image with mtools (and the
// label the run set is written there), dosfstools checks the image, and the
// set is read back from the images alone.
TEST_F(Spanning, FormattedDiskettesHoldASetThatReadsBack) {
  if (!have_mtools()) GTEST_SKIP() << "mtools or dosfstools missing";
  for (int n = 1; n <= 3; ++n) {
    const std::string image = dir + "/disk" + std::to_string(n) + ".img";
    testenv::write_file(image, std::vector<uint8_t>(1474560, 0xF6));
    fake->images[disk(n)] = image;
    fake->capacity[disk(n)] = 1;  // no room until formatted
    put(disk(n) + "/old.txt", "from before the format");
  }
  int formatting_reports = 0;
  ZIPCMDSTRUCT cmd = span_record(ZIP_MV_FORMAT);
  cmd.lpMinorStatus = [](const char* text, int, void* user) {
    if (std::strncmp(text, "Formatting Cylinder ", 20) == 0) ++*static_cast<int*>(user);
    return 0;
  };
  cmd.lpMinorUserData = &formatting_reports;
  std::vector<std::string> majors;
  cmd.lpMajorStatus = [](const char* text, int, void* user) {
    auto* seen = static_cast<std::vector<std::string>*>(user);
    if (seen->empty() || seen->back() != text) seen->push_back(text);
    return 0;
  };
  cmd.lpMajorUserData = &majors;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  // After each format the run's own text from before it is shown again.
  int formats_seen = 0;
  for (size_t i = 1; i + 1 < majors.size(); ++i) {
    if (majors[i].rfind("Formatting Drive ", 0) != 0) continue;
    ++formats_seen;
    EXPECT_EQ(majors[i - 1], majors[i + 1]);
  }
  EXPECT_EQ(3, formats_seen);
  EXPECT_EQ(3, fake->formats);
  EXPECT_EQ(3 * 160, formatting_reports);
  for (int n = 1; n <= 3; ++n) {
    const std::string image = fake->images[disk(n)];
    EXPECT_FALSE(exists(disk(n) + "/old.txt"));
    const std::string q = testenv::shell_quote(image);
    ASSERT_EQ(0, testenv::run_command("MTOOLS_SKIP_CHECK=1 mcopy -i " + q + " " +
                                      testenv::shell_quote(disk(n) + "/set.zip") + " ::set.zip"));
    ASSERT_EQ(0, testenv::run_command("fatlabel " + q + " " + testenv::shell_quote(fake->labels[disk(n)]) +
                                      " >/dev/null 2>&1"));
    EXPECT_EQ(0, testenv::run_command("fsck.fat -n " + q + " >/dev/null 2>&1")) << n;
    std::filesystem::remove(disk(n) + "/set.zip");
    ASSERT_EQ(0, testenv::run_command("MTOOLS_SKIP_CHECK=1 mcopy -i " + q + " ::set.zip " +
                                      testenv::shell_quote(disk(n) + "/set.zip")));
  }
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, DirectoryFirstAsksForTheFirstDiskAgainAndRefusesAWrongOne) {
  int invalid = 0;
  bool wrong_offered = false;
  messages.answer = [&](const DisplayCall& c) {
    if (c.type == 0) {
      prompts.push_back(c);
      int n = c.code == -1 ? 1 : c.code;
      // The first time disk 1 is asked for again, disk 2 is inserted.
      if (c.code == -1 && prompts.size() > 1 && !wrong_offered) {
        wrong_offered = true;
        n = 2;
      }
      fake->insert(disk(n));
    }
    if (c.type == 10) {
      ++invalid;
      EXPECT_EQ("Invalid First Disk; Try again.", c.text);
    }
    return OSTRANA_ID_OK;
  };
  ZIPCMDSTRUCT cmd = span_record(ZIP_MV_DIRECTORY_FIRST);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_EQ(1, invalid);
  ASSERT_EQ(5u, prompts.size());  // first, 2, 3, first (disk 2 offered), first
  EXPECT_EQ(-1, prompts[3].code);
  EXPECT_EQ(-1, prompts[4].code);
  std::vector<uint8_t> first = bytes(disk(1) + "/set.zip");
  EXPECT_EQ(0, std::memcmp(first.data(), "PK\x01\x02", 4));
  fake->insert(disk(3));
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}

TEST_F(Spanning, LowDensityFormatMakes720KDisketteDisksOutOf144MDrives) {
  if (!have_mtools()) GTEST_SKIP() << "mtools or dosfstools missing";
  for (int n = 1; n <= 6; ++n) {
    ::mkdir(disk(n).c_str(), 0777);
    const std::string image = dir + "/disk" + std::to_string(n) + ".img";
    testenv::write_file(image, std::vector<uint8_t>(1474560, 0));
    fake->images[disk(n)] = image;
  }
  ZIPCMDSTRUCT cmd = span_record(ZIP_MV_FORMAT | ZIP_MV_LOW_DENSITY);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  // 3.3 MB over 730,112 bytes a disk (the free space of a 720 KB diskette): five disks.
  EXPECT_EQ(5u, prompts.size());
  EXPECT_EQ(730112, file_size(disk(1) + "/set.zip"));
  std::vector<uint8_t> boot = bytes(fake->images[disk(1)]);
  EXPECT_EQ(1440, boot[0x13] | boot[0x14] << 8);
  last_disk = 5;
  ASSERT_EQ(OZ_SUCCESS, extract_set(dir + "/out"));
  expect_extracted(dir + "/out");
}
