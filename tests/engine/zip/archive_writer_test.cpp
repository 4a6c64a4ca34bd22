/* tests/engine/zip/archive_writer_test.cpp - what the archive writer puts into an archive.
 *
 * Risks: header values that a peer reads differently (versions, flags, the
 * method of empty and stored-suffix files, attributes, names outside CP437);
 * update and freshen replacing entries they must keep, freshen adding files;
 * delete removing more or less than it matched; the preamble lost; an append
 * that moves old entries; the memory operations' streams out of step with
 * their description; a failure that leaves the old archive damaged or a
 * temporary file behind.
 */
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/common/crc32.h"
#include "engine/common/zip_records.h"
#include "engine/zip/temp_archive.h"
#include "engine/zip/zip_headers.h"
#include "peer_run.h"
#include "platform/fault_injection.h"
#include "platform/file_lock.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/thread_id.h"
#include "reference_inflate.h"
#include "zip_builder.h"
#include "zip_writer_test_util.h"

using testenv::WalkedItem;
using writertest::WriterTest;

namespace {

constexpr int64_t kOld = 1262347200;  // 2010-01-01 12:00 UTC
constexpr int64_t kNew = 1577880000;  // 2020-01-01 12:00 UTC

const WalkedItem* find(const std::vector<WalkedItem>& items, const std::string& name) {
  for (const auto& i : items)
    if (i.name == name) return &i;
  return nullptr;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

/// Version made by and needed of @p name, read from the central directory of @p archive.
std::pair<uint16_t, uint16_t> versions(const std::vector<uint8_t>& archive, const std::string& name) {
  for (size_t at = 0; at + 46 <= archive.size(); ++at) {
    if (ostrana::zip::get_le32(archive.data() + at) != ostrana::zip::kCentralHeaderSignature) continue;
    size_t n = le16(archive, at + 28);
    if (std::string(archive.begin() + at + 46, archive.begin() + at + 46 + n) == name)
      return {le16(archive, at + 4), le16(archive, at + 6)};
  }
  return {0, 0};
}

using WriterHeaders = WriterTest;

TEST_F(WriterHeaders, ValuesFollowTheWritersRules) {
  put("t/empty.txt", "");
  put("t/packed.zip", std::string(4000, 'z'));
  put("t/text.txt", std::string(3000, 'a') + "tail");
  put("t/caf\xC3\xA9.txt", "latin name");
  put("t/\xE6\x97\xA5.txt", "utf-8 name");
  put("t/raw\xFF.txt", "not utf-8");
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "t/*");
  cmd.compFactor = 1;
  ASSERT_EQ(0, run(cmd));
  auto items = entries();
  ASSERT_EQ(7u, items.size());  // the folder "t/" and six files
  const WalkedItem* folder = find(items, "t/");
  ASSERT_NE(nullptr, folder);
  EXPECT_EQ(0, folder->method);

  // Empty files and stored suffixes are stored; level 1 marks flag bit 2.
  EXPECT_EQ(0, find(items, "t/empty.txt")->method);
  EXPECT_EQ(0, find(items, "t/packed.zip")->method);
  const WalkedItem* text = find(items, "t/text.txt");
  EXPECT_EQ(8, text->method);
  EXPECT_EQ(0x0004, text->flags);
  EXPECT_EQ(ostrana::crc32(0, reinterpret_cast<const uint8_t*>((std::string(3000, 'a') + "tail").data()), 3004),
            text->crc32);

  // Every name that is not ASCII is stored in UTF-8 with flag bit 11 and no
  // 0x7075 block; a name that is not UTF-8 at all keeps its bytes, unflagged.
  for (const char* name : {"t/caf\xC3\xA9.txt", "t/\xE6\x97\xA5.txt", "t/raw\xFF.txt", "t/text.txt"}) {
    const WalkedItem* item = find(items, name);
    ASSERT_NE(nullptr, item) << name;
    const bool flagged = std::string(name).find_first_of("\xC3\xE6") != std::string::npos;
    EXPECT_EQ(flagged ? 0x0800 : 0, item->flags & 0x0800) << name;
    EXPECT_TRUE(item->extra_block(0x7075).empty()) << name;
    // Made on Unix: the 0x5455 block holds the file's modification time.
    auto stamp = item->extra_block(0x5455);
    ASSERT_EQ(9u, stamp.size()) << name;
    EXPECT_EQ(1, stamp[4]);
    platform::FileInfo info;
    ASSERT_EQ(0, platform::file_info(name, &info));
    EXPECT_EQ(static_cast<uint32_t>(info.mtime), ostrana::zip::get_le32(stamp.data() + 5));
  }

  auto archive = bytes("a.zip");
  EXPECT_EQ(std::make_pair(uint16_t{0x0314}, uint16_t{10}), versions(archive, "t/empty.txt"));
  EXPECT_EQ(std::make_pair(uint16_t{0x0314}, uint16_t{20}), versions(archive, "t/text.txt"));

  // Level 9 marks bit 1 and compresses the stored suffixes too; Deflate64
  // needs version 2.1; factor 0 stores everything.
  std::remove("a.zip");
  cmd.compFactor = 9;
  ASSERT_EQ(0, run(cmd));
  items = entries();
  EXPECT_EQ(0x0002, find(items, "t/text.txt")->flags);
  EXPECT_EQ(8, find(items, "t/packed.zip")->method);
  std::remove("a.zip");
  cmd.compFactor = 19;
  ASSERT_EQ(0, run(cmd));
  EXPECT_EQ(9, find(entries(), "t/text.txt")->method);
  EXPECT_EQ(std::make_pair(uint16_t{0x0315}, uint16_t{21}), versions(bytes("a.zip"), "t/text.txt"));
  std::remove("a.zip");
  cmd.compFactor = 0;
  ASSERT_EQ(0, run(cmd));
  const std::vector<uint8_t> without_zip64 = bytes("a.zip");
  std::remove("a.zip");
  cmd.LargeZIPFilesFlag = 1;
  ASSERT_EQ(0, run(cmd));
  for (const auto& i : entries()) EXPECT_EQ(0, i.method) << i.name;
  // Zip64 allowed but nowhere needed: the same bytes as without it.
  EXPECT_EQ(std::make_pair(uint16_t{0x0314}, uint16_t{10}), versions(bytes("a.zip"), "t/text.txt"));
  EXPECT_EQ(without_zip64, bytes("a.zip"));
  EXPECT_TRUE(temp_files().empty());
}

TEST_F(WriterHeaders, ArchivePathRulesAndMaskedAttributes) {
  // An archive reached through a symbolic link is updated where it lies.
  put("real/x.txt", "x");
  ASSERT_EQ(0, symlink("real/target.zip", "link.zip"));
  ZIPCMDSTRUCT via_link = record(ZIP_ADD, "real/x.txt");
  via_link.lpszZIPFile = "link.zip";
  ASSERT_EQ(0, run(via_link));
  ASSERT_EQ(0, run(via_link));
  char target[256] = {};
  ASSERT_GT(readlink("link.zip", target, sizeof target - 1), 0);
  EXPECT_STREQ("real/target.zip", target);
  EXPECT_EQ((std::vector<std::string>{"real/", "real/x.txt"}), names("real/target.zip"));
  // "-" names no archive.
  via_link.lpszZIPFile = "-";
  EXPECT_EQ(OZ_MISSING_ARCHIVE, run(via_link));

  put("ro.txt", "read only");
  ASSERT_EQ(0, chmod("ro.txt", 0444));
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "ro.txt");
  cmd.lpszZIPFile = "plain";
  ASSERT_EQ(0, run(cmd));
  auto archive = bytes("plain.zip");
  // External attributes: the Unix mode above, read-only + archive (0x21)
  // and nothing above 0x37 in the DOS byte.
  for (size_t at = 0; at + 46 <= archive.size(); ++at) {
    if (ostrana::zip::get_le32(archive.data() + at) == ostrana::zip::kCentralHeaderSignature) {
      EXPECT_EQ(0100444u << 16 | 0x21u, ostrana::zip::get_le32(archive.data() + at + 38));
    }
  }
}

TEST(ZipHeaders, TheZip64BlockIsMadeAnewWithExactlyTheValuesThatDoNotFit) {
  // An old entry copied to beyond 4 GiB: its old 0x0001 block goes, other
  // blocks (and bytes that form no block) stay, the offset moves into a new block.
  const testzip::Bytes old_extra = {0x01, 0x00, 0x08, 0x00, 1, 2, 3, 4, 5, 6, 7, 8,  // an old Zip64 block
                                    0x55, 0x54, 0x01, 0x00, 0x03,                    // a time block
                                    0xAA};                                           // a stray byte
  ostrana::CentralRecord r;
  r.extra = ostrana::extra_without_zip64(old_extra.data(), old_extra.size());
  EXPECT_EQ((std::vector<uint8_t>{0x55, 0x54, 0x01, 0x00, 0x03, 0xAA}), r.extra);
  r.name = "far.txt";
  r.header.version_needed = 20;
  r.compressed_size = 100;
  r.uncompressed_size = 0xFFFFFFFFull;  // exactly all ones does not fit either
  r.local_offset = 5000000000ull;
  std::vector<uint8_t> out;
  ASSERT_TRUE(ostrana::central_header_bytes(r, &out));
  ostrana::zip::CentralHeader h;
  ASSERT_TRUE(ostrana::zip::parse_central_header(out.data(), &h));
  EXPECT_EQ(45, h.version_needed);
  EXPECT_EQ(100u, h.compressed_size);
  EXPECT_EQ(0xFFFFFFFFu, h.uncompressed_size);
  EXPECT_EQ(0xFFFFFFFFu, h.local_header_offset);
  ASSERT_EQ(4u + 16 + 6, h.extra_nbytes);
  const uint8_t* block = out.data() + 46 + 7;
  EXPECT_EQ(0x0001, le16(out, 46 + 7));
  EXPECT_EQ(16, le16(out, 46 + 9));
  EXPECT_EQ(0xFFFFFFFFull, ostrana::zip::get_le64(block + 4));  // uncompressed, then the offset
  EXPECT_EQ(5000000000ull, ostrana::zip::get_le64(block + 12));
}

// ---- update, freshen, delete ---------------------------------------------------------

using WriterActions = WriterTest;

TEST_F(WriterActions, UpdateAndFreshenReplaceOnlyWithNewerFiles) {
  put("d/a.txt", "first a", kNew);
  put("d/b.txt", "first b", kNew);
  ASSERT_EQ(0, zip(ZIP_ADD, "d/*.txt"));  // with the folder entry "d/"
  const auto before = bytes("a.zip");

  // An older source leaves its entry as it was, and update returns 0.
  put("d/a.txt", "older a", kOld);
  EXPECT_EQ(0, zip(ZIP_UPDATE, "d/*.txt"));
  EXPECT_EQ(before, bytes("a.zip"));
  EXPECT_EQ(0, zip(ZIP_FRESHEN, "d/*.txt"));
  EXPECT_EQ(before, bytes("a.zip"));

  // Freshen never adds, even a file the items name.
  put("d/c.txt", "new c", kNew);
  EXPECT_EQ(0, zip(ZIP_FRESHEN, "d/*.txt"));
  EXPECT_EQ((std::vector<std::string>{"d/", "d/a.txt", "d/b.txt"}), names());

  // A newer file replaces its entry (freshen without items looks at all of them).
  put("d/b.txt", "second b, longer", kNew + 3600);
  EXPECT_EQ(0, zip(ZIP_FRESHEN, ""));
  auto items = entries();
  EXPECT_EQ(16u, find(items, "d/b.txt")->uncompressed_size);
  EXPECT_EQ(7u, find(items, "d/a.txt")->uncompressed_size);

  // Update adds the new file; add replaces regardless of dates.
  EXPECT_EQ(0, zip(ZIP_UPDATE, "d/*.txt"));
  EXPECT_EQ((std::vector<std::string>{"d/", "d/a.txt", "d/b.txt", "d/c.txt"}), names());
  EXPECT_EQ(0, zip(ZIP_ADD, "d/a.txt"));
  EXPECT_EQ(7u, find(entries(), "d/a.txt")->uncompressed_size);
  EXPECT_EQ(ostrana::crc32(0, reinterpret_cast<const uint8_t*>("older a"), 7), find(entries(), "d/a.txt")->crc32);
}

TEST_F(WriterActions, UpdateComparesTrueTimesAcrossTimeZones) {
  // Made in Los Angeles, updated in Tokyo: the DOS time of the entry reads 17
  // hours earlier there, yet the file is not newer than its entry.
  const char* old_tz = getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  auto zone = [](const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  };
  put("z/same.txt", "unchanged", kNew);
  zone("America/Los_Angeles");
  ASSERT_EQ(0, zip(ZIP_ADD, "z/same.txt"));
  const auto before = bytes("a.zip");
  zone("Asia/Tokyo");
  EXPECT_EQ(0, zip(ZIP_UPDATE, "z/same.txt"));
  EXPECT_EQ(before, bytes("a.zip"));
  put("z/same.txt", "changed a second later", kNew + 1);
  EXPECT_EQ(0, zip(ZIP_UPDATE, "z/same.txt"));
  EXPECT_NE(before, bytes("a.zip"));
  if (old_tz) zone(saved.c_str());
  else unsetenv("TZ"), tzset();
}

TEST_F(WriterActions, DeleteRemovesExactlyTheMatchingEntries) {
  put("k/one.txt", "1");
  put("k/two.txt", "2");
  put("k/three.dat", "3");
  put("k/sub/four.txt", "4");
  ZIPCMDSTRUCT add = record(ZIP_ADD, "k/*");
  add.recurseFlag = 1;
  add.noDirectoryEntriesFlag = 1;
  ASSERT_EQ(0, run(add));
  ASSERT_EQ(4u, names().size());

  // The only matched entry with recursion: refused before anything is read.
  ZIPCMDSTRUCT del = record(ZIP_DELETE, "k/three.dat");
  del.recurseFlag = 1;
  del.lpszZIPFile = "a.zip";
  EXPECT_EQ(OZ_BAD_PARAMETERS, run(del));
  EXPECT_EQ(4u, names().size());

  del = record(ZIP_DELETE, "*.txt");
  del.wZipSubOptions |= ZIP_OPT_ACTIVITY_LOG;
  EXPECT_EQ(0, run(del));
  EXPECT_EQ((std::vector<std::string>{"k/three.dat"}), names());

  // Nothing left to match: a warning and "Nothing to do!".
  EXPECT_EQ(OZ_NOTHING_TO_DO, zip(ZIP_DELETE, "nothing.here"));
  ASSERT_EQ(1u, shown(OSTRANA_DISPLAY_WARNING).size());
  EXPECT_EQ("name not matched: nothing.here", shown(OSTRANA_DISPLAY_WARNING)[0]);
}

TEST_F(WriterActions, MoveDeletesStoredFilesAndTheFoldersTheyLeaveEmpty) {
  put("m/keep/other.dat", "stays");
  put("m/keep/x.txt", "x");
  put("m/gone/deeper/y.txt", "y");
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "m/*.txt");
  cmd.recurseFlag = 1;
  cmd.noDirectoryEntriesFlag = 1;
  cmd.deleteOriginalFlag = 1;
  cmd.oldAsLatestFlag = 1;
  ASSERT_EQ(0, run(cmd));
  EXPECT_EQ((std::vector<std::string>{"m/gone/deeper/y.txt", "m/keep/x.txt"}), names());
  platform::FileInfo info;
  EXPECT_NE(0, platform::file_info("m/keep/x.txt", &info));
  EXPECT_EQ(0, platform::file_info("m/keep/other.dat", &info));  // not selected: stays, and so does its folder
  EXPECT_NE(0, platform::file_info("m/gone/deeper", &info));     // emptied: removed
  // The archive is as old as its newest entry.
  ASSERT_EQ(0, platform::file_info("a.zip", &info));
  uint32_t newest = 0;
  for (const auto& e : entries()) newest = std::max(newest, uint32_t(e.dos_date) << 16 | e.dos_time);
  EXPECT_EQ(newest, info.dos_datetime);
}

// ---- the existing archive ------------------------------------------------------------------

using WriterExisting = WriterTest;

TEST_F(WriterExisting, PreambleIsKeptAndGarbageAfterTheCommentIsIgnored) {
  testzip::Archive a;
  a.preamble = testzip::Bytes(100, 0xEE);
  a.entries.push_back(testzip::stored_entry("old.txt", "old data"));
  a.comment = "kept comment";
  a.trailing = {'j', 'u', 'n', 'k'};
  testenv::write_file("a.zip", a.build());
  put("new.txt", "new data");
  ASSERT_EQ(0, zip(ZIP_ADD, "new.txt"));
  auto warnings = shown(OSTRANA_DISPLAY_WARNING);
  ASSERT_EQ(2u, warnings.size());
  EXPECT_EQ("a.zip has a preamble of 100 bytes", warnings[0]);
  EXPECT_EQ("garbage at end of zip file ignored", warnings[1]);
  auto out = bytes("a.zip");
  EXPECT_EQ(testzip::Bytes(100, 0xEE), testzip::Bytes(out.begin(), out.begin() + 100));
  EXPECT_EQ((std::vector<std::string>{"old.txt", "new.txt"}), names());
  std::string tail(out.end() - 12, out.end());
  EXPECT_EQ("kept comment", tail);  // the garbage is gone, the comment kept
}

struct BrokenArchive {
  const char* what;
  testzip::Archive archive;
  int code;
  const char* detail;  ///< expected in the report
};

std::vector<BrokenArchive> broken_archives() {
  using testzip::stored_entry;
  std::vector<BrokenArchive> out;
  {
    BrokenArchive b{"names differ", {}, OZ_BAD_STRUCTURE, "names differ in local and cnetral hdrs for x.txt"};
    b.archive.entries.push_back(stored_entry("x.txt"));
    b.archive.entries[0].local_name = "y.txt";
    out.push_back(b);
  }
  {
    BrokenArchive b{"zero-length name", {}, OZ_BAD_STRUCTURE, "zero-length name for entry #2"};
    b.archive.entries = {stored_entry("x.txt"), stored_entry("y.txt")};
    b.archive.entries[1].local_name = "";
    out.push_back(b);
  }
  {
    BrokenArchive b{"wrong count", {}, OZ_BAD_STRUCTURE, "wrong count in end of central dir"};
    b.archive.entries = {stored_entry("x.txt"), stored_entry("y.txt")};
    b.archive.end.entries_total = 3;
    b.archive.end.entries_this_disk = 3;
    out.push_back(b);
  }
  {
    BrokenArchive b{"directory start", {}, OZ_BAD_STRUCTURE, "central dir start is incorrect"};
    b.archive.entries = {stored_entry("x.txt")};
    b.archive.end.directory_offset = 3;
    out.push_back(b);
  }
  {
    BrokenArchive b{"descriptor missing", {}, OZ_BAD_STRUCTURE, "extended local hdr not found for x.txt"};
    b.archive.entries = {stored_entry("x.txt")};
    b.archive.entries[0].flags = 0x0008;  // sizes in the local header, yet no descriptor after the data
    out.push_back(b);
  }
  return out;
}

TEST_F(WriterExisting, ChecksRefuseInconsistentArchivesWithTheirText) {
  put("new.txt", "n");
  for (const BrokenArchive& b : broken_archives()) {
    SCOPED_TRACE(b.what);
    testzip::Bytes built = b.archive.build();
    if (std::string(b.what) == "descriptor missing") {
      // The builder zeroes the local sizes of descriptor entries; put them back.
      built[18] = 4;
      built[22] = 4;
    }
    testenv::write_file("a.zip", built);
    EXPECT_EQ(b.code, zip(ZIP_ADD, "new.txt"));
    auto reports = shown(OSTRANA_DISPLAY_ERROR);
    ASSERT_EQ(1u, reports.size());
    EXPECT_NE(std::string::npos, reports[0].find(b.detail)) << reports[0];
    EXPECT_EQ(built, bytes("a.zip"));
    EXPECT_TRUE(temp_files().empty());
  }
}

TEST_F(WriterExisting, WarningsThatDoNotStopTheUpdate) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("x.txt"));
  a.end.directory_nbytes = 999;     // "central dir size is incorrect"
  a.end.entries_this_disk = 7;      // "multiple disk information ignored"
  testenv::write_file("a.zip", a.build());
  put("new.txt", "n");
  EXPECT_EQ(0, zip(ZIP_ADD, "new.txt"));
  EXPECT_EQ((std::vector<std::string>{"multiple disk information ignored", "central dir size is incorrect"}),
            shown(OSTRANA_DISPLAY_WARNING));
  EXPECT_EQ((std::vector<std::string>{"x.txt", "new.txt"}), names());
}

TEST_F(WriterExisting, RepairRebuildsADirectoryThatWasCutOff) {
  put("r/one.txt", std::string(5000, '1'));
  put("r/two.txt", std::string(7000, '2'));
  ASSERT_EQ(0, zip(ZIP_ADD, "r/*.txt"));
  auto whole = bytes("a.zip");
  testenv::write_file("a.zip", testzip::Bytes(whole.begin(), whole.end() - 40));  // into the directory
  EXPECT_EQ(OZ_READ_FAILED, zip(ZIP_ADD, ""));  // no end record: not an archive one can change
  for (int32_t harder : {0, 1}) {
    testenv::write_file("a.zip", testzip::Bytes(whole.begin(), whole.end() - 40));
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "");
    cmd.fixFlag = 1;
    cmd.fixHarderFlag = harder;
    cmd.growExistingFlag = 1;  // nothing to append to: the archive is rebuilt all the same
    ASSERT_EQ(0, run(cmd)) << harder;
    auto items = entries();
    ASSERT_EQ(3u, items.size());  // the folder entry and both files
    EXPECT_EQ(7000u, find(items, "r/two.txt")->uncompressed_size);
  }
}

// ---- failures and the old archive ------------------------------------------------------------

class WriterFailures : public WriterTest {
 protected:
  void TearDown() override {
    platform::faults::disarm();
    WriterTest::TearDown();
  }
};

TEST_F(WriterFailures, AFullDiskLeavesTheOldArchiveAndNoTemporaryFile) {
  std::string noise;
  for (uint32_t x = 1; noise.size() < 700000; x = x * 1103515245 + 12345) noise += static_cast<char>(x >> 23);
  put("a.txt", noise);
  ZIPCMDSTRUCT first = record(ZIP_ADD, "a.txt");
  first.compFactor = 0;
  ASSERT_EQ(0, run(first));
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "a.txt b.txt");
  cmd.compFactor = 0;
  const auto before = bytes("a.zip");
  put("b.txt", noise.substr(1000));
  // Every write of the run fails once in turn (the copied entry, the new
  // one, the directory), until a run needs no more writes than that.
  long nth = 1;
  for (;; ++nth) {
    platform::faults::arm(platform::faults::Op::kWrite, nth, ENOSPC);
    int rc = run(cmd);
    const bool fired = platform::faults::fired();
    platform::faults::disarm();
    if (!fired) {
      EXPECT_EQ(0, rc);
      break;
    }
    EXPECT_EQ(OZ_TEMP_FAILED, rc) << nth;
    EXPECT_EQ(before, bytes("a.zip")) << nth;
    EXPECT_TRUE(temp_files().empty()) << nth;
  }
  EXPECT_GE(nth, 4);
  platform::faults::arm(platform::faults::Op::kSync, 1, EIO);
  put("b.txt", "changed");
  const auto now = bytes("a.zip");
  EXPECT_EQ(OZ_TEMP_FAILED, run(cmd));
  EXPECT_EQ(now, bytes("a.zip"));
}

TEST_F(WriterFailures, AnotherFileSystemIsReachedByACompleteCopy) {
  put("a.txt", "a");
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  put("b.txt", "b");
  platform::faults::arm(platform::faults::Op::kRename, 1, EXDEV);
  EXPECT_EQ(0, zip(ZIP_ADD, "b.txt"));
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), names());
  EXPECT_TRUE(temp_files().empty());

  // The copy cannot be put in place: the old archive stays, the new one is
  // left in the temporary file and the report says so.
  const auto before = bytes("a.zip");
  put("c.txt", "c");
  platform::faults::arm(platform::faults::Op::kRename, 1, EACCES);
  EXPECT_EQ(OZ_CREATE_FAILED, zip(ZIP_ADD, "c.txt"));
  EXPECT_EQ(before, bytes("a.zip"));
  auto left = temp_files();
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ("new zip file left as: " + left[0], shown(OSTRANA_DISPLAY_WARNING).at(0));
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).at(0).find("was replacing the original zip file"));
  EXPECT_EQ(3u, testenv::walk_zip(bytes(left[0])).size());
}

TEST_F(WriterFailures, AnArchiveBeyondFourGibWithoutZip64SaysItNeedsZip64) {
  put("a.txt", "a");
  {
    platform::File big;
    ASSERT_EQ(0, big.open("big.zip", platform::File::Mode::kCreateExclusive, 0644));
    ASSERT_EQ(0, big.truncate(uint64_t{1} << 32));  // sparse: no disk to speak of
  }
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "a.txt");
  cmd.lpszZIPFile = "big.zip";
  EXPECT_EQ(OZ_INVALID_OR_MEMORY, run(cmd));
  ASSERT_FALSE(shown(OSTRANA_DISPLAY_ERROR).empty());
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).back().find("the archive needs Zip64"));
  std::remove("big.zip");
}

TEST_F(WriterFailures, GrowAppendsInPlaceAndAFailedAppendPutsTheDirectoryBack) {
  put("a.txt", std::string(2000, 'a'));
  ASSERT_EQ(0, zip(ZIP_ADD, "a.txt"));
  const auto before = bytes("a.zip");
  put("b.txt", "b");
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "b.txt");
  cmd.growExistingFlag = 1;
  // Syncs in order: the rollback file, its folder, then the appended archive.
  // Without a rollback file on the disk nothing of the archive is touched;
  // a failure after that puts the old directory back and removes it.
  for (long nth : {1, 2, 3}) {
    platform::faults::arm(platform::faults::Op::kSync, nth, EIO);
    EXPECT_EQ(nth == 3 ? OZ_WRITE_FAILED : OZ_TEMP_FAILED, run(cmd)) << nth;
    platform::faults::disarm();
    EXPECT_EQ(before, bytes("a.zip")) << nth;
    EXPECT_FALSE(writertest::exists("a.zip.ostrana-rollback")) << nth;
  }

  ASSERT_EQ(0, run(cmd));
  auto after = bytes("a.zip");
  auto items = entries();
  ASSERT_EQ(2u, items.size());
  // The old entry's bytes were not moved: the new archive begins with them.
  const size_t second = items[1].data_offset - 30 - 5 - items[1].local_extra.size();
  EXPECT_EQ(testzip::Bytes(before.begin(), before.begin() + second), testzip::Bytes(after.begin(), after.begin() + second));
  EXPECT_TRUE(temp_files().empty());
}

TEST_F(WriterFailures, TemporaryNamesFollowTheThreadAndRunOutAfter26) {
  EXPECT_EQ("@@A0c00010", ostrana::temp_archive_name(10, 'c'));
  EXPECT_EQ("@@01a00037", ostrana::temp_archive_name(37, 'a'));
  EXPECT_EQ("@@O6b23456", ostrana::temp_archive_name(123456, 'b'));  // 24 and 3336 % 37 = 6
  EXPECT_EQ("@@__z01368", ostrana::temp_archive_name(36 + 37 * 36, 'z'));
  // Names are used where the file system cannot make a file without one.
  platform::allow_unnamed_files(false);
  const uint64_t tid = platform::current_thread_id();
  for (char c = 'a'; c <= 'z'; ++c) put(ostrana::temp_archive_name(tid, c), "");
  // Unlocked, they would be taken for leftovers of killed runs and removed.
  std::vector<platform::File> held(26);
  for (char c = 'a'; c <= 'z'; ++c) {
    ASSERT_EQ(0, held[c - 'a'].open(ostrana::temp_archive_name(tid, c), platform::File::Mode::kRead));
    ASSERT_EQ(0, platform::lock_open_file(held[c - 'a']));
  }
  put("x.txt", "x");
  EXPECT_EQ(OZ_OUT_OF_MEMORY, zip(ZIP_ADD, "x.txt"));
  platform::allow_unnamed_files(true);
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).at(0).find("allocating temp filename"));
}

}  // namespace
