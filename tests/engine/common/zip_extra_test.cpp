/* tests/engine/common/zip_extra_test.cpp - the extra blocks and their limits.
 *
 * Risks: an oversized block (a 33-byte Zip64, a 12-byte AES or a 17-byte strong
 * encryption block) read into a fixed buffer; a block whose size runs past the
 * field; Zip64 fields read at fixed positions instead of "only the saturated
 * ones, in order".
 */
#include <gtest/gtest.h>

#include "engine/common/zip_extra.h"
#include "ostrana_results.h"
#include "zip_builder.h"

using namespace ostrana::zip;
using testzip::Bytes;

namespace {

Zip64Header saturated_all() {
  Zip64Header h;
  h.uncompressed_size = h.compressed_size = h.local_header_offset = kSaturated32;
  h.disk_start = kSaturated16;
  return h;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

int scan(const Bytes& extra, const Zip64Header& h, EntryExtras* e, ExtraScope scope = ExtraScope::kCentral) {
  return scan_entry_extras(extra.data(), extra.size(), h, scope, e);
}

}  // namespace

TEST(ZipExtra, LimitsAreInclusiveAndOneMoreIsRefused) {
  EntryExtras e;
  Zip64Header h = saturated_all();
  EXPECT_EQ(0, scan(testzip::zip64_extra({1, 2, 3, 4}, 28), h, &e));  // 32 bytes
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(testzip::zip64_extra({1, 2, 3, 4}, 29), h, &e));  // 33
  Bytes aes = testzip::aes_extra(1, 3, 8);
  ASSERT_EQ(11u, aes.size());
  EXPECT_EQ(0, scan(aes, Zip64Header(), &e));
  Bytes aes12 = testzip::extra_block(0x9901, Bytes{1, 0, 'A', 'E', 3, 8, 0, 0});
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(aes12, Zip64Header(), &e));
  Bytes strong = testzip::strong_extra(0x6610, 256);
  Bytes strong16 = testzip::extra_block(0x0017, Bytes(12, 0));
  Bytes strong17 = testzip::extra_block(0x0017, Bytes(13, 0));
  EXPECT_EQ(0, scan(strong, Zip64Header(), &e));
  EXPECT_EQ(0, scan(strong16, Zip64Header(), &e));
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(strong17, Zip64Header(), &e));
  // A local header is not searched for the strong encryption block.
  EXPECT_EQ(0, scan(strong17, Zip64Header(), &e, ExtraScope::kLocal));
  EXPECT_FALSE(e.has_strong_encryption);
  // Too short for the fixed fields is as unusable as too long.
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(testzip::extra_block(0x9901, Bytes{1, 0}), Zip64Header(), &e));
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(testzip::extra_block(0x0017, Bytes{2, 0}), Zip64Header(), &e));
}

TEST(ZipExtra, Zip64FieldsArePresentOnlyWhenSaturated) {
  EntryExtras e;
  Zip64Header h;
  h.uncompressed_size = 10;
  h.compressed_size = kSaturated32;
  h.local_header_offset = kSaturated32;
  h.disk_start = 0;
  // Only compressed size and offset are in the block, in that order.
  ASSERT_EQ(0, scan(testzip::zip64_extra({0x100000000ull, 0x200000000ull}, 16), h, &e));
  EXPECT_TRUE(e.has_zip64_block);
  EXPECT_EQ(10u, e.zip64.uncompressed_size);
  EXPECT_EQ(0x100000000ull, e.zip64.compressed_size);
  EXPECT_EQ(0x200000000ull, e.zip64.local_header_offset);
  EXPECT_EQ(0u, e.zip64.disk_start);
  // A block that lacks a saturated field is unusable in the central directory...
  EXPECT_EQ(OU_BAD_STRUCTURE, scan(testzip::zip64_extra({5}, 8), h, &e));
  // ... while in a local header the central values stand in.
  EXPECT_EQ(0, scan(testzip::zip64_extra({5}, 8), h, &e, ExtraScope::kLocal));
  EXPECT_FALSE(e.has_zip64_block);
  // All four, disk included.
  ASSERT_EQ(0, scan(testzip::zip64_extra({1, 2, 3, 0x0000000700000000ull}, 28), saturated_all(), &e));
  EXPECT_EQ(1u, e.zip64.uncompressed_size);
  EXPECT_EQ(3u, e.zip64.local_header_offset);
  EXPECT_EQ(0u, e.zip64.disk_start);  // the low 4 bytes of the fourth value
}

TEST(ZipExtra, WithoutABlockTheValuesAreBuiltFromTheHeader) {
  Zip64Header h;
  h.uncompressed_size = 1000;
  h.compressed_size = 600;
  h.local_header_offset = 42;
  h.disk_start = 2;
  EntryExtras e;
  ASSERT_EQ(0, scan(Bytes{}, h, &e));
  EXPECT_FALSE(e.has_zip64_block);
  EXPECT_EQ(1000u, e.zip64.uncompressed_size);
  EXPECT_EQ(600u, e.zip64.compressed_size);
  EXPECT_EQ(42u, e.zip64.local_header_offset);
  EXPECT_EQ(2u, e.zip64.disk_start);
  // A field of 4 bytes or less is not searched at all.
  ASSERT_EQ(0, scan(testzip::extra_block(0x0001, Bytes{}), saturated_all(), &e));
  EXPECT_FALSE(e.has_zip64_block);
}

TEST(ZipExtra, WalkSkipsUnknownBlocksAndStopsAtATruncatedOne) {
  Bytes unix_block = testzip::extra_block(0x7875, Bytes{1, 4, 0xE8, 3, 0, 0, 4, 0xE8, 3, 0, 0});
  Bytes extra = concat({unix_block, testzip::aes_extra(2, 1, 0)});
  EntryExtras e;
  ASSERT_EQ(0, scan(extra, Zip64Header(), &e));
  EXPECT_TRUE(e.has_aes);
  EXPECT_EQ(2, e.aes.vendor_version);
  EXPECT_EQ(1, e.aes.strength);
  EXPECT_EQ(0x4541, e.aes.vendor_id);
  // A block claiming more bytes than the field holds ends the walk.
  Bytes truncated = concat({testzip::extra_block(0x5455, Bytes{1, 2, 3}), testzip::aes_extra(1, 3, 8)});
  truncated[2] = 200;
  ASSERT_EQ(0, scan(truncated, Zip64Header(), &e));
  EXPECT_FALSE(e.has_aes);
  // The first block of a tag is the one that counts.
  Bytes two = concat({testzip::aes_extra(1, 1, 8), testzip::aes_extra(2, 3, 0)});
  ASSERT_EQ(0, scan(two, Zip64Header(), &e));
  EXPECT_EQ(1, e.aes.vendor_version);
}

TEST(ZipExtra, WritersProduceWhatTheReadersAccept) {
  uint8_t buf[32];
  Zip64Values v;
  v.uncompressed_size = 0x1122334455ull;
  v.compressed_size = 7;
  v.local_header_offset = 0x99;
  v.disk_start = 3;
  size_t n = write_zip64_block(v, 1u | 4u, buf);
  ASSERT_EQ(20u, n);
  ExtraBlock block;
  ASSERT_TRUE(find_extra_block(buf, n, kExtraZip64, &block));
  Zip64Header h;
  h.uncompressed_size = kSaturated32;
  h.compressed_size = 7;
  h.local_header_offset = kSaturated32;
  Zip64Values back;
  ASSERT_EQ(0, parse_zip64_block(block, h, &back));
  EXPECT_EQ(v.uncompressed_size, back.uncompressed_size);
  EXPECT_EQ(0x99u, back.local_header_offset);
  EXPECT_EQ(32u, write_zip64_block(v, 15u, buf));

  AesExtra a{2, kAesVendorId, 3, 8}, ar;
  ASSERT_EQ(11u, write_aes_block(a, buf));
  EXPECT_EQ(Bytes(buf, buf + 11), testzip::aes_extra(2, 3, 8));
  ASSERT_TRUE(find_extra_block(buf, 11, kExtraAes, &block));
  ASSERT_TRUE(parse_aes_block(block, &ar));
  EXPECT_EQ(8, ar.method);

  StrongEncryptionExtra s{2, 0x6610, 256, 1}, sr;
  ASSERT_EQ(12u, write_strong_encryption_block(s, buf));
  EXPECT_EQ(Bytes(buf, buf + 12), testzip::strong_extra(0x6610, 256));
  ASSERT_TRUE(find_extra_block(buf, 12, kExtraStrongEncryption, &block));
  ASSERT_TRUE(parse_strong_encryption_block(block, &sr));
  EXPECT_EQ(0x6610, sr.algorithm_id);
}

// ---- times in extra blocks ------------------------------------------------------------

namespace zip = ostrana::zip;

TEST(TimeBlocks, ExtendedTimestampWrittenAndRead) {
  uint8_t b[zip::kTimestampBlock];
  ASSERT_EQ(9u, zip::write_timestamp_block(1588748889, b));
  EXPECT_EQ(0x5455, zip::get_le16(b));
  EXPECT_EQ(5, zip::get_le16(b + 2));
  EXPECT_EQ(1, b[4]);
  zip::EntryExtras e;
  ASSERT_EQ(0, zip::scan_entry_extras(b, sizeof b, {}, zip::ExtraScope::kCentral, &e));
  EXPECT_TRUE(e.has_mtime);
  EXPECT_EQ(1588748889, e.mtime);
  // Beyond 32 signed bits, or before 1970: no block at all.
  EXPECT_EQ(0u, zip::write_timestamp_block(-1, b));
  EXPECT_EQ(0u, zip::write_timestamp_block(int64_t{1} << 31, b));
  // A block without the modification time, or too short for it, says nothing.
  for (const std::vector<uint8_t>& data : {std::vector<uint8_t>{2, 1, 2, 3, 4}, std::vector<uint8_t>{1, 1, 2}}) {
    std::vector<uint8_t> block = testzip::extra_block(0x5455, data);
    ASSERT_EQ(0, zip::scan_entry_extras(block.data(), block.size(), {}, zip::ExtraScope::kCentral, &e));
    EXPECT_FALSE(e.has_mtime);
  }
}

TEST(TimeBlocks, NtfsTimesAreReadWhenNoTimestampBlockIs) {
  // 2020-05-06 07:08:09 UTC in 100 ns units since 1601, as 7-Zip writes it.
  const uint64_t ticks = (1588748889ull + 11644473600ull) * 10000000ull + 1234567;
  testzip::Bytes data = {0, 0, 0, 0};
  testzip::put16(data, 1);
  testzip::put16(data, 24);
  for (int i = 0; i < 3; ++i) testzip::put64(data, ticks);
  testzip::Bytes ntfs = testzip::extra_block(0x000A, data);
  zip::EntryExtras e;
  ASSERT_EQ(0, zip::scan_entry_extras(ntfs.data(), ntfs.size(), {}, zip::ExtraScope::kCentral, &e));
  EXPECT_TRUE(e.has_mtime);
  EXPECT_EQ(1588748889, e.mtime);
  // The extended timestamp wins when both are there.
  uint8_t stamp[zip::kTimestampBlock];
  zip::write_timestamp_block(1000000000, stamp);
  testzip::Bytes both = ntfs;
  both.insert(both.end(), stamp, stamp + sizeof stamp);
  ASSERT_EQ(0, zip::scan_entry_extras(both.data(), both.size(), {}, zip::ExtraScope::kCentral, &e));
  EXPECT_EQ(1000000000, e.mtime);
  // An attribute whose size runs past the block is not read.
  testzip::Bytes bad = {0, 0, 0, 0, 1, 0, 0xFF, 0};
  testzip::Bytes block = testzip::extra_block(0x000A, bad);
  ASSERT_EQ(0, zip::scan_entry_extras(block.data(), block.size(), {}, zip::ExtraScope::kCentral, &e));
  EXPECT_FALSE(e.has_mtime);
}
