/* tests/engine/unzip/pattern_match_test.cpp - which items a pattern list selects.
 *
 * Risks: the selection rules decide what extraction writes.  A folder rule
 * that leaks into subfolders without recursion, a wildcard that compares the
 * characters after "*" (or fails to), a quoted pattern cut at its blank, or a
 * "?" that splits a UTF-8 character would each select the wrong files.
 */
#include <gtest/gtest.h>

#include "engine/unzip/pattern_match.h"

using namespace ostrana;

namespace {

bool selects(const char* pattern, const char* name, bool recurse = false) {
  FilespecPatterns list = parse_pattern_list(pattern);
  EXPECT_EQ(1u, list.patterns.size()) << pattern;
  return any_pattern_selects(list, match_name_of(name), recurse);
}

}  // namespace

TEST(FilespecPatterns, BlanksCutAndQuotesToggle) {
  FilespecPatterns l = parse_pattern_list("  *.txt \"my file.doc\"  a\"b c\"d docs/x ");
  EXPECT_EQ((std::vector<std::string>{"*.TXT", "MY FILE.DOC", "AB CD", "DOCS\\X"}), l.patterns);
  EXPECT_TRUE(l.quotes_balanced);
  EXPECT_FALSE(parse_pattern_list("\"open").quotes_balanced);
  EXPECT_TRUE(parse_pattern_list(nullptr).patterns.empty());
  EXPECT_TRUE(parse_pattern_list("   ").patterns.empty());
}

TEST(Wildcard, StarAndStarDotStarMatchAnything) {
  for (const char* name : {"A", "A.B", "NODOT", ".HIDDEN", "X.Y.Z"}) {
    EXPECT_TRUE(wildcard_matches(name, "*")) << name;
    EXPECT_TRUE(wildcard_matches(name, "*.*")) << name;
  }
  EXPECT_FALSE(wildcard_matches("", "*"));
  EXPECT_FALSE(wildcard_matches("A", ""));
}

TEST(Wildcard, BaseAndExtensionAreComparedSeparately) {
  EXPECT_TRUE(wildcard_matches("A.TXT", "*.TXT"));
  EXPECT_FALSE(wildcard_matches("A.TXT", "*.DOC"));
  EXPECT_TRUE(wildcard_matches("AXYZ.TXT", "A*B.TXT")) << "after the star nothing is compared";
  EXPECT_TRUE(wildcard_matches("A.TXT", "A*B.TXT"));
  EXPECT_FALSE(wildcard_matches("BXYZ.TXT", "A*B.TXT"));
  EXPECT_TRUE(wildcard_matches("ABC.TXT", "A?C.TXT"));
  EXPECT_FALSE(wildcard_matches("AC.TXT", "A?C.TXT")) << "? needs a character";
  EXPECT_FALSE(wildcard_matches("ABCD.TXT", "A?C.TXT")) << "without a star both end together";
  EXPECT_FALSE(wildcard_matches("ABC", "A*.TXT")) << "an empty extension matches only an empty one";
  EXPECT_FALSE(wildcard_matches("ABC.TXT", "ABC")) << "a pattern without a dot has an empty extension";
  EXPECT_TRUE(wildcard_matches("ABC", "ABC"));
  EXPECT_TRUE(wildcard_matches("ARCHIVE.TAR.GZ", "*.GZ")) << "split at the last dot";
  EXPECT_TRUE(wildcard_matches("ARCHIVE.TAR.GZ", "ARCHIVE.TAR.*"));
}

TEST(Wildcard, QuestionMarkTakesAWholeUtf8Character) {
  EXPECT_TRUE(wildcard_matches("CAF\xC3\xA9.TXT", "CAF?.TXT"));
  EXPECT_TRUE(wildcard_matches("\xE2\x82\xAC.TXT", "?.TXT"));
  EXPECT_FALSE(wildcard_matches("\xE2\x82\xAC.TXT", "??.TXT"));
}

TEST(Selection, PatternWithoutFolder) {
  EXPECT_TRUE(selects("*.TXT", "A.TXT"));
  EXPECT_FALSE(selects("*.TXT", "DOCS/B.TXT")) << "without recursion only the top level";
  EXPECT_TRUE(selects("*.TXT", "DOCS/B.TXT", true));
  EXPECT_TRUE(selects("*.txt", "docs/sub/b.Txt", true)) << "case is ignored";
  EXPECT_FALSE(selects("*", "DOCS/")) << "a folder entry only for *.*";
  EXPECT_TRUE(selects("*.*", "DOCS/"));
  EXPECT_TRUE(selects("*.*", "DOCS/SUB/"));
  EXPECT_FALSE(selects("DOCS", "DOCS/"));
}

TEST(Selection, PatternWithFolderAndFile) {
  EXPECT_TRUE(selects("DOCS\\*.TXT", "DOCS/A.TXT"));
  EXPECT_TRUE(selects("docs/*.txt", "DOCS/A.TXT")) << "/ reads as \\";
  EXPECT_FALSE(selects("DOCS\\*.TXT", "DOCS/SUB/A.TXT"));
  EXPECT_TRUE(selects("DOCS\\*.TXT", "DOCS/SUB/A.TXT", true));
  EXPECT_FALSE(selects("DOCS\\*.TXT", "OTHER/A.TXT", true));
  EXPECT_FALSE(selects("DOCS\\*.TXT", "MYDOCS/A.TXT", true));
  EXPECT_TRUE(selects("DOCS\\*.TXT", "DOCS/")) << "the folder entry of the folder part";
  EXPECT_FALSE(selects("DOCS\\*.TXT", "DOCS/SUB/", true)) << "below it only for *.*";
  EXPECT_TRUE(selects("DOCS\\*.*", "DOCS/SUB/", true));
  EXPECT_FALSE(selects("DOCS\\*.*", "DOCS/SUB/"));
}

TEST(Selection, FolderPattern) {
  EXPECT_TRUE(selects("DOCS\\", "DOCS/"));
  EXPECT_TRUE(selects("DOCS\\", "DOCS/A.TXT"));
  EXPECT_FALSE(selects("DOCS\\", "DOCS/SUB/A.TXT"));
  EXPECT_FALSE(selects("DOCS\\", "DOCS/SUB/"));
  EXPECT_TRUE(selects("DOCS\\", "DOCS/SUB/A.TXT", true));
  EXPECT_TRUE(selects("DOCS\\", "DOCS/SUB/", true));
  EXPECT_FALSE(selects("DOCS\\", "DOCSX/A.TXT", true));
}

TEST(Selection, SingleItemNames) {
  EXPECT_TRUE(names_single_item("docs/readme.txt"));
  EXPECT_TRUE(names_single_item("with blank.txt"));
  for (const char* many : {"*.txt", "a?.txt", "c:x", "a<b", "a>b", "a|b", "tab\there", ""})
    EXPECT_FALSE(names_single_item(many)) << many;
  EXPECT_FALSE(names_single_item(nullptr));
}
