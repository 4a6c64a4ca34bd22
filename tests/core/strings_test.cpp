/* tests/core/strings_test.cpp - the string table: every id the program quotes is
 * there with its exact text, and formatting fills printf conversions without
 * cutting long arguments. */
#include <gtest/gtest.h>

#include <string>

#include "core/strings.h"
#include "dialogs/ui_text.h"

namespace {

TEST(StringTable, EveryQuotedIdIsPresent) {
  const int ids[] = {98,  100, 101, 103, 104, 105, 106, 107, 108, 109, 110, 112, 114, 115, 116, 117,
                     118, 119, 120, 121, 122, 123, 125, 126, 127, 129, 139, 141, 142, 143, 144, 146,
                     148, 149, 150, 151, 155, 158, 159, 160, 161, 164, 166, 170, 364, 576, 577, 621,
                     622, 623, 624, 625, 626, 627, 630, 634, 9000, 9001};
  for (int id : ids) {
    ASSERT_NE(core::load_string(id), nullptr) << "id " << id;
    EXPECT_STRNE(core::load_string(id), "") << "id " << id;
  }
  EXPECT_EQ(core::load_string(0), nullptr);
  EXPECT_EQ(core::load_string(99), nullptr);
  EXPECT_EQ(core::load_string(635), nullptr);
  EXPECT_EQ(core::load_string(-1), nullptr);
}

TEST(StringTable, StartUpMessagesStandExactly) {
  EXPECT_STREQ(core::load_string(101),
               "Morvane Parameters File not found. Task Scheduling information may have been changed!");
  EXPECT_STREQ(core::load_string(630), "Morvane File Information Not Found! File may have been deleted!");
  EXPECT_STREQ(core::load_string(100), "Morvane File Verification Failed! File may have been tampered!");
  EXPECT_STREQ(core::load_string(627),
               "Reading TASK Information File Has Terminated Unexpectedly!We appologize for the inconvinience!");
  EXPECT_STREQ(core::load_string(158), "Command line file verification OK! ");  // trailing blank kept
  EXPECT_STREQ(core::load_string(634), "File Processed");
  EXPECT_STREQ(core::load_string(139), "Warning!");
  EXPECT_STREQ(core::load_string(110), "Extracting ZIP %s'.");  // the lone quote is the program's own
}

TEST(StringTable, MultiLineTextsKeepTheirBreaks) {
  EXPECT_STREQ(core::load_string(121),
               "You have selected to delete %d items.\n"
               "Are you sure you would like to delete the files after ZIP Operation completes?");
  EXPECT_STREQ(core::load_string(621),
               "Check the box for Faster ZIP Operation.\r\n"
               "Please Note: Fast(er) Operation Means Slighty Bigger Output File");
}

TEST(StringTable, FormatsPrintfStyle) {
  EXPECT_EQ(core::format_string(155, "Nightly"), "Starting Morvane 'Nightly'");
  EXPECT_EQ(core::format_string(120, "a.zip", 12), "ZIP File 'a.zip' contains 12 item(s).");
  EXPECT_EQ(core::format_string(126, 3), "Processed so far: 3 files. ");
  EXPECT_EQ(dialogs::format_qstring(577, 4), QStringLiteral("[4 files skipped]. Operation Stopped!"));
  EXPECT_EQ(core::format_string(12345, "x"), "");
}

TEST(StringTable, LongArgumentIsNeitherCutNorOverrun) {
  const std::string name(20000, 'n');
  const std::string out = core::format_string(108, name.c_str());
  EXPECT_EQ(out, "Adding Files to ZIP '" + name + "'.");
}

}  // namespace
