/* tests/engine/common/zip_records_test.cpp - record layouts and DOS time fields.
 *
 * Risk: reader and writer share one layout; a field written at the wrong offset
 * would round-trip through the engine and still be unreadable for every other
 * tool.  So the engine's serialisers are compared with the test builder, which
 * writes each field independently, and its parsers read the builder's bytes.
 */
#include <gtest/gtest.h>

#include "engine/common/dos_time.h"
#include "engine/common/zip_records.h"
#include "zip_builder.h"

using namespace ostrana;
using namespace ostrana::zip;
using testzip::Bytes;

TEST(ZipRecords, LittleEndianHelpers) {
  uint8_t b[8];
  put_le64(b, 0x0102030405060708ull);
  EXPECT_EQ(0x08, b[0]);
  EXPECT_EQ(0x01, b[7]);
  EXPECT_EQ(0x0102030405060708ull, get_le64(b));
  EXPECT_EQ(0x05060708u, get_le32(b));
  EXPECT_EQ(0x0708u, get_le16(b));
  EXPECT_EQ(0xFFFFu, saturate16(70000));
  EXPECT_EQ(65534u, saturate16(65534));
  EXPECT_EQ(0xFFFFFFFFu, saturate32(0x100000000ull));
  EXPECT_EQ(7u, saturate32(7));
}

TEST(ZipRecords, EngineWritesWhatTheBuilderWrites) {
  testzip::Archive a;
  testzip::Entry e;
  e.name = "a.txt";
  e.data = {'h', 'i'};
  e.comment = "c";
  e.external_attributes = 0x21;
  a.entries.push_back(e);
  a.comment = "xyz";
  testzip::Layout layout;
  Bytes built = testzip::build_with_layout(a, &layout);

  LocalHeader lh;
  ASSERT_TRUE(parse_local_header(built.data(), &lh));
  EXPECT_EQ(5, lh.name_nbytes);
  EXPECT_EQ(2u, lh.compressed_size);
  EXPECT_EQ(testzip::kDefaultDosDate, lh.mod_date);
  uint8_t again[kLocalHeaderSize];
  write_local_header(lh, again);
  EXPECT_TRUE(std::equal(again, again + kLocalHeaderSize, built.begin()));

  const uint8_t* central = built.data() + layout.directory_offset;
  CentralHeader ch;
  ASSERT_TRUE(parse_central_header(central, &ch));
  EXPECT_EQ(0x21u, ch.external_attributes);
  EXPECT_EQ(1, ch.comment_nbytes);
  EXPECT_EQ(lh.crc32, ch.crc32);
  uint8_t central_again[kCentralHeaderSize];
  write_central_header(ch, central_again);
  EXPECT_TRUE(std::equal(central_again, central_again + kCentralHeaderSize, central));

  EndRecord er;
  ASSERT_TRUE(parse_end_record(built.data() + layout.end_offset, &er));
  EXPECT_EQ(1, er.entries_total);
  EXPECT_EQ(layout.directory_offset, er.directory_offset);
  EXPECT_EQ(3, er.comment_nbytes);
  EXPECT_FALSE(er.needs_zip64());
  uint8_t end_again[kEndRecordSize];
  write_end_record(er, end_again);
  EXPECT_TRUE(std::equal(end_again, end_again + kEndRecordSize, built.data() + layout.end_offset));

  // A parser refuses a record that does not start with its signature.
  EXPECT_FALSE(parse_central_header(built.data(), &ch));
  EXPECT_FALSE(parse_local_header(central, &lh));
}

TEST(ZipRecords, Zip64RecordAndLocatorRoundTrip) {
  testzip::Archive a;
  a.zip64_end = true;
  testzip::Layout layout;
  Bytes built = testzip::build_with_layout(a, &layout);
  const uint8_t* rec = built.data() + layout.directory_offset + layout.directory_nbytes;
  uint64_t rest = 0;
  ASSERT_TRUE(parse_zip64_end_head(rec, &rest));
  EXPECT_EQ(44u, rest);
  Zip64EndRecord z;
  EXPECT_EQ(31u, parse_zip64_end_body(rec + 12, 44, &z));
  uint8_t again[kZip64EndRecordSize];
  write_zip64_end_record(z, again);
  EXPECT_TRUE(std::equal(again, again + kZip64EndRecordSize, rec));
  Zip64Locator loc;
  ASSERT_TRUE(parse_zip64_locator(rec + kZip64EndRecordSize, &loc));
  EXPECT_EQ(layout.directory_offset, loc.record_offset);
  uint8_t loc_again[kZip64LocatorSize];
  write_zip64_locator(loc, loc_again);
  EXPECT_TRUE(std::equal(loc_again, loc_again + kZip64LocatorSize, rec + kZip64EndRecordSize));

  // A short body fills only the fields it holds.
  Zip64EndRecord partial;
  partial.directory_offset = 77;
  EXPECT_EQ(1u | 2u | 4u, parse_zip64_end_body(rec + 12, 30, &partial));
  EXPECT_EQ(77u, partial.directory_offset);
}

TEST(ZipRecords, DataDescriptorsOfBothSizes) {
  DataDescriptor d;
  d.crc32 = 0xDEADBEEF;
  d.compressed_size = 0x123456789ull;
  d.uncompressed_size = 5;
  uint8_t b[kDataDescriptor64Size];
  ASSERT_EQ(kDataDescriptor64Size, write_data_descriptor(d, true, b));
  DataDescriptor r;
  ASSERT_TRUE(parse_data_descriptor(b, kDataDescriptor64Size, &r));
  EXPECT_EQ(d.compressed_size, r.compressed_size);
  EXPECT_EQ(5u, r.uncompressed_size);
  ASSERT_EQ(kDataDescriptorSize, write_data_descriptor(d, false, b));
  ASSERT_TRUE(parse_data_descriptor(b, kDataDescriptorSize, &r));
  EXPECT_EQ(0x23456789u, r.compressed_size);
  EXPECT_EQ(0xDEADBEEFu, r.crc32);
}

TEST(DosTime, PackAndUnpack) {
  DosDateTime t{2010, 6, 15, 12, 30, 59};
  uint16_t d, tm;
  pack_dos_date_time(t, &d, &tm);
  EXPECT_EQ(testzip::kDefaultDosDate, d);
  EXPECT_EQ(testzip::kDefaultDosTime | 29, tm);  // 59 seconds round down to 58
  EXPECT_EQ(58u, unpack_dos_date_time(d, tm).second);
  EXPECT_EQ(static_cast<uint32_t>(d) << 16 | tm, dos_date_time_word(d, tm));
  DosDateTime early{1970, 1, 1, 0, 0, 0};
  pack_dos_date_time(early, &d, &tm);
  EXPECT_EQ(1980u, unpack_dos_date_time(d, tm).year);
  DosDateTime late{2200, 12, 31, 23, 59, 58};
  pack_dos_date_time(late, &d, &tm);
  EXPECT_EQ(2107u, unpack_dos_date_time(d, tm).year);
  EXPECT_EQ(12u, unpack_dos_date_time(d, tm).month);
}

TEST(DosTime, FieldsOfBothWords) {
  DosDateTime t = unpack_dos_date_time(testzip::kDefaultDosDate, testzip::kDefaultDosTime | 29);
  EXPECT_EQ(2010u, t.year);
  EXPECT_EQ(6u, t.month);
  EXPECT_EQ(15u, t.day);
  EXPECT_EQ(12u, t.hour);
  EXPECT_EQ(30u, t.minute);
  EXPECT_EQ(58u, t.second);
  // Every field at its widest: nothing spills into its neighbour.
  DosDateTime w = unpack_dos_date_time(0xFFFF, 0xFFFF);
  EXPECT_EQ(2107u, w.year);
  EXPECT_EQ(15u, w.month);
  EXPECT_EQ(31u, w.day);
  EXPECT_EQ(31u, w.hour);
  EXPECT_EQ(63u, w.minute);
  EXPECT_EQ(62u, w.second);
}
