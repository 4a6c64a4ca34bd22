/* tests/engine/zip/item_list_test.cpp - item lists, stored names, patterns, suffixes, date limit.
 *
 * Risks: an item list split inside quotes (a folder with a blank becomes two
 * missing items); a stored name that keeps a drive, a leading "/" or a ".."
 * (archives that extract outside their folder); a pattern rule that reads past
 * its first star or lets an include beat an exclude; a date limit that accepts
 * garbage or maps the year to the wrong century.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/zip/item_list.h"
#include "ostrana_results.h"

using namespace ostrana;

using Items = std::vector<std::string>;

TEST(ItemList, QuotedFolderWithBlankThenSecondName) {
  // The first item keeps its blank and loses its quotes.
  EXPECT_EQ((Items{"/home/u/My Documents/*.*", "/home/u/b.txt"}),
            split_item_list("\"/home/u/My Documents/*.*\" /home/u/b.txt"));
}

TEST(ItemList, BlanksQuotesAndEmptyItems) {
  EXPECT_EQ((Items{"a", "b"}), split_item_list("  a   b  "));
  EXPECT_EQ(Items{}, split_item_list(""));
  EXPECT_EQ(Items{}, split_item_list("\"\" \"\""));  // items left empty are dropped
  // A quote in the middle toggles too: the blank after it does not separate.
  EXPECT_EQ((Items{"ab c", "d"}), split_item_list("a\"b c\" d"));
  // An unclosed quote runs to the end of the list.
  EXPECT_EQ((Items{"x", "y z"}), split_item_list("x \"y z"));
  // Backslashes are characters of Linux names and are kept.
  EXPECT_EQ((Items{"dir\\name"}), split_item_list("dir\\name"));
}

TEST(ItemList, ItemsAreCutAt4095BytesBeforeQuotesGo) {
  std::string long_item(5000, 'a');
  Items items = split_item_list(long_item + " next");
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(kItemMaxBytes, items[0].size());
  EXPECT_EQ("next", items[1]);

  // The cut counts the quotes: 4,094 letters after an opening quote stay.
  items = split_item_list("\"" + std::string(4100, 'b') + "\"");
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(4094u, items[0].size());

  // Never inside a UTF-8 sequence: "é" (2 bytes) straddling the limit goes whole.
  items = split_item_list(std::string(4094, 'c') + "\xC3\xA9" + "d");
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(std::string(4094, 'c'), items[0]);
  // Malformed text (stray continuation bytes only) is still cut near the limit.
  items = split_item_list(std::string(5000, '\x80'));
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(4092u, items[0].size());
}

TEST(StoredName, PrefixesAndSeparators) {
  StoredNameRules plain;
  EXPECT_EQ("home/u/a.txt", stored_name_form("/home/u/a.txt", plain));
  EXPECT_EQ("dir/a.txt", stored_name_form("C:\\dir\\a.txt", plain));
  EXPECT_EQ("dir/a.txt", stored_name_form("c:dir/a.txt", plain));
  EXPECT_EQ("dir/a.txt", stored_name_form("\\\\server\\share\\dir\\a.txt", plain));
  EXPECT_EQ("", stored_name_form("//server", plain));
  EXPECT_EQ("", stored_name_form("/", plain));
  EXPECT_EQ("docs/", stored_name_form("/docs/", plain));  // a folder keeps its slash
}

TEST(StoredName, DotComponentsNeverClimbOut) {
  StoredNameRules plain;
  EXPECT_EQ("x/a.txt", stored_name_form("../x/a.txt", plain));
  EXPECT_EQ("a.txt", stored_name_form("./a.txt", plain));
  EXPECT_EQ("b/c", stored_name_form("a/../b//./c", plain));
  EXPECT_EQ("", stored_name_form("../..", plain));
  EXPECT_EQ("...", stored_name_form("...", plain));  // three dots are a name
}

TEST(StoredName, NoDirectoryNamesAndDosify) {
  EXPECT_EQ("a.txt", stored_name_form("/home/u/a.txt", StoredNameRules{true, false}));
  EXPECT_EQ("", stored_name_form("/home/u/", StoredNameRules{true, false}));  // a folder entry vanishes
  EXPECT_EQ("HOME/U/\xC3\xA9T\xC3\xA9.TXT", stored_name_form("/home/u/\xC3\xA9t\xC3\xA9.txt", StoredNameRules{false, true}));
}

TEST(Wildcard, TheRuleOfTheFirstStar) {
  EXPECT_TRUE(wildcard_match("*", ""));
  EXPECT_TRUE(wildcard_match("*abc", "zzz"));        // a leading star takes everything
  EXPECT_TRUE(wildcard_match("ab*cd", "abxyz"));     // nothing after the first star counts
  EXPECT_TRUE(wildcard_match("ab*", "ab"));
  EXPECT_FALSE(wildcard_match("ab*", "a"));
  EXPECT_FALSE(wildcard_match("ab?", "ab"));         // a trailing "?" needs a character
  EXPECT_TRUE(wildcard_match("a?c", "AbC"));
  EXPECT_FALSE(wildcard_match("abc", "abcd"));
  EXPECT_TRUE(wildcard_match("", ""));
  EXPECT_FALSE(wildcard_match("", "a"));
  EXPECT_FALSE(wildcard_match("?", ""));
  // Multi-byte sequences compare byte for byte; "?" stands for one byte.
  EXPECT_TRUE(wildcard_match("\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9"));
  EXPECT_FALSE(wildcard_match("\xC3\xA9", "\xC3\x89"));  // no folding beyond ASCII
  EXPECT_FALSE(wildcard_match("ab?", "ab\xC3\xA9"));
  EXPECT_TRUE(wildcard_match("ab??", "ab\xC3\xA9"));
}

TEST(MatchOnePattern, LastComponentUnlessWholePath) {
  EXPECT_TRUE(match_one_pattern("*.txt", "DIR/README.TXT", false));
  EXPECT_FALSE(match_one_pattern("*.txt", "DIR/README.TXT", true));
  EXPECT_TRUE(match_one_pattern("DIR/*.TXT", "dir/readme.txt", true));
  EXPECT_TRUE(match_one_pattern("dir/*", "dir/sub/x.c", true));
  EXPECT_FALSE(match_one_pattern("dir/*", "x.c", true));  // one has "/", the other not
  EXPECT_TRUE(match_one_pattern("*.c", "x.c", true));
  // A pattern with "/" compares the whole name even without whole-path matching.
  EXPECT_FALSE(match_one_pattern("src/*.c", "lib/x.c", false));
}

TEST(MatchOnePattern, BasesAndExtensions) {
  EXPECT_TRUE(match_one_pattern("readme", "README", false));
  EXPECT_FALSE(match_one_pattern("readme", "README.TXT", false));  // no dot: empty extension
  EXPECT_TRUE(match_one_pattern("read*", "README.TXT", false));    // ends with "*": any extension
  EXPECT_TRUE(match_one_pattern("*.*", "README", false));
  EXPECT_TRUE(match_one_pattern("*.gz", "a.tar.gz", false));       // split at the last dot
  EXPECT_FALSE(match_one_pattern("a.tar", "a.tar.gz", false));
  EXPECT_TRUE(match_one_pattern("*", "DIR/SUB/", false));          // a folder entry's empty last part
  EXPECT_FALSE(match_one_pattern("*.txt", "DIR/SUB/", false));
}

TEST(PatternList, ExcludeWinsAndIncludesComeFirst) {
  PatternList list;
  ASSERT_EQ(0, list.build("*.txt *.doc", "secret*", StoredNameRules{}, false));
  ASSERT_EQ(3u, list.patterns().size());
  EXPECT_EQ(2u, list.include_count());
  EXPECT_FALSE(list.patterns()[0].exclude);
  EXPECT_FALSE(list.patterns()[1].exclude);
  EXPECT_TRUE(list.patterns()[2].exclude);
  EXPECT_TRUE(list.accepts("notes.txt"));
  EXPECT_FALSE(list.accepts("secret.txt"));  // include and exclude both match: exclude wins
  EXPECT_FALSE(list.accepts("image.png"));   // includes exist, none matched
}

TEST(PatternList, EmptyListsAndStoredNameForm) {
  PatternList none;
  ASSERT_EQ(0, none.build(nullptr, nullptr, StoredNameRules{}, false));
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(none.accepts("anything/at/all"));

  PatternList only_exclude;
  ASSERT_EQ(0, only_exclude.build(nullptr, "*.o", StoredNameRules{}, false));
  EXPECT_TRUE(only_exclude.accepts("main.c"));
  EXPECT_FALSE(only_exclude.accepts("obj/main.o"));

  // Patterns take the stored-name form: "\\" becomes "/", the drive and leading "/" go.
  PatternList whole;
  ASSERT_EQ(0, whole.build("C:\\src\\*.c", nullptr, StoredNameRules{}, true));
  EXPECT_EQ("src/*.c", whole.patterns()[0].text);
  EXPECT_TRUE(whole.accepts("SRC/MAIN.C"));
  EXPECT_FALSE(whole.accepts("main.c"));

  // A pattern that comes out empty is dropped rather than refusing every name.
  PatternList slash;
  ASSERT_EQ(0, slash.build("/", nullptr, StoredNameRules{}, false));
  EXPECT_EQ(0u, slash.include_count());
  EXPECT_TRUE(slash.accepts("a.txt"));
}

TEST(StoreSuffix, DefaultListAndSeparators) {
  std::string_view def = store_suffix_list(false, ".txt");
  EXPECT_EQ(std::string_view(kDefaultStoreSuffixes), def);
  EXPECT_TRUE(is_stored_suffix("/data/backup.ZIP", def));
  EXPECT_TRUE(is_stored_suffix("old.z", def));  // case ignored
  EXPECT_FALSE(is_stored_suffix("archive.zip.txt", def));
  EXPECT_FALSE(is_stored_suffix("zip", def));   // no extension never matches
  EXPECT_FALSE(is_stored_suffix("dir.zip/file", def));
  EXPECT_EQ(std::string_view(kDefaultStoreSuffixes), store_suffix_list(true, nullptr));

  std::string_view mine = store_suffix_list(true, ".jpg;.PNG:.gz");
  EXPECT_TRUE(is_stored_suffix("a.png", mine));
  EXPECT_TRUE(is_stored_suffix("a.tar.gz", mine));
  EXPECT_FALSE(is_stored_suffix("a.zip", mine));
  EXPECT_FALSE(is_stored_suffix("a.", store_suffix_list(true, "::")));
}

TEST(DateLimit, GoodAndBadDates) {
  uint32_t limit = 0;
  ASSERT_EQ(0, parse_date_limit("031524", &limit));  // 15 March 2024, 00:00:00
  EXPECT_EQ(((2024u - 1980) << 9 | 3u << 5 | 15u) << 16, limit);
  ASSERT_EQ(0, parse_date_limit("010180", &limit));  // year 80 is 1980
  EXPECT_EQ((0u << 9 | 1u << 5 | 1u) << 16, limit);
  ASSERT_EQ(0, parse_date_limit("123179", &limit));  // year 79 is 2079
  EXPECT_EQ(((2079u - 1980) << 9 | 12u << 5 | 31u) << 16, limit);
  ASSERT_EQ(0, parse_date_limit("123199", &limit));
  EXPECT_EQ(((1999u - 1980) << 9 | 12u << 5 | 31u) << 16, limit);

  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("130124", &limit));   // month 13
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("000124", &limit));   // month 0
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("013224", &limit));   // day 32
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("010024", &limit));   // day 0
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("01012", &limit));    // 5 characters
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("0101245", &limit));  // 7 characters
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit("01-124", &limit));
  EXPECT_EQ(OZ_BAD_PARAMETERS, parse_date_limit(nullptr, &limit));
}
