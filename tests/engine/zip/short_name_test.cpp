/* tests/engine/zip/short_name_test.cpp - the zip side's 8.3 test and 8.3 form.
 *
 * Risks: an off-by-one at 8 or 3 bytes, parts that do not restart after a
 * separator, and a shortened name that cuts a UTF-8 character in half.
 */
#include <gtest/gtest.h>

#include "engine/zip/short_name.h"

using namespace ostrana;

TEST(ShortName, Boundaries) {
  EXPECT_TRUE(is_short_name("ABCDEFGH.TXT"));
  EXPECT_FALSE(is_short_name("ABCDEFGHI.TXT"));  // 9 before the dot
  EXPECT_FALSE(is_short_name("A.HTML"));         // 4 after it
  EXPECT_TRUE(is_short_name("ABCDEFGH"));
  EXPECT_TRUE(is_short_name("A."));
  EXPECT_FALSE(is_short_name("MY FILE.TXT"));
  EXPECT_FALSE(is_short_name("A\"B.TXT"));
  EXPECT_TRUE(is_short_name("A.B.C"));           // later dots count after the first: 3 bytes
  EXPECT_FALSE(is_short_name("A.BC.DE"));
}

TEST(ShortName, PartsRestartAfterSeparators) {
  EXPECT_TRUE(is_short_name("FOLDER01/SUBDIR02/FILE0001.TXT"));
  EXPECT_TRUE(is_short_name("C:ABCDEFGH\\ABCDEFGH.ABC"));
  EXPECT_FALSE(is_short_name("LONGFOLDER/A.TXT"));
  EXPECT_TRUE(is_short_name("FOLDER/"));
}

TEST(ShortName, MultiByteCharactersCountTheirBytes) {
  // Four 2-byte letters are 8 bytes: still 8.3; five are 10.
  EXPECT_TRUE(is_short_name("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.TXT"));
  EXPECT_FALSE(is_short_name("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.TXT"));
}

TEST(ShortName, Shortening) {
  EXPECT_EQ("LONGFILE.HTM", short_name_form("LONGFILENAME.HTML"));
  EXPECT_EQ("MYFILE.TXT", short_name_form("MY FILE.TXT"));
  EXPECT_EQ("ABC.DEF", short_name_form("\"ABC\".D.E.F"));           // only the first dot stays
  EXPECT_EQ("VERYLONG/DOCUMENT.TXT", short_name_form("VERYLONGFOLDER/DOCUMENT.TXT"));
  EXPECT_EQ("verylong/document.txt", short_name_form("very long folder/document.txt"));
  EXPECT_EQ("A/", short_name_form("A/"));
  // A 2-byte letter that would straddle the 8-byte limit is dropped whole.
  EXPECT_EQ("abcdefg", short_name_form("abcdefg\xC3\xA9xyz"));
  EXPECT_EQ("a.\xC3\xA9" "b", short_name_form("a.\xC3\xA9" "bcd"));
}

TEST(ShortName, MalformedTextKeepsItsDots) {
  // A lead byte without its continuation is one byte: the dot after it stays a dot.
  EXPECT_EQ("\xC3.txt", short_name_form("\xC3.txt"));
  EXPECT_TRUE(is_short_name("\xC3.txt"));
  EXPECT_EQ("\xA9\xA9\xA9\xA9\xA9\xA9\xA9\xA9", short_name_form("\xA9\xA9\xA9\xA9\xA9\xA9\xA9\xA9\xA9"));
}

TEST(ShortName, TheShortFormAlwaysPassesTheTest) {
  const char* names[] = {"LONGFILENAME.HTML", "a b c d e f g h i j.k l m n", "x.y.z.w",
                         "dir with blanks/and a long name.extension", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.\xC3\xA9\xC3\xA9"};
  for (const char* name : names) {
    std::string s = short_name_form(name);
    EXPECT_TRUE(is_short_name(s)) << s;
    EXPECT_EQ(s, short_name_form(s)) << s;  // shortening twice changes nothing
  }
}
