/* tests/platform/folder_search_test.cpp - the file search, DOS attributes and DOS date-times.
 *
 * Risks: a walk that follows a link into a folder (and loops), hands out a FIFO
 * (and blocks the writer), or reports a dangling link; "*.*" that misses names
 * without a dot (the wizard asks for a folder's whole content that way); DOS
 * date-times off by a time zone, a month or a second.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/file_info.h"
#include "platform/folder_search.h"
#include "test_env.h"

using namespace platform;

namespace {

void write_file(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> names_of(const std::string& folder, const std::string& pattern, bool folders) {
  FolderSearch search;
  EXPECT_EQ(0, search.open(folder));
  std::vector<std::string> names;
  FolderEntry e;
  while (search.next(pattern, folders, &e)) names.push_back(e.name + (e.info.is_folder() ? "/" : ""));
  return names;
}

/// Runs the test body with TZ set, restoring the previous zone afterwards.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    m_had = old != nullptr;
    if (m_had) m_old = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (m_had) setenv("TZ", m_old.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  bool m_had = false;
  std::string m_old;
};

}  // namespace

TEST(NameMatches, WildcardsOfTheFileSearch) {
  EXPECT_TRUE(name_matches("*.*", "README"));   // every name, with or without a dot
  EXPECT_TRUE(name_matches("*.*", "a.b.c"));
  EXPECT_TRUE(name_matches("*.*", ".hidden"));
  EXPECT_TRUE(name_matches("foo.*", "foo"));
  EXPECT_FALSE(name_matches("foo.*", "foobar"));
  EXPECT_TRUE(name_matches("*.", "a.txt"));      // the engine keeps only dotless names
  EXPECT_TRUE(name_matches("abc.", "abc"));
  EXPECT_FALSE(name_matches("*.TXT", "a.txt"));  // Linux names are case sensitive
  EXPECT_TRUE(name_matches("a?c", "abc"));
  EXPECT_TRUE(name_matches("a?c", "a\xC3\xA9" "c"));  // "?" is one character, not one byte
  EXPECT_FALSE(name_matches("a?c", "ac"));
  EXPECT_TRUE(name_matches("*b*d*", "abcde"));
  EXPECT_FALSE(name_matches("*b*d", "abcde"));
  EXPECT_FALSE(name_matches("", "a"));
  EXPECT_TRUE(name_matches("*", "name with blanks"));
}

TEST(NameMatches, ManyStarsStayFast) {
  // One backtrack point: this is linear, not exponential.
  std::string name(10000, 'a');
  EXPECT_FALSE(name_matches("*a*a*a*a*a*a*a*a*a*a*b", name));
}

TEST(FolderSearch, LinksFifosAndOrder) {
  std::string dir = testenv::make_temp_dir("search");
  mkdir((dir + "/sub").c_str(), 0755);
  write_file(dir + "/b.txt", "bbbb");
  write_file(dir + "/a.txt", "aa");
  write_file(dir + "/noext", "");
  ASSERT_EQ(0, symlink("a.txt", (dir + "/link-to-file.txt").c_str()));
  ASSERT_EQ(0, symlink("sub", (dir + "/link-to-folder").c_str()));
  ASSERT_EQ(0, symlink("missing", (dir + "/dangling.txt").c_str()));
  ASSERT_EQ(0, mkfifo((dir + "/pipe.txt").c_str(), 0644));

  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt", "link-to-file.txt", "noext", "sub/"}),
            names_of(dir, "*.*", true));
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt", "link-to-file.txt"}), names_of(dir, "*.txt", false));

  FolderSearch search;
  ASSERT_EQ(0, search.open(dir));
  FolderEntry e;
  while (search.next("link-to-file.txt", false, &e)) {
    EXPECT_EQ(dir + "/link-to-file.txt", e.path);
    EXPECT_EQ(2u, e.info.size);  // the target's facts
  }
  EXPECT_EQ(ENOENT, search.open(dir + "/nowhere"));
}

TEST(FolderSearch, AFileRemovedAfterTheListingIsPassedOver) {
  std::string dir = testenv::make_temp_dir("search");
  write_file(dir + "/1.txt", "x");
  write_file(dir + "/2.txt", "x");
  write_file(dir + "/3.txt", "x");
  FolderSearch search;
  ASSERT_EQ(0, search.open(dir));
  FolderEntry e;
  ASSERT_TRUE(search.next("*", false, &e));
  EXPECT_EQ("1.txt", e.name);
  unlink((dir + "/2.txt").c_str());
  ASSERT_TRUE(search.next("*", false, &e));
  EXPECT_EQ("3.txt", e.name);
  EXPECT_FALSE(search.next("*", false, &e));
}

TEST(FileInfo, AttributesOnLinux) {
  std::string dir = testenv::make_temp_dir("info");
  write_file(dir + "/plain", "12345");
  write_file(dir + "/.hidden", "");
  write_file(dir + "/locked", "");
  chmod((dir + "/locked").c_str(), 0444);

  FileInfo info;
  ASSERT_EQ(0, file_info(dir + "/plain", &info));
  EXPECT_EQ(kDosArchive, info.dos_attributes);
  EXPECT_EQ(5u, info.size);
  ASSERT_EQ(0, file_info(dir + "/.hidden", &info));
  EXPECT_EQ(kDosArchive | kDosHidden, info.dos_attributes);
  ASSERT_EQ(0, file_info(dir + "/locked", &info));
  EXPECT_EQ(kDosArchive | kDosReadOnly, info.dos_attributes);
  ASSERT_EQ(0, file_info(dir, &info));
  EXPECT_EQ(kDosFolder, info.dos_attributes);
  EXPECT_EQ(0u, info.size);  // a folder's st_size is not content
  ASSERT_EQ(0, file_info(dir + "/.", &info));
  EXPECT_EQ(kDosFolder, info.dos_attributes);  // "." is not hidden
  EXPECT_EQ(ENOENT, file_info(dir + "/missing", &info));

  uint32_t attributes = 99;
  uint64_t size = 99;
  EXPECT_EQ(0u, file_dos_datetime(dir + "/missing", &attributes, &size));
  EXPECT_EQ(0u, attributes);
  EXPECT_EQ(0u, size);
  EXPECT_NE(0u, file_dos_datetime(dir + "/plain", &attributes, &size));
  EXPECT_EQ(kDosArchive, attributes);
  EXPECT_EQ(5u, size);
}

TEST(DosDateTime, PackingInLocalTime) {
  TimeZone utc("UTC");
  // 2024-03-15 13:45:31 UTC: the odd second rounds down to :30.
  time_t t = 1710510331;
  uint32_t dos = dos_datetime_from_time(t);
  EXPECT_EQ(((2024u - 1980) << 9 | 3u << 5 | 15u), dos >> 16);
  EXPECT_EQ((13u << 11 | 45u << 5 | 15u), dos & 0xFFFF);
  EXPECT_EQ(t - 1, time_from_dos_datetime(dos));
  EXPECT_EQ(kDosDateTimeMin, dos_datetime_from_time(0));  // 1970 clamps to 1980

  TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
  // The same instant is an hour later on the wall clock in winter time.
  EXPECT_EQ((14u << 11 | 45u << 5 | 15u), dos_datetime_from_time(t) & 0xFFFF);
}

TEST(DosDateTime, FileTimesComeFromTheLastWrite) {
  TimeZone utc("UTC");
  std::string dir = testenv::make_temp_dir("info");
  std::string path = dir + "/dated";
  write_file(path, "x");
  struct timespec times[2] = {{0, UTIME_OMIT}, {946684800 + 86400 + 7, 0}};  // 2000-01-02 00:00:07
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
  FileInfo info;
  ASSERT_EQ(0, file_info(path, &info));
  EXPECT_EQ(((2000u - 1980) << 9 | 1u << 5 | 2u) << 16 | 3u, info.dos_datetime);
}
