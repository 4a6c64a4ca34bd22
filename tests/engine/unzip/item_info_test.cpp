/* tests/engine/unzip/item_info_test.cpp - what zInfo and pZipInfoEx say.
 *
 * Risks: an AES item listed as method 99 or with the wrong class; date texts
 * off by a century; names overrunning the records' buffers or cut inside a
 * character; the caller's word of pZipInfoEx overwritten; the comment copy
 * writing more than returnCount bytes.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "engine/unzip/item_info.h"
#include "ostrana_results.h"
#include "zip_builder.h"

using namespace ostrana;
using testzip::Bytes;

namespace {

/// Loads @p a and returns its entry @p index.
class OneArchive {
 public:
  explicit OneArchive(const testzip::Archive& a) : m_bytes(a.build()), m_in(m_bytes.data(), m_bytes.size()) {
    EXPECT_EQ(0, m_dir.load(m_in, {}));
  }
  DirectoryEntry entry(uint64_t i) {
    DirectoryEntry e;
    EXPECT_EQ(0, m_dir.entry(i, &e));
    return e;
  }

 private:
  Bytes m_bytes;
  MemoryArchiveInput m_in;
  CentralDirectory m_dir;
};

}  // namespace

TEST(ItemInfo, AesItemReportsItsRealMethodAndClass) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("secret.txt", "ciphertext"));
  a.entries.back().method = 99;
  a.entries.back().flags = 0x0001;
  a.entries.back().central_extra = testzip::aes_extra(1, 3, 8);
  OneArchive arc(a);
  DirectoryEntry e = arc.entry(0);
  zInfo z;
  pZipInfoEx x;
  fill_zinfo(e, false, &z);
  fill_zipinfoex(e, false, &x);
  EXPECT_EQ(8, +z.wMethod);
  EXPECT_EQ(8, +x.wMethod);
  EXPECT_EQ(0x103, +x.lEncryptionClass);
  EXPECT_EQ(0x8000, +z.lAttributes & 0x8000);
  EXPECT_EQ(0x8000, +x.lAttributes & 0x8000);
}

TEST(ItemInfo, EncryptionClassTable) {
  struct Case {
    uint16_t flags;
    testzip::Bytes extra;
    int32_t cls;
  };
  const Case cases[] = {
      {0x0000, testzip::aes_extra(1, 3, 8), 0},  // not encrypted: no class
      {0x0001, {}, 0x000},                        // traditional
      {0x0001, testzip::aes_extra(1, 1, 8), 0x101},
      {0x0001, testzip::aes_extra(1, 2, 8), 0x102},
      {0x0001, testzip::aes_extra(2, 3, 0), 0x203},
      {0x0001, testzip::aes_extra(2, 9, 0), 0x2FF},
      {0x0001, testzip::aes_extra(1, 0, 0), 0x1FF},
      {0x0001, testzip::aes_extra(3, 3, 0), 0xFF00},
      {0x0041, testzip::strong_extra(0x660E, 128), 0x801},
      {0x0041, testzip::strong_extra(0x660F, 192), 0x802},
      {0x0041, testzip::strong_extra(0x6610, 256), 0x803},
      {0x0041, testzip::strong_extra(0x6601, 56), 0x900},
      {0x0041, testzip::strong_extra(0x6609, 112), 0xA00},
      {0x0041, testzip::strong_extra(0x6603, 168), 0xB00},
      {0x0041, testzip::strong_extra(0x6602, 64), 0xC00},
      {0x0041, testzip::strong_extra(0x6702, 128), 0xD00},
      {0x0041, testzip::strong_extra(0x6801, 128), 0xE00},
      {0x0041, testzip::strong_extra(0xFFFF, 0), 0xFF00},
      {0x0041, {}, 0xFF00},  // strong encryption flag without its block
  };
  for (const Case& c : cases) {
    testzip::Archive a;
    a.entries.push_back(testzip::stored_entry("x"));
    a.entries.back().flags = c.flags;
    a.entries.back().central_extra = c.extra;
    OneArchive arc(a);
    EXPECT_EQ(c.cls, encryption_class(arc.entry(0))) << std::hex << c.cls;
  }
}

TEST(ItemInfo, DateTextsAndSeconds) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("y2010"));
  a.entries.back().dos_date = (30 << 9) | (7 << 5) | 4;                 // 2010-07-04
  a.entries.back().dos_time = (9 << 11) | (5 << 5) | 29;                // 09:05:58
  a.entries.push_back(testzip::stored_entry("y1999"));
  a.entries.back().dos_date = (19 << 9) | (12 << 5) | 31;               // 1999-12-31
  a.entries.back().dos_time = (23 << 11) | (59 << 5);
  a.entries.push_back(testzip::stored_entry("y2107"));
  a.entries.back().dos_date = 0xFFFF;                                   // every field at its widest
  a.entries.back().dos_time = 0xFFFF;
  OneArchive arc(a);
  zInfo z;
  pZipInfoEx x;
  fill_zinfo(arc.entry(0), false, &z);
  fill_zipinfoex(arc.entry(0), false, &x);
  EXPECT_STREQ("07/04/10  09:05", z.szDate);
  EXPECT_STREQ("07/04/2010  09:05:58", x.szDate);
  EXPECT_EQ(58, +z.lSeconds);
  EXPECT_EQ(58, +x.lSeconds);
  fill_zinfo(arc.entry(1), false, &z);
  EXPECT_STREQ("12/31/99  23:59", z.szDate);
  fill_zinfo(arc.entry(2), false, &z);
  fill_zipinfoex(arc.entry(2), false, &x);
  EXPECT_STREQ("15/31/07  31:63", z.szDate);
  EXPECT_STREQ("15/31/2107  31:63:62", x.szDate);
  EXPECT_LT(std::strlen(z.szDate), sizeof z.szDate);
}

TEST(ItemInfo, LongNameAndItsShortForm) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("My Document.txt"));
  a.entries.push_back(testzip::stored_entry("README.TXT"));
  OneArchive arc(a);
  zInfo z;
  pZipInfoEx x;
  DirectoryEntry e = arc.entry(0);
  fill_zinfo(e, false, &z);
  EXPECT_STREQ("My Document.txt", z.szFileName);
  EXPECT_EQ(0x10000, +z.lAttributes & 0x10000);
  fill_zinfo(e, true, &z);
  fill_zipinfoex(e, true, &x);
  EXPECT_STREQ("MyDocume.txt", z.szFileName);
  EXPECT_STREQ("MyDocume.txt", x.szFileName);
  EXPECT_EQ(0x10000, +z.lAttributes & 0x10000);  // still marked long
  EXPECT_EQ(0x10000, +x.lAttributes & 0x10000);
  fill_zinfo(arc.entry(1), true, &z);
  EXPECT_STREQ("README.TXT", z.szFileName);
  EXPECT_EQ(0x20, +z.lAttributes);
}

TEST(ItemInfo, NamesAreCutToTheirRecords) {
  testzip::Archive a;
  std::string n300(300, 'n');
  a.entries.push_back(testzip::stored_entry(n300));
  std::string n3000 = std::string(2046, 'm') + "\xC3\xA9" + std::string(900, 'm');
  a.entries.push_back(testzip::stored_entry(n3000));
  a.entries.back().flags = 0x0800;
  std::string utf = std::string(258, 'u') + "\xC3\xA9";  // the two-byte character straddles byte 259
  a.entries.push_back(testzip::stored_entry(utf));
  a.entries.back().flags = 0x0800;
  OneArchive arc(a);
  zInfo z;
  pZipInfoEx x;
  fill_zinfo(arc.entry(0), false, &z);
  fill_zipinfoex(arc.entry(0), false, &x);
  EXPECT_EQ(std::string(259, 'n'), z.szFileName);
  EXPECT_EQ(n300, x.szFileName);
  fill_zipinfoex(arc.entry(1), false, &x);
  EXPECT_EQ(std::string(2046, 'm'), x.szFileName);  // the character at 2046..2047 does not fit whole
  fill_zinfo(arc.entry(2), false, &z);
  EXPECT_EQ(std::string(258, 'u'), z.szFileName);
}

TEST(ItemInfo, EveryFieldOfBothRecords) {
  testzip::Archive a;
  a.entries.push_back(testzip::stored_entry("dir/"));
  a.entries.back().data.clear();
  a.entries.back().external_attributes = 0x10;
  a.entries.push_back(testzip::stored_entry("dir/file.txt", "0123456789"));
  a.entries.back().method = 8;
  a.entries.back().flags = 0x0008 | 0x0002;
  a.entries.back().uncompressed_size = 40;
  a.entries.back().version_made_by = 0x0314;
  a.entries.back().version_needed = 20;
  a.entries.back().external_attributes = 0x81A4FFFF;
  a.entries.back().crc = 0xCAFEF00D;
  a.entries.push_back(testzip::stored_entry("big"));
  a.entries.back().zip64 = true;
  a.entries.back().uncompressed_size = 0x100000005ull;
  OneArchive arc(a);

  zInfo z;
  pZipInfoEx x;
  std::memset(&x, 0xAB, sizeof x);
  x.lCallerWord = 0x5A5A5A5A;
  fill_zinfo(arc.entry(0), false, &z);
  EXPECT_EQ(1, +z.wIsFolder);
  EXPECT_EQ(0x10, +z.lAttributes);
  fill_zinfo(arc.entry(1), false, &z);
  fill_zipinfoex(arc.entry(1), false, &x);
  EXPECT_EQ(1, +z.wIndex);
  EXPECT_EQ(40u, +z.dwUncompressedSize);
  EXPECT_EQ(10u, +z.dwCompressedSize);
  EXPECT_EQ(8, +z.wMethod);
  EXPECT_EQ(0x000A, +z.wFlags);
  EXPECT_EQ(0, +z.wIsFolder);  // a file in a folder is not a folder
  EXPECT_EQ(0xCAFEF00Du, +z.dwCRC32);
  EXPECT_EQ(0x7FFF, +z.lAttributes);  // low 15 bits only
  EXPECT_EQ(0, +z.lResv);
  EXPECT_EQ(0x5A5A5A5A, +x.lCallerWord);
  EXPECT_EQ(1, +x.lIndex);
  EXPECT_EQ(40u, +x.qwUncompressedSize);
  EXPECT_EQ(10u, +x.qwCompressedSize);
  EXPECT_EQ(0xCAFEF00Du, +x.dwCRC32);
  EXPECT_EQ(0x00140314, +x.lVersions);
  EXPECT_EQ(0, +x.lEncryptionClass);
  int32_t resv[5];
  std::memcpy(resv, x.lResv, sizeof resv);
  for (int32_t r : resv) EXPECT_EQ(0, r);
  EXPECT_STREQ("dir/file.txt", x.szFileName);
  EXPECT_EQ(0, x.szFileName[2047]);

  fill_zinfo(arc.entry(2), false, &z);
  fill_zipinfoex(arc.entry(2), false, &x);
  EXPECT_EQ(0x100000005ull, +x.qwUncompressedSize);
  EXPECT_EQ(0xFFFFFFFFu, +z.dwUncompressedSize);  // does not fit 32 bits
  EXPECT_EQ(4u, +z.dwCompressedSize);             // the block's small value, not 0xFFFFFFFF
}

TEST(ItemInfo, CommentLengthAndCopy) {
  testzip::Archive a;
  a.comment = "This comment is 25 bytes.";
  ASSERT_EQ(25u, a.comment.size());
  Bytes b = a.build();
  MemoryArchiveInput in(b.data(), b.size());
  std::vector<uint8_t> comment;
  ASSERT_EQ(0, read_comment(in, &comment));
  EXPECT_EQ(25u, comment.size());
  char buf[64];
  std::memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(10, copy_comment(comment, buf, 10));
  EXPECT_EQ(std::string("This comme"), std::string(buf));
  EXPECT_EQ('Z', buf[11]);  // nothing beyond returnCount + 1
  EXPECT_EQ(25, copy_comment(comment, buf, 2047));
  EXPECT_STREQ(a.comment.c_str(), buf);
  EXPECT_EQ(0, copy_comment(comment, buf, 0));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(0, copy_comment(comment, buf, -5));

  Bytes none(100, 'x');
  MemoryArchiveInput bad(none.data(), none.size());
  EXPECT_EQ(OU_BAD_STRUCTURE, read_comment(bad, &comment));
  EXPECT_TRUE(comment.empty());
  EXPECT_EQ(0, copy_comment(comment, buf, 10));
  EXPECT_STREQ("", buf);
}
