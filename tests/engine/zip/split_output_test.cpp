/* tests/engine/zip/split_output_test.cpp - split output: names, sizes, checks, announcements, cleanup.
 *
 * Risks: parts named the wrong way (".z100", the extension kept or lost on
 * the wrong volumes), the size list read wrongly (element 0 against element
 * k, 64-bit words, sizes below 64 KiB), an invalid combination accepted or
 * refused with the wrong message, parts not announced or announced with the
 * wrong numbers, and a failed run that leaves parts behind or loses the old
 * archive.  The bytes of the sets are checked by the interop test's joiner;
 * here the engine reads them back.
 */
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "engine/common/traditional_cipher.h"
#include "engine/zip/split_names.h"
#include "fake_volume.h"
#include "peer_run.h"
#include "zip_writer_test_util.h"

using enginetest::DisplayCall;
using ostrana::first_split_part_name;
using ostrana::split_part_name;
using ostrana::VolumeSizes;

namespace {

using writertest::exists;
using writertest::file_size;
using writertest::noise;

}  // namespace

TEST(SplitNames, FirstPartAppendsOrReplacesAndLaterPartsNumber) {
  EXPECT_EQ("/a/set.zip.z01", first_split_part_name("/a/set.zip", true));
  EXPECT_EQ("/a/set.z01", first_split_part_name("/a/set.zip", false));
  EXPECT_EQ("/a.b/set.z01", first_split_part_name("/a.b/set", false));  // a dot in a folder is no extension
  EXPECT_EQ("/a/set.zip.z02", split_part_name("/a/set.zip.z01", 2));
  EXPECT_EQ("/a/set.z99", split_part_name("/a/set.z01", 99));
  EXPECT_EQ("/a/set.zip.100", split_part_name("/a/set.zip.z01", 100));
  EXPECT_EQ("/a/set.999", split_part_name("/a/set.z01", 999));
}

TEST(SplitNames, SizeListElementZeroStandsForPartsWithoutTheirOwn) {
  VolumeSizes sizes;
  EXPECT_EQ(0u, sizes.part_nbytes(1));  // no list: no limit of its own
  const uint32_t narrow[] = {500000, 100000, 1000, 0, 777};
  ASSERT_TRUE(sizes.load(narrow, false));
  EXPECT_EQ(100000u, sizes.part_nbytes(1));
  EXPECT_EQ(65536u, sizes.part_nbytes(2));  // 1,000 is raised
  EXPECT_EQ(500000u, sizes.part_nbytes(3));  // the list ended at its zero
  EXPECT_EQ(500000u, sizes.part_nbytes(40));
  const uint32_t wide[] = {0x00000000, 0x00000002, 70000, 0, 0, 0};  // 8 GiB, then 70,000
  ASSERT_TRUE(sizes.load(wide, true));
  EXPECT_EQ(uint64_t{8} << 30, sizes.part_nbytes(2));
  EXPECT_EQ(70000u, sizes.part_nbytes(1));
  ASSERT_TRUE(sizes.load(nullptr, false));
  EXPECT_TRUE(sizes.empty());
}

namespace {

class SplitOutput : public writertest::WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    put("src/one.bin", noise(300000, 1));
    put("src/two.bin", noise(200000, 2));
    put("src/three.txt", std::string(50000, 'x'));
  }
  ZIPCMDSTRUCT split_record(const uint32_t* sizes) {
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "src/*.*");
    cmd.recurseFlag = 1;
    cmd.compFactor = 0;
    cmd.wMultiVolControl = ZIP_MV_ENABLED | ZIP_MV_SPLIT;
    cmd.wZipSubOptions |= ZIP_OPT_ANY_MEDIA;
    cmd.pulFileSizeArray = const_cast<uint32_t*>(sizes);
    return cmd;
  }
  /// Tests the archive at @p path with the unzip entry.  @return its result.
  int test_archive(const std::string& path, const char* password = nullptr) {
    UNZIPCMDSTRUCT u;
    std::memset(&u, 0, sizeof u);
    u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    u.Function = UNZIP_EXTRACT;
    u.lpszZIPFile = path.c_str();
    u.index = -1;
    u.lpszFilespec = "*";
    u.recurseFlag = 1;
    u.testFlag = 1;
    u.lpMessageDisplay = enginetest::MessageRecorder::proc;
    u.lpMessageDisplayData = &read_messages;
    u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    if (password != nullptr) {
      u.decryptFlag = 1;
      u.lpszDecryptCode = password;
    }
    return OstranaUnzip(&u);
  }
  enginetest::MessageRecorder read_messages;
};

}  // namespace

TEST_F(SplitOutput, PartsAreAnnouncedInTurnAndTheLastTakesTheArchiveName) {
  const uint32_t sizes[] = {100000, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  std::vector<DisplayCall> announced;
  for (const DisplayCall& c : messages.calls)
    if (c.type == 14) announced.push_back(c);
  ASSERT_EQ(6u, announced.size());  // 550,000 bytes and headers: 6 parts
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(n, announced[n - 1].code);
    EXPECT_EQ("a.zip.z0" + std::to_string(n), announced[n - 1].text);
    EXPECT_EQ(100000, file_size("a.zip.z0" + std::to_string(n)));
  }
  EXPECT_EQ(6, announced[5].code);  // the whole set, under the archive's name
  EXPECT_EQ("a.zip", announced[5].text);
  EXPECT_FALSE(exists("a.zip.z06"));
  EXPECT_LE(file_size("a.zip"), 100000);
  EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip"));
  // The reading side found the parts beside the archive without asking.
  for (const DisplayCall& c : read_messages.shown()) EXPECT_NE(0, c.type) << c.text;
}

TEST_F(SplitOutput, ShortNameVolumesReplaceTheExtension) {
  testenv::FakeVolumeService fake(dir + "/no-drive");
  fake.name_length = 12;
  const uint32_t sizes[] = {200000, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_TRUE(exists("a.z01"));
  EXPECT_TRUE(exists("a.z02"));
  EXPECT_FALSE(exists("a.zip.z01"));
  EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip"));
}

TEST_F(SplitOutput, OneSmallPartSetIsAnOrdinaryArchiveWithTheMarker) {
  const uint32_t sizes[] = {10000000, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_FALSE(exists("a.zip.z01"));
  std::vector<uint8_t> b = bytes("a.zip");
  ASSERT_GT(b.size(), 4u);
  EXPECT_EQ(0, std::memcmp(b.data(), "PK\x07\x08", 4));
  EXPECT_EQ(3u, names().size());
  EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip"));
}

TEST_F(SplitOutput, CancelMidwayDeletesEveryPartAndKeepsTheOldArchive) {
  put("a.zip", "the old archive");
  put("a.zip.z09", "a stale part");
  const uint32_t sizes[] = {65536, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  // Stop once the third part exists.
  cmd.lpMajorStatus = [](const char*, int, void*) { return exists("a.zip.z03") ? 1 : 0; };
  EXPECT_EQ(OZ_INTERRUPTED, run(cmd));
  EXPECT_EQ("the old archive", enginetest::read_text_file("a.zip"));
  for (const char* part : {"a.zip.z01", "a.zip.z02", "a.zip.z03", "a.zip.z09"}) EXPECT_FALSE(exists(part)) << part;
}

TEST_F(SplitOutput, NothingToDoLeavesAnEarlierSetAlone) {
  put("a.zip.z02", "part of an earlier set");
  ZIPCMDSTRUCT cmd = split_record(nullptr);
  cmd.lpszItemList = "nothing-here/*.*";
  EXPECT_EQ(OZ_NOTHING_TO_DO, run(cmd));
  EXPECT_TRUE(exists("a.zip.z02"));
  EXPECT_FALSE(exists("a.zip.z01"));
}

TEST_F(SplitOutput, InvalidCombinationsAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    void (*change)(ZIPCMDSTRUCT&);
  };
  const Case cases[] = {
      {"ZIP_UPDATE", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_UPDATE; }},
      {"ZIP_DELETE", [](ZIPCMDSTRUCT& c) { c.Function = ZIP_DELETE; }},
      {"fixFlag", [](ZIPCMDSTRUCT& c) { c.fixFlag = 1; }},
      {"fixHarderFlag", [](ZIPCMDSTRUCT& c) { c.fixHarderFlag = 1; }},
      {"growExistingFlag", [](ZIPCMDSTRUCT& c) { c.growExistingFlag = 1; }},
      {"wipe with split", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_WIPE; }},
      {"format with split", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_FORMAT; }},
      {"low density with split", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_LOW_DENSITY; }},
      {"whole-tree wipe with split", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_WIPE_TREE; }},
      {"protected wipe with split", [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_WIPE_PROTECTED; }},
      {"directory-first layout with Zip64",
       [](ZIPCMDSTRUCT& c) { c.wMultiVolControl |= ZIP_MV_DIRECTORY_FIRST, c.LargeZIPFilesFlag = 1; }},
  };
  for (const Case& k : cases) {
    ZIPCMDSTRUCT cmd = split_record(nullptr);
    k.change(cmd);
    EXPECT_EQ(OZ_BAD_MULTIVOLUME, run(cmd)) << k.what;
    EXPECT_FALSE(exists("a.zip")) << k.what;
    EXPECT_FALSE(exists("a.zip.z01")) << k.what;
  }
  // Spanning onto a fixed drive without option bit 7 (or 14) is refused with
  // display type 5 before anything is written.
  ZIPCMDSTRUCT cmd = split_record(nullptr);
  cmd.wMultiVolControl &= ~ZIP_MV_SPLIT;
  cmd.wZipSubOptions &= ~(ZIP_OPT_ANY_MEDIA | ZIP_OPT_NO_PUMP);
  EXPECT_EQ(OZ_BAD_MULTIVOLUME, run(cmd));
  EXPECT_FALSE(exists("a.zip"));
  EXPECT_EQ((std::vector<std::string>{
                "Target Media is NON-Removable and can not be used for a Multi-Volume operation."}),
            shown(5));
}

TEST_F(SplitOutput, SplitPartsNeedNoRemovableDrive) {
  // The wizard's split record carries neither option bit 7 nor 14: split
  // parts on a hard disk are what it asks for.
  const uint32_t sizes[] = {65536, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  cmd.wZipSubOptions &= ~(ZIP_OPT_ANY_MEDIA | ZIP_OPT_NO_PUMP);
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_TRUE(exists("a.zip.z01"));
  EXPECT_TRUE(shown(5).empty());
  EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip"));
}

TEST_F(SplitOutput, DirectoryFirstLayoutOpensPartOneWithTheFinalDirectory) {
  const uint32_t sizes[] = {100000, 0};
  ZIPCMDSTRUCT cmd = split_record(sizes);
  cmd.wMultiVolControl |= ZIP_MV_DIRECTORY_FIRST;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  std::vector<uint8_t> first = bytes("a.zip.z01");
  ASSERT_GT(first.size(), 46u);
  EXPECT_EQ(0, std::memcmp(first.data(), "PK\x01\x02", 4));
  // The final values are in: the first entry's data descriptor CRC is there.
  const uint32_t crc = first[16] | first[17] << 8 | first[18] << 16 | static_cast<uint32_t>(first[19]) << 24;
  EXPECT_NE(0u, crc);
  // Part 1 is rewritten at the end, so it is not announced when it is closed.
  std::vector<int> announced;
  for (const DisplayCall& c : messages.calls)
    if (c.type == 14) announced.push_back(c.code);
  ASSERT_FALSE(announced.empty());
  EXPECT_EQ(2, announced.front());
  EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip"));
  // Each central header names a part and offset where its local header is.
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    ASSERT_LE(at + 46, first.size());
    const size_t n = first[at + 28] | first[at + 29] << 8, m = first[at + 30] | first[at + 31] << 8,
                 k = first[at + 32] | first[at + 33] << 8;
    const int disk = first[at + 34] | first[at + 35] << 8;
    const uint32_t offset = first[at + 42] | first[at + 43] << 8 | first[at + 44] << 16;
    char part[32];
    std::snprintf(part, sizeof part, disk == announced.back() - 1 ? "a.zip" : "a.zip.z%02d", disk + 1);
    std::vector<uint8_t> piece = bytes(part);
    ASSERT_LE(offset + 4u, piece.size()) << part;
    EXPECT_EQ(0, std::memcmp(piece.data() + offset, "PK\x03\x04", 4)) << part;
    at += 46 + n + m + k;
  }
}

// Parts cannot be gone back to, so an encrypted entry there is written with
// its CRC and sizes after the data (flag bit 3): a strong-encryption header
// then stores a random 16-byte IV, and the traditional header's check byte
// comes from the DOS time, which is known before the data is.
TEST_F(SplitOutput, EncryptedEntriesOnPartsCarryTheirValuesAfterTheData) {
  put("small/plain.txt", std::string(32, 'q'), 1400000000);
  for (bool strong : {false, true}) {
    const uint32_t sizes[] = {65536, 0};
    ZIPCMDSTRUCT cmd = split_record(sizes);
    cmd.lpszItemList = "small/plain.txt";
    cmd.compFactor = 6;
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = "secret";
    if (strong) {
      cmd.lZipSubOptions2 |= ZIP_OPT2_AES;
      cmd.lSEInfo = 3;
    }
    ASSERT_EQ(OZ_SUCCESS, run(cmd)) << strong;
    // One small entry: the whole set is the archive itself, signature first.
    const std::vector<uint8_t> set = bytes("a.zip");
    ASSERT_GT(set.size(), 4u + 30 + 15 + 16);
    ASSERT_EQ(0, std::memcmp(set.data(), "PK\x07\x08PK\x03\x04", 8));
    const uint8_t* local = set.data() + 4;
    const uint16_t flags = static_cast<uint16_t>(local[6] | local[7] << 8);
    const uint16_t dos_time = static_cast<uint16_t>(local[10] | local[11] << 8);
    EXPECT_EQ(strong ? 0x49 : 0x09, flags & 0x49) << strong;  // encrypted, descriptor, strong
    const size_t data_at = 4 + 30 + (local[26] | local[27] << 8) + (local[28] | local[29] << 8);
    ASSERT_LT(data_at + 18, set.size());
    const uint8_t* data = set.data() + data_at;
    if (strong) {
      EXPECT_EQ(16, data[0] | data[1] << 8);  // the IV is stored
    } else {
      ostrana::TraditionalCipher cipher;
      cipher.init(reinterpret_cast<const uint8_t*>("secret"), 6);
      uint8_t header[12];
      std::memcpy(header, data, 12);
      cipher.decrypt(header, 12);
      EXPECT_EQ(dos_time >> 8, header[11]);
    }
    EXPECT_EQ(OZ_SUCCESS, test_archive(dir + "/a.zip", "secret")) << strong;
    EXPECT_NE(OZ_SUCCESS, test_archive(dir + "/a.zip", "wrong")) << strong;
    ASSERT_EQ(0, ::unlink((dir + "/a.zip").c_str()));
  }
}
