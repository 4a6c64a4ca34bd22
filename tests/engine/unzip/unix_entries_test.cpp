/* tests/engine/unzip/unix_entries_test.cpp - items made on Unix: modes, true times, links, byte pieces.
 *
 * Risks: a script that loses its executable bit or a read-only file that comes
 * out writable; a set-user-id bit carried onto the disk; an archive made in
 * another time zone extracted hours off; a symbolic link item that points out
 * of the destination and is recreated (or is written through); a byte-split
 * archive (NAME.zip.001, ...) that cannot be read, or whose missing piece is
 * not named.
 */
#include <sys/stat.h>
#include <unistd.h>

#include "engine/unzip/extraction.h"
#include "engine/unzip/piece_chain.h"
#include "extract_fixture.h"
#include "platform/output_tree.h"

using extracttest::ExtractFixture;
using testzip::Entry;

namespace {

/// An entry made on Unix with @p mode (type bits included).
Entry unix_entry(const std::string& name, uint32_t mode, const std::string& data) {
  Entry e = testzip::stored_entry(name, data);
  e.version_made_by = 3 << 8 | 20;
  e.external_attributes = mode << 16 | (S_ISDIR(mode) ? 0x10 : 0x20);
  return e;
}

struct stat stat_of(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

using UnixEntries = ExtractFixture;

}  // namespace

TEST(LinkTargets, OnlyTargetsThatStayInsideQualify) {
  struct Row {
    const char* link;
    const char* target;
    bool inside;
  } rows[] = {
      {"l", "f.txt", true},         {"l", "./sub/f", true},      {"a/b/l", "../../f", true},
      {"a/l", "../../f", false},    {"l", "../f", false},        {"l", "/etc/passwd", false},
      {"l", "", false},             {"l", "sub/../f", false},    {"a/l", "x/../../f", false},
      {"a/l", "../a/./f", true},    {"a/b/l", "../../..", false}, {"l", ".", true},
  };
  for (const Row& r : rows) EXPECT_EQ(r.inside, ostrana::link_target_stays_inside(r.link, r.target)) << r.link << " -> " << r.target;
}

TEST_F(UnixEntries, ModesAreAppliedUnderTheUmaskWithoutSetIdBits) {
  const mode_t mask = ::umask(022);
  Entry dos = testzip::stored_entry("dos-readonly.txt", "r");
  dos.external_attributes = 0x21;  // made on MS-DOS: the read-only bit decides
  write_archive({unix_entry("run.sh", 0100755, "#!/bin/sh\n"), unix_entry("ro.txt", 0100444, "ro"),
                 unix_entry("suid", 0106755, "x"), unix_entry("private/", 040700, ""),
                 unix_entry("private/in.txt", 0100600, "in"), dos});
  EXPECT_EQ(0, extract("*.*"));
  ::umask(mask);
  EXPECT_EQ(0755u, stat_of(dest + "/run.sh").st_mode & 07777);
  EXPECT_EQ(0444u, stat_of(dest + "/ro.txt").st_mode & 07777);
  EXPECT_EQ(0755u, stat_of(dest + "/suid").st_mode & 07777) << "no set-user-id or set-group-id bit";
  EXPECT_EQ(0700u, stat_of(dest + "/private").st_mode & 07777) << "a folder's mode, set after its content";
  EXPECT_EQ("in", content("private/in.txt"));
  EXPECT_EQ(0444u, stat_of(dest + "/dos-readonly.txt").st_mode & 0777);
}

TEST_F(UnixEntries, TheUtcTimeWinsOverTheDosTime) {
  Entry e = unix_entry("stamped.txt", 0100644, "t");
  uint8_t stamp[ostrana::zip::kTimestampBlock];
  ostrana::zip::write_timestamp_block(1588748889, stamp);
  e.central_extra.assign(stamp, stamp + sizeof stamp);
  Entry plain = unix_entry("plain.txt", 0100644, "p");
  write_archive({e, plain});
  EXPECT_EQ(0, extract("*.*"));
  EXPECT_EQ(1588748889, stat_of(dest + "/stamped.txt").st_mtime);
  // Without the block the DOS date-time is local time.
  struct tm tm {};
  tm.tm_year = 110, tm.tm_mon = 5, tm.tm_mday = 15, tm.tm_hour = 12, tm.tm_min = 30, tm.tm_isdst = -1;
  EXPECT_EQ(mktime(&tm), stat_of(dest + "/plain.txt").st_mtime);
}

TEST_F(UnixEntries, LinksInsideAreRecreatedOthersBecomeFiles) {
  const std::string outside = dir + "/outside.txt";
  testenv::write_file(outside, {'o'});
  write_archive({unix_entry("sub/", 040755, ""), unix_entry("sub/f.txt", 0100644, "file"),
                 unix_entry("sub/ok", 0120777, "f.txt"), unix_entry("up", 0120777, "sub/f.txt"),
                 unix_entry("escape", 0120777, "../outside.txt"), unix_entry("absolute", 0120777, outside),
                 // A link first, then a file through it: the file must not land outside.
                 unix_entry("door", 0120777, ".."), unix_entry("door/outside.txt", 0100644, "overwritten")});
  // The folder "door" cannot be made where the file stands: the run ends there.
  EXPECT_EQ(OU_CREATE_FAILED, extract("*.*"));
  char target[64] = {};
  ASSERT_GT(::readlink((dest + "/sub/ok").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ("f.txt", target);
  EXPECT_EQ("file", enginetest::read_text_file(dest + "/up"));  // followed by the test, a real link
  EXPECT_EQ("<link>", content("up"));
  for (const char* name : {"escape", "absolute", "door"}) {
    EXPECT_TRUE(S_ISREG(stat_of(dest + "/" + name).st_mode)) << name << " is written as a plain file";
    EXPECT_EQ(0644u & ~022u & stat_of(dest + "/" + name).st_mode & 0777, stat_of(dest + "/" + name).st_mode & 0777);
  }
  EXPECT_EQ("../outside.txt", content("escape"));
  EXPECT_EQ("o", enginetest::read_text_file(outside));
  EXPECT_EQ(3u, shown(OSTRANA_DISPLAY_WARNING).size());
}

TEST_F(UnixEntries, BytePiecesAreReadAsOneArchive) {
  std::vector<Entry> entries;
  for (int i = 0; i < 20; ++i) entries.push_back(unix_entry("f" + std::to_string(i), 0100644, std::string(300, 'a' + i)));
  testzip::Archive a;
  a.entries = entries;
  const testzip::Bytes whole = a.build();
  const std::string base = dir + "/cut.zip";
  const size_t piece = (whole.size() + 6) / 7;  // seven pieces, the last nearly whole
  size_t pieces = 0;
  for (size_t at = 0; at < whole.size(); at += piece, ++pieces)
    testenv::write_file(ostrana::PieceChain::piece_name(base + ".001", static_cast<uint32_t>(pieces + 1)),
                        testzip::Bytes(whole.begin() + at, whole.begin() + std::min(whole.size(), at + piece)));
  ASSERT_EQ(7u, pieces);
  // Named by its first piece, or by the missing NAME.zip.
  for (const std::string& name : {base + ".001", base}) {
    cmd.lpszZIPFile = name.c_str();
    EXPECT_EQ(0, extract("*.*")) << name;
    EXPECT_EQ(std::string(300, 'a' + 19), content("f19"));
    cmd.overWriteFlag = 1;
  }
  // A piece gone from the middle is named; so is the next one when the last is gone.
  const std::string third = ostrana::PieceChain::piece_name(base + ".001", 3);
  ASSERT_EQ(0, ::rename(third.c_str(), (third + ".away").c_str()));
  cmd.lpszZIPFile = base.c_str();
  EXPECT_NE(0, extract("*.*"));
  ASSERT_FALSE(shown(OSTRANA_DISPLAY_ERROR).empty());
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).back().text.find(third));
  ASSERT_EQ(0, ::rename((third + ".away").c_str(), third.c_str()));
  const std::string last = ostrana::PieceChain::piece_name(base + ".001", static_cast<uint32_t>(pieces));
  ASSERT_EQ(0, ::unlink(last.c_str()));
  EXPECT_NE(0, extract("*.*"));
  EXPECT_NE(std::string::npos, shown(OSTRANA_DISPLAY_ERROR).back().text.find(last))
      << shown(OSTRANA_DISPLAY_ERROR).back().text;
}
