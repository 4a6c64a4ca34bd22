/* tests/bridge/archive_listing_test.cpp - the archive listing, the comment and the encrypted-items question.
 *
 * Risks: rows whose texts differ from the engine's listing texts, sizes cut to
 * 32 bits, statistics that count wrong or leak from another archive into the
 * performing page's password question, 288 notifications flooding the page
 * (one per item) or a Stop that does not stop.  Archives come byte by byte
 * from the archive builder, and from 7-Zip for real AES items.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/strings.h"
#include "bridge/engine_bridge.h"
#include "ostrana_results.h"
#include "peer_run.h"
#include "recording_callback.h"
#include "test_env.h"
#include "zip_builder.h"

namespace {

using namespace bridge;
using bridgetest::Notice;
using bridgetest::RecordingCallback;

std::string write_archive(const std::string& name, const testzip::Archive& archive) {
  const std::string path = testenv::make_temp_dir("listing") + "/" + name;
  testenv::write_file(path, archive.build());
  return path;
}

TEST(ArchiveListing, EmptyArchiveLeavesTheVectorEmpty) {
  const std::string path = testenv::make_temp_dir("listing") + "/empty.zip";
  testenv::write_file(path, testzip::empty_archive());
  std::vector<ArchiveItem> items(2);  // a caller's earlier rows are dropped
  int32_t count = -5;
  RecordingCallback ui;
  EXPECT_EQ(list_archive(core::load_string, nullptr, path.c_str(), &items, &count, &ui), 0);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(ui.notices.empty());
  EXPECT_EQ(listing_statistics().files + listing_statistics().folders, 0u);

  // Not an archive: the engine's code, no rows, no count.
  const std::string junk = testenv::make_temp_dir("listing") + "/junk.zip";
  testenv::write_file(junk, std::vector<uint8_t>(100, 'x'));
  EXPECT_NE(list_archive(core::load_string, nullptr, junk.c_str(), &items, &count, nullptr), 0);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(count, 0);
  EXPECT_EQ(list_archive(core::load_string, nullptr, nullptr, &items, &count, nullptr), kNoArchivePath);
}

TEST(ArchiveListing, RowsStatisticsAndComment) {
  testzip::Archive archive;
  testzip::Entry folder = testzip::stored_entry("docs/", "");
  folder.external_attributes = 0x10;
  folder.version_made_by = 0x0314;  // host 3, version 20
  archive.entries.push_back(folder);
  testzip::Entry file = testzip::stored_entry("docs/readme.txt", "hello");
  file.version_made_by = 0x001E;  // host 0, version 30
  file.version_needed = 10;
  file.external_attributes = 0x21;
  archive.entries.push_back(file);
  testzip::Entry big = testzip::stored_entry("big.bin", "x");
  big.zip64 = true;
  big.uncompressed_size = 5ull << 30;  // 5 GiB: all 64 bits reach the row and the totals
  big.version_needed = 45;
  big.version_made_by = 0x032D;
  archive.entries.push_back(big);
  archive.comment = "The archive comment";
  const std::string path = write_archive("rows.zip", archive);

  std::vector<ArchiveItem> items;
  int32_t count = 0;
  ASSERT_EQ(list_archive(core::load_string, nullptr, path.c_str(), &items, &count, nullptr), 0);
  ASSERT_EQ(count, 3);
  ASSERT_EQ(items.size(), 3u);
  const ArchiveItem& row = items[1];
  EXPECT_EQ(row.name, "docs/readme.txt");
  EXPECT_EQ(row.crc_text, "0x3610A686");  // CRC-32 of "hello"
  EXPECT_EQ(row.method_name, "Store");
  EXPECT_EQ(row.ratio_text, "0.0%");
  EXPECT_EQ(row.attribute_text, "A----R  ");
  EXPECT_EQ(row.date_text, "06/15/2010  12:30:00");
  EXPECT_EQ(row.encryption_text, "none");
  EXPECT_FALSE(row.is_folder);
  EXPECT_EQ(row.uncompressed_size, 5u);
  EXPECT_EQ(row.compressed_size, 5u);
  EXPECT_EQ(row.item_number, 1);
  EXPECT_TRUE(items[0].is_folder);
  EXPECT_EQ(items[0].attribute_text, "-S----  ");
  EXPECT_EQ(items[2].uncompressed_size, 5ull << 30);
  EXPECT_EQ(items[2].ratio_text, "99.9%");

  const ListingStatistics& s = listing_statistics();
  EXPECT_EQ(s.archive_path, path);
  EXPECT_EQ(s.files, 2u);
  EXPECT_EQ(s.folders, 1u);
  EXPECT_EQ(s.total_uncompressed, (5ull << 30) + 5);
  EXPECT_EQ(s.total_compressed, 6u);
  EXPECT_EQ(s.encrypted, 0u);
  EXPECT_EQ(s.lowest_version_made_by, 20);
  EXPECT_EQ(s.lowest_host_system, 0);
  EXPECT_EQ(s.lowest_version_needed, 10);

  ArchiveComment comment;
  ASSERT_EQ(archive_comment(core::load_string, nullptr, path.c_str(), &comment), 0);
  EXPECT_EQ(comment.comment, "The archive comment");
  EXPECT_EQ(comment.statistics.files, 2u);
  EXPECT_EQ(comment.statistics.total_compressed, 6u);
  EXPECT_EQ(archive_has_encrypted_items(core::load_string, nullptr, path.c_str()), 0);
}

TEST(ArchiveListing, ProgressOnlyWhenItChangesAndStop) {
  testzip::Archive archive;
  for (int i = 0; i < 30; ++i) archive.entries.push_back(testzip::stored_entry("f" + std::to_string(i)));
  const std::string path = write_archive("thirty.zip", archive);

  std::vector<ArchiveItem> items;
  RecordingCallback ui;
  ASSERT_EQ(list_archive(nullptr, nullptr, path.c_str(), &items, nullptr, &ui), 0);
  EXPECT_EQ(items.size(), 30u);
  ASSERT_EQ(ui.notices.size(), 25u);  // (25 x index) / 30 takes each value 0..24 once
  for (size_t i = 0; i < ui.notices.size(); ++i) {
    EXPECT_EQ(ui.notices[i].code, kNotifyItemFound);
    EXPECT_EQ(ui.notices[i].value, static_cast<int32_t>(i));
  }
  EXPECT_EQ(ui.notices[0].text, "Found Item 'f0'...");
  EXPECT_EQ(ui.notices[1].text, "Found Item 'f2'...");  // f1 has progress 0 as well

  // A non-zero answer stops the listing; the rows before it stay.
  RecordingCallback stopper;
  stopper.respond = [](const Notice& n, std::string*, int32_t*) { return n.value == 2 ? 1 : 0; };
  EXPECT_EQ(list_archive(nullptr, nullptr, path.c_str(), &items, nullptr, &stopper), OU_USER_CANCELLED);
  EXPECT_EQ(items.size(), 3u);  // f0, f1, f2; f3 (progress 2) was refused
}

TEST(ArchiveListing, EncryptedItemsAnswerThePasswordQuestion) {
  if (!testenv::have_7zz()) GTEST_SKIP() << "7zz not installed";
  const std::string dir = testenv::make_temp_dir("aes");
  for (const char* name : {"one.txt", "two.txt", "plain.txt"})
    testenv::write_file(dir + "/" + name, std::vector<uint8_t>(300, static_cast<uint8_t>(name[0])));
  const std::string mixed = dir + "/mixed.zip";
  const std::string q = testenv::shell_quote(dir);
  ASSERT_EQ(testenv::run_command("cd " + q + " && 7zz a -tzip -pX -mem=AES256 mixed.zip one.txt two.txt >/dev/null"
                                 " && 7zz a -tzip mixed.zip plain.txt >/dev/null"),
            0);

  std::vector<ArchiveItem> items;
  ASSERT_EQ(list_archive(core::load_string, nullptr, mixed.c_str(), &items, nullptr, nullptr), 0);
  ASSERT_EQ(items.size(), 3u);
  for (const ArchiveItem& item : items) {
    const bool aes = item.name != "plain.txt";
    EXPECT_EQ(item.encryption_text.startsWith("wZip AES-"), aes) << item.name.toStdString();
    EXPECT_EQ(item.encryption_text.endsWith("[256 bit]"), aes);
    EXPECT_EQ(item.attribute_text.mid(6, 1), aes ? "E" : " ");
    EXPECT_EQ(item.method_name, "Deflate");  // the real method, never 99
  }
  EXPECT_EQ(listing_statistics().encrypted, 2u);
  EXPECT_EQ(archive_has_encrypted_items(core::load_string, nullptr, mixed.c_str()), 1);

  // The statistics describe the archive listed last, and no other.
  const std::string other = dir + "/other.zip";
  EXPECT_EQ(archive_has_encrypted_items(core::load_string, nullptr, other.c_str()), 0);
  testenv::write_file(other, testzip::empty_archive());
  ASSERT_EQ(list_archive(core::load_string, nullptr, other.c_str(), &items, nullptr, nullptr), 0);
  EXPECT_EQ(archive_has_encrypted_items(core::load_string, nullptr, mixed.c_str()), 0);
}

}  // namespace
