/* tests/engine/unzip/sample_archives_test.cpp - the expanders on archives other programs made.
 *
 * Risk: legacy formats (shrink, reduce, implode) have details that no
 * encoder here can produce - partial clearing, follower sets, the order in
 * which Shannon-Fano codes are assigned, the zero-filled window - and only
 * data made by the original programs shows whether they were read right.
 * Every shrunk, reduced, imploded and Deflate64 member of the sample archives
 * must expand to its stored size and CRC-32.  The table below pins which
 * members there are, so that the coverage (both implode windows, with and
 * without the literal tree, all four reduce factors, a Deflate64 member with
 * distances beyond 32 KiB) cannot silently shrink.
 */
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/unzip/expand.h"
#include "expander_test_support.h"

using namespace ostrana;
using namespace exptest;

namespace {

struct Expected {
  const char* archive;
  const char* member;
  uint16_t method;
  uint16_t flags;  ///< the implode bits (1: 8 KiB window, 2: literal tree), others masked off
};

const Expected kMembers[] = {
    {"commons-compress/SHRUNK.ZIP", "TEST1.XML", kMethodShrink, 0},
    {"commons-compress/SHRUNK.ZIP", "TEST2.XML", kMethodShrink, 0},
    {"sharpcompress/Zip.shrink.zip", "TECT.TXT", kMethodShrink, 0},
    {"sharpcompress/Zip.shrink.zip", "TEST.EXE", kMethodShrink, 0},  // long enough for partial clearing
    {"zip2/shrink.zip", "FIRST.TXT", kMethodShrink, 0},
    {"sharpcompress/Zip.reduce1.zip", "TEST.EXE", 2, 0},
    {"sharpcompress/Zip.reduce1.zip", "TEST.JPG", 2, 0},
    {"sharpcompress/Zip.reduce2.zip", "TEST.EXE", 3, 0},
    {"sharpcompress/Zip.reduce2.zip", "TEST.JPG", 3, 0},
    {"sharpcompress/Zip.reduce3.zip", "TEST.EXE", 4, 0},
    {"sharpcompress/Zip.reduce3.zip", "TEST.JPG", 4, 0},
    {"sharpcompress/Zip.reduce4.zip", "TEST.EXE", 5, 0},
    {"sharpcompress/Zip.reduce4.zip", "TEST.JPG", 5, 0},
    {"zip2/reduce.zip", "first.txt", 5, 0},
    {"commons-compress/imploding-4Kdict-2trees.zip", "HEADER.TXT", kMethodImplode, 0},
    {"commons-compress/imploding-8Kdict-3trees.zip", "LICENSE.TXT", kMethodImplode, 6},
    {"sharpcompress/Zip.implode.zip", "EXE/TEST.EXE", kMethodImplode, 0},
    {"sharpcompress/Zip.implode.zip", nullptr, kMethodImplode, 6},  // the text member (a CP437 name)
    {"zip2/implode.zip", "first.txt", kMethodImplode, 6},
    {"commons-compress/lorem-ipsum-deflate64.zip", "lorem-ipsum.txt", kMethodDeflate64, 0},
    {"sharpcompress/Zip.deflate64.zip", "exe/test.exe", kMethodDeflate64, 0},
    {"sharpcompress/Zip.deflate64.zip", "jpg/test.jpg", kMethodDeflate64, 0},
    {"zip2/deflate64.zip", "binary.wmv", kMethodDeflate64, 0},  // 2.7 MB with distances beyond 32 KiB
};

TEST(SampleArchives, LegacyAndDeflate64MembersExpandToTheirCrc) {
  std::map<std::string, std::vector<uint8_t>> archives;
  std::set<std::string> seen;
  for (const Expected& e : kMembers) {
    SCOPED_TRACE(std::string(e.archive) + " " + (e.member ? e.member : "(text)"));
    auto& bytes = archives[e.archive];
    if (bytes.empty()) bytes = read_file(std::string(OSTRANA_FIXTURES) + "/" + e.archive);
    bool found = false;
    for (const ZipMember& m : list_zip(bytes)) {
      if (e.member ? m.name != e.member : (m.method != e.method || m.name.find(".txt") == std::string::npos))
        continue;
      found = true;
      ASSERT_EQ(e.method, m.method);
      ASSERT_EQ(e.flags, m.flags & 6);
      const std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset + m.compressed_nbytes));
      for (ExpandMode mode : {ExpandMode::kToFile, ExpandMode::kToMemory}) {
        ExpandOutcome o = expand(m.method, data, m.uncompressed_nbytes, mode, m.flags);
        ASSERT_EQ(kExpandOk, o.rc);
        ASSERT_EQ(m.uncompressed_nbytes, o.out.size());
        EXPECT_EQ(m.crc32, reference_crc32(o.out));
      }
      // Byte-by-byte reads cross every input buffer boundary.
      ExpandOutcome p = expand(m.method, data, m.uncompressed_nbytes, ExpandMode::kToFile, m.flags, 1);
      ASSERT_EQ(kExpandOk, p.rc);
      EXPECT_EQ(m.crc32, reference_crc32(p.out));
      seen.insert(std::string(e.archive) + "/" + m.name);
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(std::size(kMembers), seen.size());
}

TEST(SampleArchives, DamagedLegacyDataNeverOverrunsAndShowsInTheCrc) {
  // Shrink and reduce have no error reporting of their own: damage must end
  // quietly with some output that the CRC check then rejects.  Implode
  // reports damage.  Every expander must stop at the item's size.
  const std::vector<uint8_t> bytes = read_file(std::string(OSTRANA_FIXTURES) + "/sharpcompress/Zip.reduce2.zip");
  for (const ZipMember& m : list_zip(bytes)) {
    SCOPED_TRACE(m.name);
    std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset),
                              bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset + m.compressed_nbytes));
    for (size_t at : {size_t{0}, size_t{7}, data.size() / 4, data.size() / 2}) {
      std::vector<uint8_t> bad = data;
      bad[at] ^= 0x5A;
      ExpandOutcome o = expand(m.method, bad, m.uncompressed_nbytes, ExpandMode::kToFile, m.flags);
      EXPECT_EQ(kExpandOk, o.rc);
      EXPECT_LE(o.out.size(), m.uncompressed_nbytes);
      EXPECT_NE(m.crc32, reference_crc32(o.out)) << "flipped byte " << at;
    }
    // Cut short: fewer bytes than the item's size, never an overrun.
    const std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data.size() / 3));
    ExpandOutcome o = expand(m.method, cut, m.uncompressed_nbytes);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_LT(o.out.size(), m.uncompressed_nbytes);
  }
}

TEST(SampleArchives, TruncatedImplodedDataEndsEarly) {
  const std::vector<uint8_t> bytes =
      read_file(std::string(OSTRANA_FIXTURES) + "/commons-compress/imploding-8Kdict-3trees.zip");
  const ZipMember m = list_zip(bytes).at(0);
  const std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(m.data_offset + m.compressed_nbytes));
  for (size_t n = 0; n < data.size(); n += 37) {
    const std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(kExpandDamaged, expand(kMethodImplode, cut, m.uncompressed_nbytes, ExpandMode::kToFile, m.flags).rc)
        << "cut at " << n;
  }
  // Bytes to spare after the item's size is reached: complete all the same.
  std::vector<uint8_t> longer = data;
  longer.insert(longer.end(), 64, 0xEE);
  ExpandOutcome o = expand(kMethodImplode, longer, m.uncompressed_nbytes, ExpandMode::kToFile, m.flags);
  EXPECT_EQ(kExpandOk, o.rc);
  EXPECT_EQ(m.crc32, reference_crc32(o.out));
}

}  // namespace
