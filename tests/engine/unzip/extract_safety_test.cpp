/* tests/engine/unzip/extract_safety_test.cpp - nothing is ever written outside the destination.
 *
 * Risks: a hostile archive names "../x", "/abs/x", "a/../../x", "..\x" or
 * "C:/x" and the extraction writes there ("zip slip"); a symbolic link in the
 * destination (there before, or made by an earlier item) leads a later item
 * out of it; an item stored as a symbolic link makes one.  Every such item is
 * skipped with 49 and a warning naming it, and the rest of the archive is
 * still extracted.
 */
#include <unistd.h>

#include "engine/unzip/output_path.h"
#include "extract_fixture.h"

using namespace extracttest;
using ostrana::output_name_of;

namespace {

class ExtractSafety : public ExtractFixture {};

TEST(OutputName, CleansStoredNamesAndRefusesClimbingOnes) {
  struct Case {
    const char* stored;
    bool base_only;
    const char* relative;
    bool folder;
    bool usable;
  };
  const Case cases[] = {
      {"a/b/c.txt", false, "a/b/c.txt", false, true},
      {"a/b/c.txt", true, "c.txt", false, true},
      {"a\\b\\c.txt", false, "a/b/c.txt", false, true},
      {"/abs/evil", false, "abs/evil", false, true},
      {"///abs//evil", false, "abs/evil", false, true},
      {"C:/drive.txt", false, "drive.txt", false, true},
      {"c:\\drive.txt", false, "drive.txt", false, true},
      {"./a/./b", false, "a/b", false, true},
      {"dir/", false, "dir", true, true},
      {"dir/", true, "", true, true},
      {"../evil", false, "../evil", false, false},
      {"a/../../evil", false, "a/../../evil", false, false},
      {"..\\evil", false, "../evil", false, false},
      {"a/../../evil", true, "evil", false, true},  // only the base name is used
      {"..", true, "..", false, false},
      {"/", false, "", true, true},                 // the destination itself
      {".", false, "", false, false},
      {"", false, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ostrana::OutputName n = output_name_of(c.stored, c.base_only);
    EXPECT_EQ(c.usable, n.usable);
    if (c.usable) {
      EXPECT_EQ(c.relative, n.relative);
    }
    EXPECT_EQ(c.folder, n.folder);
  }
  EXPECT_FALSE(output_name_of(std::string_view("a\0b", 3), false).usable) << "a NUL would cut the name";
}

TEST_F(ExtractSafety, ZipSlipArchiveWritesNothingOutsideAndTheRestStillExtracts) {
  const std::string outside = dir + "/outside";
  ASSERT_EQ(0, ::mkdir(outside.c_str(), 0777));
  ASSERT_EQ(0, ::symlink("../outside", (dest + "/link").c_str()));
  write_archive({stored("good1.txt", "one"), stored("../evil"), stored("/abs/evil", "abs"),
                 stored("a/../../evil"), stored("..\\evil2"), stored("link/evil"), stored("link/deeper/evil"),
                 stored("good2.txt", "two")});
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_EQ("one", content("good1.txt"));
  EXPECT_EQ("two", content("good2.txt"));
  EXPECT_EQ("abs", content("abs/evil")) << "a leading / is dropped";
  EXPECT_EQ("<link>", content("link"));
  struct stat st;
  EXPECT_NE(0, ::stat((dir + "/evil").c_str(), &st));
  EXPECT_NE(0, ::stat((dir + "/evil2").c_str(), &st));
  EXPECT_NE(0, ::stat("/abs/evil", &st));
  EXPECT_NE(0, ::stat((outside + "/evil").c_str(), &st));
  EXPECT_NE(0, ::stat((outside + "/deeper").c_str(), &st));

  std::vector<enginetest::DisplayCall> warnings = shown(OSTRANA_DISPLAY_ERROR);
  ASSERT_EQ(5u, warnings.size());
  for (const char* name : {"../evil", "a/../../evil", "..\\evil2", "link/evil", "link/deeper/evil"}) {
    bool named = false;
    for (const auto& w : warnings) named = named || w.text.find(name) != std::string::npos;
    EXPECT_TRUE(named) << name;
  }
  EXPECT_EQ(OU_USER_SKIPPED, warnings[0].code);
  EXPECT_EQ("Ostrana Secure UnZip Error: User skipped this operation (../evil would be written outside the "
            "destination folder, which is not permitted. \nSkipping this item...)\n",
            warnings[0].text);
}

TEST_F(ExtractSafety, LinksAreReplacedNeverWrittenThroughAndNeverMade) {
  const std::string outside = dir + "/target.txt";
  testenv::write_file(outside, {'k', 'e', 'e', 'p'});
  ASSERT_EQ(0, ::symlink(outside.c_str(), (dest + "/name.txt").c_str()));
  // An item stored as a Unix symbolic link: written as a file holding the link text.
  testzip::Entry link = stored("made-link", "/etc/passwd");
  link.version_made_by = 3 << 8 | 30;
  link.external_attributes = 0120777u << 16;
  write_archive({stored("name.txt", "new"), link, stored("made-link/through", "x")});
  cmd.overWriteFlag = 1;
  EXPECT_EQ(OU_CREATE_FAILED, extract("*.*")) << "a file stands where the folder would be";
  EXPECT_EQ("new", content("name.txt")) << "the link was replaced by a file";
  EXPECT_EQ("keep", enginetest::read_text_file(outside));
  EXPECT_EQ("/etc/passwd", content("made-link"));
}

TEST_F(ExtractSafety, QuietRunSkipsClimbingItemsWithoutAWord) {
  write_archive({stored("../evil"), stored("fine.txt")});
  cmd.quietFlag = 1;
  EXPECT_EQ(OU_SUCCESS, extract("*.*"));
  EXPECT_TRUE(messages.shown().empty());
  EXPECT_EQ("data", content("fine.txt"));
}

}  // namespace
