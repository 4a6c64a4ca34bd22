/* tests/engine/unzip/unzip_functions_test.cpp - functions 1 to 7 through the unzip entry.
 *
 * Risks: the item walk of function 2 losing its place between calls, or
 * continuing on a stale directory after the archive changed; a listing that
 * shows an AES item as method 99; names and dates filled wrongly into the
 * caller's records; a comment copied beyond the caller's buffer; counts that
 * disagree with the walk when long names are hidden.
 */
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include "engine/unzip/unzip_state.h"
#include "engine_callbacks.h"
#include "ostrana.h"
#include "peer_run.h"
#include "test_env.h"
#include "zip_builder.h"

using enginetest::BoxRecorder;
using enginetest::MessageRecorder;

namespace {

// A field of a packed record, by value (gtest binds references, which a packed
// field cannot give).
template <typename T>
T v(T field) {
  return field;
}

testzip::Entry stored(const std::string& name, const std::string& text = "x") {
  testzip::Entry e;
  e.name = name;
  e.data.assign(text.begin(), text.end());
  return e;
}

class UnzipFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testenv::make_temp_dir("unzip-functions");
    OstranaUnzipStateCreate();  // a fresh walk for every test
  }

  std::string write(const std::string& name, const testzip::Archive& a) {
    std::string path = dir + "/" + name;
    testenv::write_file(path, a.build());
    return path;
  }

  UNZIPCMDSTRUCT record(const std::string& path, int function) {
    UNZIPCMDSTRUCT c;
    std::memset(&c, 0, sizeof c);
    c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    c.Function = function;
    paths.push_back(path);
    c.lpszZIPFile = paths.back().c_str();
    c.index = -1;
    c.lpMessageDisplay = MessageRecorder::proc;
    c.lpMessageDisplayData = &messages;
    return c;
  }

  int count(const std::string& path, uint16_t options = 0) {
    UNZIPCMDSTRUCT c = record(path, UNZIP_COUNT_ITEMS);
    c.wUnzipSubOptions = options;
    int rc = OstranaUnzip(&c);
    return rc == 0 ? c.returnCount : -rc;
  }

  // Function 2 with the extended record; @p rc_ret gets the code.
  pZipInfoEx next_ex(const std::string& path, int* rc_ret, uint16_t options = 0) {
    pZipInfoEx info;
    std::memset(&info, 0, sizeof info);
    info.lCallerWord = 0x77;
    UNZIPCMDSTRUCT c = record(path, UNZIP_NEXT_ITEM_INFO);
    c.pZipInfoEx = &info;
    c.wUnzipSubOptions = options;
    c.quietFlag = 1;
    *rc_ret = OstranaUnzip(&c);
    return info;
  }

  std::string last_report() const {
    auto shown = messages.shown();
    return shown.empty() ? "" : shown.back().text;
  }

  std::string dir;
  std::vector<std::string> paths{};
  MessageRecorder messages;
  BoxRecorder box;
};

TEST_F(UnzipFunctions, EmptyArchiveCountsZeroAndHasNoNextItem) {
  std::string path = dir + "/empty.zip";
  testenv::write_file(path, testzip::empty_archive());
  EXPECT_EQ(0, count(path));
  zInfo info;
  UNZIPCMDSTRUCT c = record(path, UNZIP_NEXT_ITEM_INFO);
  c.zInfo = &info;
  EXPECT_EQ(OU_UNEXPECTED_EOF, OstranaUnzip(&c));
  EXPECT_EQ("Ostrana Secure UnZip Error: Unexpected end of zip file (No more items found)\n", last_report());
}

TEST_F(UnzipFunctions, NextItemWalksAcrossCallsAndCountingStartsAgain) {
  testzip::Archive a;
  a.entries = {stored("one.txt"), stored("two.txt"), stored("three.txt")};
  std::string path = write("walk.zip", a);
  ASSERT_EQ(3, count(path));
  int rc;
  EXPECT_EQ("one.txt", std::string(next_ex(path, &rc).szFileName));
  EXPECT_EQ("two.txt", std::string(next_ex(path, &rc).szFileName));
  // Counting starts the walk again.
  ASSERT_EQ(3, count(path));
  pZipInfoEx first = next_ex(path, &rc);
  EXPECT_EQ(0, rc);
  EXPECT_EQ("one.txt", std::string(first.szFileName));
  EXPECT_EQ(0x77, v(first.lCallerWord)) << "the caller's first word is never written";
  EXPECT_EQ(0, v(first.lIndex));
  next_ex(path, &rc);
  pZipInfoEx third = next_ex(path, &rc);
  EXPECT_EQ(2, v(third.lIndex));
  next_ex(path, &rc);
  EXPECT_EQ(OU_UNEXPECTED_EOF, rc);
}

TEST_F(UnzipFunctions, ChangedArchiveIsReadAgain) {
  testzip::Archive a;
  a.entries = {stored("old1"), stored("old2")};
  std::string path = write("changing.zip", a);
  int rc;
  EXPECT_EQ("old1", std::string(next_ex(path, &rc).szFileName));
  a.entries = {stored("new1-longer-name"), stored("new2"), stored("new3")};
  write("changing.zip", a);  // another size: another stamp
  EXPECT_EQ("new1-longer-name", std::string(next_ex(path, &rc).szFileName)) << "a changed archive starts again";
  // Another archive, then back: each is loaded afresh.
  testzip::Archive b;
  b.entries = {stored("b1")};
  std::string other = write("other.zip", b);
  EXPECT_EQ("b1", std::string(next_ex(other, &rc).szFileName));
  EXPECT_EQ("new1-longer-name", std::string(next_ex(path, &rc).szFileName));
}

TEST_F(UnzipFunctions, ExactlyOneInformationRecordIsRequired) {
  testzip::Archive a;
  a.entries = {stored("a")};
  std::string path = write("a.zip", a);
  zInfo z;
  pZipInfoEx x;
  for (int both = 0; both < 2; ++both) {
    UNZIPCMDSTRUCT c = record(path, UNZIP_NEXT_ITEM_INFO);
    c.zInfo = both ? &z : nullptr;
    c.pZipInfoEx = both ? &x : nullptr;
    EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&c));
    EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (UnZip command structure not provided)\n",
              last_report());
  }
}

TEST_F(UnzipFunctions, RecordsCarryEveryFieldOfTheItem) {
  testzip::Archive a;
  testzip::Entry aes = stored("secret.bin", "0123456789abcdefghij");
  aes.method = 99;
  aes.flags = 1;
  aes.central_extra = testzip::aes_extra(1, 3, 8);
  aes.local_extra = aes.central_extra;
  aes.uncompressed_size = 1000;
  aes.dos_date = (30 << 9) | (6 << 5) | 15;  // year field 30: 2010
  aes.dos_time = (12 << 11) | (30 << 5) | 7;  // 12:30:14
  aes.external_attributes = 0x21;
  aes.version_made_by = 0x0314;
  aes.version_needed = 51;
  testzip::Entry folder = stored("docs/", "");
  folder.external_attributes = 0x10;
  a.entries = {aes, folder};
  std::string path = write("aes.zip", a);

  int rc;
  pZipInfoEx x = next_ex(path, &rc);
  ASSERT_EQ(0, rc);
  EXPECT_EQ(8, v(x.wMethod)) << "an AES item shows its real method";
  EXPECT_EQ(OSTRANA_ENC_AE1 | 3, v(x.lEncryptionClass));
  EXPECT_EQ(1000u, v(x.qwUncompressedSize));
  EXPECT_EQ(20u, v(x.qwCompressedSize));
  EXPECT_EQ(0x21 | OSTRANA_ATTR_ENCRYPTED, v(x.lAttributes));
  EXPECT_STREQ("06/15/2010  12:30:14", x.szDate);
  EXPECT_EQ(14, v(x.lSeconds));
  EXPECT_EQ(0x0314 | (51 << 16), v(x.lVersions));
  EXPECT_EQ(0, v(x.wIsFolder));

  zInfo z;
  std::memset(&z, 0xEE, sizeof z);
  UNZIPCMDSTRUCT c = record(path, UNZIP_ITEM_INFO);
  c.index = 0;
  c.zInfo = &z;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_STREQ("06/15/10  12:30", z.szDate);
  EXPECT_EQ(8, v(z.wMethod));
  EXPECT_STREQ("secret.bin", z.szFileName);
  c.index = 1;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(1, v(z.wIsFolder));
  EXPECT_EQ(1, v(z.wIndex));
}

TEST_F(UnzipFunctions, LongNamesAreCutInTheShortRecordOnly) {
  testzip::Archive a;
  std::string name(300, 'n');
  a.entries = {stored(name)};
  std::string path = write("long.zip", a);
  zInfo z;
  UNZIPCMDSTRUCT c = record(path, UNZIP_ITEM_INFO);
  c.index = 0;
  c.zInfo = &z;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(std::string(259, 'n'), std::string(z.szFileName));
  int rc;
  ASSERT_EQ(1, count(path));
  EXPECT_EQ(name, std::string(next_ex(path, &rc).szFileName));
}

TEST_F(UnzipFunctions, EightDotThreeOptions) {
  testzip::Archive a;
  a.entries = {stored("My Document.txt"), stored("SHORT.TXT"), stored("docs/readme.text")};
  std::string path = write("names.zip", a);
  EXPECT_EQ(3, count(path));
  EXPECT_EQ(1, count(path, UNZIP_OPT_SKIP_LONG_NAMES));
  int rc;
  pZipInfoEx x = next_ex(path, &rc, UNZIP_OPT_SHORT_NAMES);
  EXPECT_STREQ("MyDocume.txt", x.szFileName);
  EXPECT_TRUE(v(x.lAttributes) & OSTRANA_ATTR_LONG_NAME);
  // Bit 4 passes long names over in the walk too.
  ASSERT_EQ(1, count(path, UNZIP_OPT_SKIP_LONG_NAMES));
  x = next_ex(path, &rc, UNZIP_OPT_SKIP_LONG_NAMES);
  EXPECT_STREQ("SHORT.TXT", x.szFileName);
  next_ex(path, &rc, UNZIP_OPT_SKIP_LONG_NAMES);
  EXPECT_EQ(OU_UNEXPECTED_EOF, rc);
  // An index that names a long name, with bit 4.
  pZipInfoEx y;
  UNZIPCMDSTRUCT c = record(path, UNZIP_ITEM_INFO);
  c.index = 0;
  c.pZipInfoEx = &y;
  c.wUnzipSubOptions = UNZIP_OPT_SKIP_LONG_NAMES;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&c));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Index references Long File Name.)\n", last_report());
}

TEST_F(UnzipFunctions, ItemByIndex) {
  testzip::Archive a;
  a.entries = {stored("a"), stored("b"), stored("c")};
  std::string path = write("abc.zip", a);
  pZipInfoEx x;
  UNZIPCMDSTRUCT c = record(path, UNZIP_ITEM_INFO);
  c.pZipInfoEx = &x;
  c.index = 2;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_STREQ("c", x.szFileName);
  for (int bad : {3, -1, 1000000}) {
    c.index = bad;
    EXPECT_EQ(OU_INDEX_OUT_OF_BOUNDS, OstranaUnzip(&c)) << bad;
    EXPECT_EQ("Ostrana Secure UnZip Error: Index out of bounds (Specified index is out of range)\n", last_report());
  }
  // The walk continues after the item by number.
  c.index = 0;
  ASSERT_EQ(0, OstranaUnzip(&c));
  int rc;
  EXPECT_STREQ("b", next_ex(path, &rc).szFileName);
}

TEST_F(UnzipFunctions, CountAndWalkMatches) {
  testzip::Archive a;
  a.entries = {stored("A.TXT"), stored("docs/"), stored("docs/B.TXT"), stored("docs/c.bin"), stored("AXYZ.TXT"),
               stored("my file.txt")};
  std::string path = write("match.zip", a);
  auto matches = [&](const char* filespec, int recurse) {
    UNZIPCMDSTRUCT c = record(path, UNZIP_COUNT_MATCHES);
    c.lpszFilespec = filespec;
    c.recurseFlag = recurse;
    int rc = OstranaUnzip(&c);
    return rc == 0 ? c.returnCount : -rc;
  };
  EXPECT_EQ(3, matches("*.TXT", 0));
  EXPECT_EQ(4, matches("*.txt", 1));
  // After the star nothing is compared: A*B.TXT takes A.TXT and AXYZ.TXT.
  EXPECT_EQ(3, matches("A*B.TXT \"my file.txt\"", 0));
  EXPECT_EQ(3, matches("*", 0)) << "no folder entry, nothing below a folder";
  EXPECT_EQ(4, matches("*.*", 0)) << "*.* takes the folder entry too";
  EXPECT_EQ(3, matches("docs/", 0));
  EXPECT_EQ(2, matches("docs\\*.bin", 1)) << "the file and the folder entry docs/ itself";
  EXPECT_EQ(-OU_SYNTAX, matches("\"unbalanced", 0));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Double Quotes mismatched.)\n", last_report());
  EXPECT_EQ(-OU_SYNTAX, matches("   ", 0));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Zip filename or filespec empty)\n", last_report());
  EXPECT_EQ(-OU_SYNTAX, matches(nullptr, 0));
  EXPECT_EQ("Ostrana Secure UnZip Error: Command syntax error (Zip filename or filespec not provided)\n",
            last_report());

  // Function 4 walks what function 3 counted.
  ASSERT_EQ(4, matches("*.txt", 1));
  std::vector<std::string> walked;
  for (;;) {
    zInfo z;
    UNZIPCMDSTRUCT c = record(path, UNZIP_NEXT_MATCH_INFO);
    c.lpszFilespec = "*.txt";
    c.recurseFlag = 1;
    c.zInfo = &z;
    c.quietFlag = 1;
    int rc = OstranaUnzip(&c);
    if (rc != 0) {
      EXPECT_EQ(OU_UNEXPECTED_EOF, rc);
      break;
    }
    walked.push_back(z.szFileName);
  }
  EXPECT_EQ((std::vector<std::string>{"A.TXT", "docs/B.TXT", "AXYZ.TXT", "my file.txt"}), walked);
}

TEST_F(UnzipFunctions, FreshenAndUpdateCountOnlyEligibleItems) {
  testzip::Archive a;
  a.entries = {stored("present.txt"), stored("missing.txt")};  // both dated 2010-06-15
  std::string path = write("fresh.zip", a);
  std::string dest = testenv::make_temp_dir("fresh-dest");
  testenv::write_file(dest + "/present.txt", {'o', 'l', 'd'});  // dated now: newer than the items
  UNZIPCMDSTRUCT c = record(path, UNZIP_COUNT_MATCHES);
  c.lpszFilespec = "*";
  c.lpszDestination = dest.c_str();
  c.freshenFlag = 1;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(0, c.returnCount) << "freshen: the existing file is newer, the missing one is passed over";
  c.freshenFlag = 0;
  c.updateFlag = 1;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(1, c.returnCount) << "update: only the missing file";
  // An existing file older than the item is eligible for both.
  struct timespec times[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
  utimensat(AT_FDCWD, (dest + "/present.txt").c_str(), times, 0);
  c.updateFlag = 0;
  c.freshenFlag = 1;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(1, c.returnCount);
}

TEST_F(UnzipFunctions, CommentLengthAndCopy) {
  testzip::Archive a;
  a.entries = {stored("a")};
  a.comment = "0123456789abcdefghijklmno";  // 25 bytes
  std::string path = write("comment.zip", a);
  UNZIPCMDSTRUCT c = record(path, UNZIP_COMMENT_SIZE);
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(25, c.returnCount);

  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  c = record(path, UNZIP_COMMENT);
  c.lpszReturnString = buffer;
  c.returnCount = 10;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(10, c.returnCount);
  EXPECT_STREQ("0123456789", buffer);
  EXPECT_EQ('#', buffer[11]) << "nothing beyond returnCount + 1 bytes";
  c.returnCount = 31;
  ASSERT_EQ(0, OstranaUnzip(&c));
  EXPECT_EQ(25, c.returnCount);
  EXPECT_STREQ("0123456789abcdefghijklmno", buffer);
  c.lpszReturnString = nullptr;
  EXPECT_EQ(OU_SYNTAX, OstranaUnzip(&c));
}

TEST_F(UnzipFunctions, CommentsAreReadAsUtf8OrCp437) {
  // A DOS comment ("Café" in CP437) comes out as UTF-8; a UTF-8 one as it is.
  for (const auto& [stored_text, shown] : {std::pair<std::string, std::string>{"Caf\x82", "Caf\xC3\xA9"},
                                           {"\xE4\xB8\x96\xE7\x95\x8C", "\xE4\xB8\x96\xE7\x95\x8C"}}) {
    testzip::Archive a;
    a.entries = {stored("a")};
    a.comment = stored_text;
    std::string path = write("texts.zip", a);
    UNZIPCMDSTRUCT c = record(path, UNZIP_COMMENT_SIZE);
    ASSERT_EQ(0, OstranaUnzip(&c));
    EXPECT_EQ(static_cast<int32_t>(shown.size()), c.returnCount);
    char buffer[32] = {};
    c = record(path, UNZIP_COMMENT);
    c.lpszReturnString = buffer;
    c.returnCount = sizeof buffer - 1;
    ASSERT_EQ(0, OstranaUnzip(&c));
    EXPECT_EQ(shown, std::string(buffer));
  }
}

TEST_F(UnzipFunctions, CommentOfAFileThatIsNoArchive) {
  std::string path = dir + "/text.zip";
  testenv::write_file(path, testzip::Bytes(500, 'x'));
  char buffer[8] = "old";
  UNZIPCMDSTRUCT c = record(path, UNZIP_COMMENT);
  c.lpszReturnString = buffer;
  c.returnCount = 5;
  EXPECT_EQ(OU_BAD_STRUCTURE, OstranaUnzip(&c));
  EXPECT_EQ(0, c.returnCount);
  EXPECT_STREQ("", buffer);
  EXPECT_EQ("Ostrana Secure UnZip Error: Ostrana Secure UnZip file structure invalid (Zip file has a structural "
            "problem)\n",
            last_report());
  EXPECT_EQ(-OU_BAD_STRUCTURE, count(path));
  EXPECT_EQ("Ostrana Secure UnZip Error: Ostrana Secure UnZip file structure invalid (Problem reading Zip file)\n",
            last_report());
}

TEST_F(UnzipFunctions, WrongEntryCountShowsTheReadErrorPrompt) {
  testzip::Archive a;
  // Two headers long enough that three would fit in their bytes: the count is
  // not refused up front, the third header is missing when read.
  a.entries = {stored(std::string(40, 'a')), stored(std::string(40, 'b'))};
  a.end.entries_this_disk = 3;
  a.end.entries_total = 3;
  std::string path = write("short.zip", a);
  EXPECT_EQ(-OU_BAD_STRUCTURE, count(path));
  auto shown = messages.shown();
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ(3, shown[0].type);
  EXPECT_EQ("Ostrana Secure UnZip File read error!", shown[0].text);
  EXPECT_EQ("Ostrana Secure UnZip Error:", shown[0].title);
  EXPECT_EQ(OSTRANA_DISPLAY_ERROR, shown[1].type);
}

TEST_F(UnzipFunctions, OversizedExtraBlockIsRefusedWith3) {
  testzip::Archive a;
  testzip::Entry e = stored("big-extra");
  e.central_extra = testzip::zip64_extra({1, 2, 3, 4}, 29);  // 33 bytes with its header
  a.entries = {stored("fine"), e};
  std::string path = write("extra.zip", a);
  ASSERT_EQ(2, count(path));
  int rc;
  EXPECT_STREQ("fine", next_ex(path, &rc).szFileName);
  next_ex(path, &rc);
  EXPECT_EQ(OU_BAD_STRUCTURE, rc);
}

TEST_F(UnzipFunctions, ThreadsWalkTheirOwnDirectories) {
  testzip::Archive a;
  a.entries = {stored("1"), stored("2")};
  std::string path = write("threads.zip", a);
  int rc;
  EXPECT_STREQ("1", next_ex(path, &rc).szFileName);
  std::string theirs;
  std::thread other([&] {
    int their_rc;
    theirs = next_ex(path, &their_rc).szFileName;
    OstranaEngineEnd();
  });
  other.join();
  EXPECT_EQ("1", theirs);
  EXPECT_STREQ("2", next_ex(path, &rc).szFileName);
}

}  // namespace
