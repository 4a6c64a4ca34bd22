/* tests/engine/unzip/multi_volume_test.cpp - reading archives spread over split files or disks.
 *
 * Risks: a split set that needs a prompt although its parts lie side by side;
 * the wrong part taken when both NAME.zip.z01 and NAME.z01 exist; a caller's
 * answer to the part question ignored; data or a directory that runs on into
 * the next volume read from the wrong place; a disk with the wrong label
 * accepted; an extraction onto the disk it reads from.  Sets are cut from
 * ordinary archives by tests/support/zip_split.py; disks are folders behind
 * a fake removable drive.
 */
#include <unistd.h>

#include "engine/unzip/volume_input.h"
#include "extract_fixture.h"
#include "fake_volume.h"

using namespace extracttest;
using enginetest::DisplayCall;
using ostrana::split_part_candidates;

namespace {

std::string random_text(size_t n, unsigned seed) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s += static_cast<char>('a' + (seed >> 16) % 26);
  }
  return s;
}

/// Cuts the archive at @p archive into volumes of @p volume_nbytes named by the
/// Python format @p pattern ("{n}"), the last one @p last.  @return the count.
int split(const std::string& archive, size_t volume_nbytes, const std::string& pattern, const std::string& last) {
  std::string out;
  std::string script = std::string(OSTRANA_TEST_DATA) + "/../support/zip_split.py";
  std::string cmd = "python3 " + testenv::shell_quote(script) + " " + testenv::shell_quote(archive) + " " +
                    std::to_string(volume_nbytes) + " " + testenv::shell_quote(pattern) + " " +
                    testenv::shell_quote(last) + " > " + testenv::shell_quote(archive + ".count");
  EXPECT_EQ(0, testenv::run_command(cmd));
  return std::stoi(enginetest::read_text_file(archive + ".count"));
}

class MultiVolume : public ExtractFixture {
 protected:
  void SetUp() override {
    ExtractFixture::SetUp();
    big = random_text(12000, 7);
    std::vector<testzip::Entry> entries = {stored("first.txt", "first"), stored("docs/", ""),
                                           stored("docs/big.txt", big)};
    // Enough headers for the central directory to run over several volumes.
    for (int n = 0; n < 120; ++n)
      entries.push_back(stored("docs/many/a-rather-long-name-for-item-" + std::to_string(n) + ".txt", "m"));
    entries.push_back(stored("docs/last.txt", "last"));
    write_archive(entries);
  }
  std::string big;
};

TEST(SplitPartNames, ZipZ01FirstThenZ01AndThreeDigitsFrom100) {
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip.z01", "/a/data.z01"}), split_part_candidates("/a/data.zip", 1));
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip.z99", "/a/data.z99"}), split_part_candidates("/a/data.ZIP", 99));
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip.100", "/a/data.100"}), split_part_candidates("/a/data.zip", 100));
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip"}), split_part_candidates("/a/data.zip", 0));
  // Opened at a part: named as if opened at NAME.zip.
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip", "/a/data.z02"}), split_part_candidates("/a/data.z02", 0));
  EXPECT_EQ((std::vector<std::string>{"/a/data.zip.z03", "/a/data.z03"}), split_part_candidates("/a/data.z01", 3));
  // No ".zip" in the name: the suffix is appended; a ".zip" folder does not count.
  EXPECT_EQ((std::vector<std::string>{"/x.zip/set.zip.z02", "/x.zip/set.z02"}), split_part_candidates("/x.zip/set", 2));
}

TEST_F(MultiVolume, SplitSetExtractsWithoutAPromptAndTriesZipZ01First) {
  const std::string set = dir + "/set";
  ASSERT_EQ(0, ::mkdir(set.c_str(), 0777));
  const int volumes = split(archive, 5000, set + "/data.zip.z{n:02d}", set + "/data.zip");
  ASSERT_GE(volumes, 3);
  // A decoy with the other name: it must not be read.
  testenv::write_file(set + "/data.z01", std::vector<uint8_t>(5000, 'X'));
  const std::string path = set + "/data.zip";
  cmd.lpszZIPFile = path.c_str();
  messages.answer = [](const DisplayCall&) { return 0; };  // the type-15 question: "use your own rule"
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ("first", content("first.txt"));
  EXPECT_EQ(big, content("docs/big.txt"));
  EXPECT_EQ("last", content("docs/last.txt"));
  EXPECT_EQ("m", content("docs/many/a-rather-long-name-for-item-119.txt"));
  for (const DisplayCall& c : messages.shown()) EXPECT_EQ(15, c.type) << c.text;
  ASSERT_FALSE(messages.shown().empty());
  EXPECT_EQ(path, messages.shown()[0].text) << "the question holds the archive path";
  EXPECT_EQ(static_cast<uint32_t>(OSTRANA_MB_YESNOCANCEL), messages.shown()[0].style);
  EXPECT_EQ(volumes, messages.shown()[0].extra) << "the number of volumes";

  // Without a message callback nobody is asked at all, and testing works too.
  cmd.lpMessageDisplay = nullptr;
  cmd.testFlag = 1;
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_TRUE(box.calls.empty());

  // A missing part ends the run with 48, naming it.
  ::unlink((set + "/data.zip.z02").c_str());
  cmd.lpMessageDisplay = enginetest::MessageRecorder::proc;
  messages.calls.clear();
  EXPECT_EQ(OU_USER_CANCELLED, extract("*.*"));
  ASSERT_EQ(1u, shown(OSTRANA_DISPLAY_ERROR).size());
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR)[0].text.find("data.z02: this volume of the split archive"));
}

TEST_F(MultiVolume, CallerAnswersThePartQuestion) {
  const int volumes = split(archive, 5000, dir + "/hidden-{n}.bin", dir + "/data.zip");
  ASSERT_GE(volumes, 3);
  const std::string path = dir + "/data.zip";
  cmd.lpszZIPFile = path.c_str();
  cmd.testFlag = 1;
  messages.reply = [&](const DisplayCall& c) {
    return c.type == 15 && c.code != 0 ? dir + "/hidden-" + std::to_string(c.code) + ".bin" : std::string();
  };
  messages.answer = [](const DisplayCall& c) { return c.type == 15 && c.code != 0 ? OSTRANA_ID_YES : 0; };
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  // Yes with a path that does not exist, and Cancel: 48.
  messages.reply = [&](const DisplayCall&) { return dir + "/nowhere"; };
  EXPECT_EQ(OU_USER_CANCELLED, extract("*.*"));
  messages.answer = [](const DisplayCall& c) { return c.type == 15 ? OSTRANA_ID_CANCEL : OSTRANA_ID_OK; };
  EXPECT_EQ(OU_USER_CANCELLED, extract("*.*"));
}

class DiskMode : public MultiVolume {
 protected:
  void SetUp() override {
    MultiVolume::SetUp();
    drive = dir + "/drive";
    fake = std::make_unique<testenv::FakeVolumeService>(drive);
    std::string staging = dir + "/staging";
    ASSERT_EQ(0, ::mkdir(staging.c_str(), 0777));
    count = split(archive, 5000, staging + "/v{n}", staging + "/v-last");
    for (int n = 1; n <= count; ++n) {
      std::string disk = dir + "/disk" + std::to_string(n);
      ASSERT_EQ(0, ::mkdir(disk.c_str(), 0777));
      std::string from = n == count ? staging + "/v-last" : staging + "/v" + std::to_string(n);
      ASSERT_EQ(0, ::rename(from.c_str(), (disk + "/set.zip").c_str()));
      char label[32];
      std::snprintf(label, sizeof label, "PKBACK# %03d", n);
      fake->labels[disk] = label;
    }
    fake->insert(dir + "/disk1");  // the user starts with the first disk
    path = drive + "/set.zip";
    cmd.lpszZIPFile = path.c_str();
    // The user inserts whatever disk is asked for.
    messages.answer = [this](const DisplayCall& c) {
      if (c.type == 0 || c.type == 1) {
        prompts.push_back(c);
        int n = c.code == 0 && c.extra == -1 ? count : c.code;
        fake->insert(dir + "/disk" + std::to_string(n));
      }
      return OSTRANA_ID_OK;
    };
  }

  std::string drive, path;
  int count = 0;
  std::unique_ptr<testenv::FakeVolumeService> fake;
  std::vector<DisplayCall> prompts;
};

TEST_F(DiskMode, PromptsForTheLastDiskThenEachDiskInTurn) {
  ASSERT_GE(count, 3);
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ(big, content("docs/big.txt"));
  EXPECT_EQ("last", content("docs/last.txt"));
  ASSERT_GE(prompts.size(), 3u);
  EXPECT_EQ(0, prompts[0].type);
  EXPECT_EQ(-1, prompts[0].extra);
  EXPECT_EQ("Please insert the last disk of the Multi-Volume set. \nPress OK when ready or Cancel to abort.",
            prompts[0].text);
  bool numbered = false, continued = false;
  for (const DisplayCall& c : prompts) {
    if (c.type == 1) {
      numbered = true;
      EXPECT_EQ(count, c.extra);
      EXPECT_EQ("Please insert Disk Volume " + std::to_string(c.code) + " of " + std::to_string(count) +
                    ". \nPress OK when ready or Cancel to abort.",
                c.text);
    }
    if (c.type == 0 && c.extra == count) continued = true;  // data running on into the next disk
  }
  EXPECT_TRUE(numbered);
  EXPECT_TRUE(continued);
  EXPECT_GT(fake->label_reads, 0);
}

TEST_F(DiskMode, WrongLabelIsAskedForAgainUnlessBit9) {
  fake->labels[dir + "/disk3"] = "OTHER";
  int disk3 = 0;
  auto insert = messages.answer;
  messages.answer = [&](const DisplayCall& c) {
    if ((c.type == 0 || c.type == 1) && c.code == 3 && ++disk3 == 2) fake->labels[dir + "/disk3"] = "PKBACK# 003";
    return insert(c);
  };
  EXPECT_EQ(OU_SUCCESS, extract("docs/big.txt"));
  EXPECT_EQ(big, content("docs/big.txt"));
  EXPECT_EQ(2, disk3) << "the disk with the wrong label was asked for again";

  fake->labels[dir + "/disk3"] = "OTHER";
  fake->label_reads = 0;
  fake->insert(dir + "/disk1");
  cmd.wUnzipSubOptions |= UNZIP_OPT_NO_LABEL_CHECK;
  cmd.overWriteFlag = 1;
  EXPECT_EQ(OU_SUCCESS, extract("docs/big.txt"));
  EXPECT_EQ(0, fake->label_reads);
}

TEST_F(DiskMode, CancelledPromptAndSameVolumeDestinationEndTheRun) {
  auto insert = messages.answer;
  messages.answer = [](const DisplayCall& c) { return c.type == 0 || c.type == 1 ? OSTRANA_ID_CANCEL : OSTRANA_ID_OK; };
  EXPECT_EQ(OU_USER_CANCELLED, extract("*.*"));
  EXPECT_EQ("<missing>", content("first.txt"));

  // The destination on the drive the disks are read from: type 6 and 12.
  fake->insert(dir + "/disk" + std::to_string(count));
  messages.calls.clear();
  messages.answer = insert;
  std::string on_drive = drive + "/out";
  cmd.lpszDestination = on_drive.c_str();
  EXPECT_EQ(OU_SAME_VOLUME, extract("*.*"));
  ASSERT_EQ(1u, shown(6).size());
  EXPECT_EQ("The same disk volume can not be used as both the source and destination", shown(6)[0].text);
  // Split files (option bit 13) are not disks: no guard.
  cmd.wUnzipSubOptions |= UNZIP_OPT_SPLIT_FILES;
  cmd.lpszDestination = dest.c_str();
  cmd.testFlag = 1;
  messages.answer = [](const DisplayCall&) { return 0; };
  EXPECT_NE(OU_SAME_VOLUME, extract("*.*"));
}

}  // namespace
