/* tests/bridge/command_records_test.cpp - the command records a zip run and an extract run send.
 *
 * Risk: a field of ZIPCMDSTRUCT or UNZIPCMDSTRUCT that differs from what the
 * wizard has always sent changes what every archive operation does (a lost
 * quiet flag shows engine boxes, a lost bit 1 makes Stop ineffective, a wrong
 * split size writes unusable parts).  Each record is compared as a whole with
 * one built from the table by hand, so every field, the zero ones included,
 * is pinned.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/strings.h"
#include "bridge/bridge_callbacks.h"
#include "bridge/command_records.h"

namespace {

using namespace bridge;

// The offset of the first byte in which two records differ, or -1.
template <typename Record>
long first_difference(const Record& a, const Record& b) {
  const auto* x = reinterpret_cast<const unsigned char*>(&a);
  const auto* y = reinterpret_cast<const unsigned char*>(&b);
  for (size_t i = 0; i < sizeof(Record); ++i)
    if (x[i] != y[i]) return static_cast<long>(i);
  return -1;
}

ZIPCMDSTRUCT zip_expected(EngineBridge& bridge) {
  ZIPCMDSTRUCT r;
  std::memset(&r, 0, sizeof r);
  r.structSize = ZIPCMDSTRUCT_SIZE_L600;
  r.lpMajorStatus = major_status;
  r.lpMajorUserData = &bridge;
  r.lpMinorStatus = minor_status;
  r.lpMinorUserData = &bridge;
  r.quietFlag = 1;
  r.LargeZIPFilesFlag = 1;  // every zip run may use Zip64 where a value overflows
  r.lpszItemList = bridge.record_text.c_str();
  return r;
}

TEST(CommandRecords, ZipRecordAsTheWizardSendsIt) {
  const char* list = "\"/path/dir/*.*\" \"/path/file\" ";
  ZipRunArguments args;
  args.archive_path = "/path/out.zip";
  args.item_list = list;
  args.function_code = kZipAdd;
  args.path_mode = kPathModeFolders;
  args.compression_level = 7;
  args.recurse = 1;
  EngineBridge bridge(core::load_string);
  build_zip_record(args, bridge);
  EXPECT_EQ(bridge.record_text, "\"/path/dir/*.*\" \"/path/file\"");

  ZIPCMDSTRUCT want = zip_expected(bridge);
  want.Function = 4;
  want.lpszZIPFile = args.archive_path;
  want.recurseFlag = 1;
  want.compFactor = 7;
  want.wZipSubOptions = 0x0002;   // the minor callback may cancel
  want.lZipSubOptions2 = 0x0001;  // patterns match the whole path
  EXPECT_EQ(first_difference(bridge.zip, want), -1);
}

TEST(CommandRecords, ZipRecordWithPasswordCommentRootAndSplit) {
  ZipRunArguments args;
  args.archive_path = "/a.zip";
  args.item_list = "x";
  args.comment = "note";
  args.password = "pw";
  args.root_folder = "/path";
  args.split_size_text = "1000";
  args.function_code = 2;  // delete is never sent: it runs as add
  args.compression_level = 3;
  args.recurse = 0;
  args.wide_window = true;
  EngineBridge bridge(nullptr);
  build_zip_record(args, bridge);

  BridgeState& state = bridge_state();
  EXPECT_EQ(state.split_sizes[0], 65536u);
  EXPECT_EQ(state.split_sizes[1], 0u);
  ZIPCMDSTRUCT want = zip_expected(bridge);
  want.Function = 4;
  want.lpszZIPFile = args.archive_path;
  want.compFactor = 13;  // level 3 with the 64 KiB window
  want.addCommentFlag = 1;
  want.lpszComment = args.comment;
  want.encryptFlag = 1;
  want.lpszEncryptCode = args.password;
  want.lSEInfo = -1;
  want.lZipSubOptions2 = 0x0005;  // whole-path patterns, AES
  want.wZipSubOptions = 0x0003;   // relative to the root, minor may cancel
  want.wMultiVolControl = 0xC000;
  want.pulFileSizeArray = state.split_sizes;
  EXPECT_EQ(first_difference(bridge.zip, want), -1);
}

TEST(CommandRecords, ZipRecordWithoutFolderNames) {
  const char* empty_comment = "";
  ZipRunArguments args;
  args.archive_path = "/a.zip";
  args.item_list = " a b ";
  args.comment = empty_comment;
  args.root_folder = "/path";     // ignored without path mode 1
  args.split_size_text = "1000";  // ignored without function 4
  args.function_code = kZipUpdate;
  args.path_mode = kPathModeNoFolders;
  args.compression_level = 0;
  EngineBridge bridge(nullptr);
  build_zip_record(args, bridge);
  EXPECT_EQ(bridge.record_text, "a b");

  ZIPCMDSTRUCT want = zip_expected(bridge);
  want.Function = 3;
  want.lpszZIPFile = args.archive_path;
  want.recurseFlag = 1;
  want.noDirectoryNamesFlag = 1;
  want.noDirectoryEntriesFlag = 1;
  want.lpszComment = empty_comment;  // the caller's pointer, without the flag
  want.wZipSubOptions = 0x0002;
  want.lZipSubOptions2 = 0x0001;
  EXPECT_EQ(first_difference(bridge.zip, want), -1);
}

TEST(CommandRecords, ZipFunctionCodesAndTexts) {
  const int32_t given[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  const int32_t sent[] = {4, 4, 1, 4, 3, 4, 4, 4, 4, 4};
  for (size_t i = 0; i < std::size(given); ++i) EXPECT_EQ(zip_function_of(given[i]), sent[i]) << given[i];

  // One leading blank, then one trailing blank, and no more.
  EXPECT_EQ(zip_item_list_text("  a  "), " a ");
  EXPECT_EQ(zip_item_list_text(" "), "");
  EXPECT_EQ(zip_item_list_text(nullptr), "");

  EXPECT_EQ(split_size_of("1000"), 65536u);
  EXPECT_EQ(split_size_of("65535"), 65536u);
  EXPECT_EQ(split_size_of("65537"), 65537u);
  EXPECT_EQ(split_size_of(" 1457664 bytes"), 1457664u);
  EXPECT_EQ(split_size_of("abc"), 65536u);
  EXPECT_EQ(split_size_of("-2000000"), 65536u);
  EXPECT_EQ(split_size_of("99999999999999999999"), 0xFFFFFFFFu);
}

TEST(CommandRecords, ExtractRecordAsTheWizardSendsIt) {
  const char* no_password = "";
  ExtractRunArguments args;
  args.archive_path = "/in.zip";
  args.file_pattern = "*";
  args.destination = "/out/";
  args.password = no_password;
  args.recurse = 1;
  args.keep_folders = 1;
  EngineBridge bridge(core::load_string);
  build_extract_record(args, bridge);
  EXPECT_EQ(bridge.record_text, "*");

  UNZIPCMDSTRUCT want;
  std::memset(&want, 0, sizeof want);
  want.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  want.Function = 8;
  want.lpszZIPFile = args.archive_path;
  want.lpszDestination = args.destination;
  want.lpszFilespec = bridge.record_text.c_str();
  want.index = -1;
  want.quietFlag = 1;
  want.recurseFlag = 1;
  want.lpszDecryptCode = no_password;
  want.lpMajorStatus = major_status;
  want.lpMajorUserData = &bridge;
  want.lpMinorStatus = minor_status;
  want.lpMinorUserData = &bridge;
  want.lpMessageDisplay = message_display;
  want.lpMessageDisplayData = &bridge;
  want.wUnzipSubOptions = 0x242;
  want.lUnZipSubOptions2 = 0x2;
  want.lpRenameProcEX = overwrite_request;
  want.lpRenameUserData = &bridge;
  want.pZipInfoEx = &bridge.info;
  EXPECT_EQ(first_difference(bridge.unzip, want), -1);

  // Flat extraction, a password and the caller's count.
  int32_t count = 17;
  args.keep_folders = 0;
  args.password = "pw";
  args.return_count = &count;
  build_extract_record(args, bridge);
  want.noDirectoryNamesFlag = 1;
  want.noDirectoryItemsFlag = 1;
  want.decryptFlag = 1;
  want.lpszDecryptCode = args.password;
  want.returnCount = 17;
  want.lpszFilespec = bridge.record_text.c_str();
  EXPECT_EQ(first_difference(bridge.unzip, want), -1);
}

TEST(CommandRecords, ExtractPatternsAndItemLists) {
  EXPECT_EQ(extract_filespec_text(" *.txt ", nullptr), "*.txt");
  EXPECT_EQ(extract_filespec_text("  x  ", nullptr), " x ");  // one blank each side only
  EXPECT_EQ(extract_filespec_text("*", ""), "*");             // an empty list is no list
  // A list replaces the pattern: ", " separators become blanks, trailing blanks go.
  EXPECT_EQ(extract_filespec_text("*", "a.txt, \"b c.txt\", d,e.txt   "), "a.txt \"b c.txt\" d,e.txt");
  EXPECT_EQ(extract_filespec_text("*", " a, , b"), " a  b");
}

}  // namespace
