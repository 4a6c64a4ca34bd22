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
 * distances beyond 32 KiB) cannot silently shrink.  The two implode flag
 * combinations no sample has, and copies that reach before the first byte,
 * are built by hand.
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
    {"commons-compress/SHRUNK.ZIP", "TEST1.XML", zip::kMethodShrink, 0},
    {"commons-compress/SHRUNK.ZIP", "TEST2.XML", zip::kMethodShrink, 0},
    {"sharpcompress/Zip.shrink.zip", "TECT.TXT", zip::kMethodShrink, 0},
    {"sharpcompress/Zip.shrink.zip", "TEST.EXE", zip::kMethodShrink, 0},  // long enough for partial clearing
    {"zip2/shrink.zip", "FIRST.TXT", zip::kMethodShrink, 0},
    {"sharpcompress/Zip.reduce1.zip", "TEST.EXE", 2, 0},
    {"sharpcompress/Zip.reduce1.zip", "TEST.JPG", 2, 0},
    {"sharpcompress/Zip.reduce2.zip", "TEST.EXE", 3, 0},
    {"sharpcompress/Zip.reduce2.zip", "TEST.JPG", 3, 0},
    {"sharpcompress/Zip.reduce3.zip", "TEST.EXE", 4, 0},
    {"sharpcompress/Zip.reduce3.zip", "TEST.JPG", 4, 0},
    {"sharpcompress/Zip.reduce4.zip", "TEST.EXE", 5, 0},
    {"sharpcompress/Zip.reduce4.zip", "TEST.JPG", 5, 0},
    {"zip2/reduce.zip", "first.txt", 5, 0},
    {"commons-compress/imploding-4Kdict-2trees.zip", "HEADER.TXT", zip::kMethodImplode, 0},
    {"commons-compress/imploding-8Kdict-3trees.zip", "LICENSE.TXT", zip::kMethodImplode, 6},
    {"sharpcompress/Zip.implode.zip", "EXE/TEST.EXE", zip::kMethodImplode, 0},
    {"sharpcompress/Zip.implode.zip", nullptr, zip::kMethodImplode, 6},  // the text member (a CP437 name)
    {"zip2/implode.zip", "first.txt", zip::kMethodImplode, 6},
    {"commons-compress/lorem-ipsum-deflate64.zip", "lorem-ipsum.txt", zip::kMethodDeflate64, 0},
    {"sharpcompress/Zip.deflate64.zip", "exe/test.exe", zip::kMethodDeflate64, 0},
    {"sharpcompress/Zip.deflate64.zip", "jpg/test.jpg", zip::kMethodDeflate64, 0},
    {"zip2/deflate64.zip", "binary.wmv", zip::kMethodDeflate64, 0},  // 2.7 MB with distances beyond 32 KiB
};

TEST(SampleArchives, LegacyAndDeflate64MembersExpandToTheirCrc) {
  std::map<std::string, std::vector<uint8_t>> archives;
  std::set<std::string> seen;
  for (const Expected& e : kMembers) {
    SCOPED_TRACE(std::string(e.archive) + " " + (e.member ? e.member : "(text)"));
    auto& bytes = archives[e.archive];
    if (bytes.empty()) bytes = testenv::read_file(std::string(OSTRANA_FIXTURES) + "/" + e.archive);
    bool found = false;
    for (const testenv::WalkedItem& m : testenv::walk_zip(bytes)) {
      if (e.member ? m.name != e.member : (m.method != e.method || m.name.find(".txt") == std::string::npos))
        continue;
      found = true;
      ASSERT_EQ(e.method, m.method);
      ASSERT_EQ(e.flags, m.flags & 6);
      const std::vector<uint8_t> data = member_data(bytes, m);
      for (ExpandMode mode : {ExpandMode::kToFile, ExpandMode::kToMemory}) {
        ExpandOutcome o = expand(m.method, data, m.uncompressed_size, mode, m.flags);
        ASSERT_EQ(kExpandOk, o.rc);
        ASSERT_EQ(m.uncompressed_size, o.out.size());
        EXPECT_EQ(m.crc32, reference_crc32(o.out));
      }
      // Byte-by-byte reads cross every input buffer boundary.
      ExpandOutcome p = expand(m.method, data, m.uncompressed_size, ExpandMode::kToFile, m.flags, 1);
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
  const std::vector<uint8_t> bytes = testenv::read_file(std::string(OSTRANA_FIXTURES) + "/sharpcompress/Zip.reduce2.zip");
  for (const testenv::WalkedItem& m : testenv::walk_zip(bytes)) {
    SCOPED_TRACE(m.name);
    std::vector<uint8_t> data = member_data(bytes, m);
    for (size_t at : {size_t{0}, size_t{7}, data.size() / 4, data.size() / 2}) {
      std::vector<uint8_t> bad = data;
      bad[at] ^= 0x5A;
      ExpandOutcome o = expand(m.method, bad, m.uncompressed_size, ExpandMode::kToFile, m.flags);
      EXPECT_EQ(kExpandOk, o.rc);
      EXPECT_LE(o.out.size(), m.uncompressed_size);
      EXPECT_NE(m.crc32, reference_crc32(o.out)) << "flipped byte " << at;
    }
    // Cut short: fewer bytes than the item's size, never an overrun.
    const std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(data.size() / 3));
    ExpandOutcome o = expand(m.method, cut, m.uncompressed_size);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_LT(o.out.size(), m.uncompressed_size);
  }
}

TEST(SampleArchives, TruncatedImplodedDataEndsEarly) {
  const std::vector<uint8_t> bytes =
      testenv::read_file(std::string(OSTRANA_FIXTURES) + "/commons-compress/imploding-8Kdict-3trees.zip");
  const testenv::WalkedItem m = testenv::walk_zip(bytes).at(0);
  const std::vector<uint8_t> data = member_data(bytes, m);
  for (size_t n = 0; n < data.size(); n += 37) {
    const std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodImplode, cut, m.uncompressed_size, ExpandMode::kToFile, m.flags).rc)
        << "cut at " << n;
  }
  // Bytes to spare after the item's size is reached: complete all the same.
  std::vector<uint8_t> longer = data;
  longer.insert(longer.end(), 64, 0xEE);
  ExpandOutcome o = expand(zip::kMethodImplode, longer, m.uncompressed_size, ExpandMode::kToFile, m.flags);
  EXPECT_EQ(kExpandOk, o.rc);
  EXPECT_EQ(m.crc32, reference_crc32(o.out));
}

}  // namespace

// ---- imploding variants the samples do not have ------------------------------------

/// A hand-built imploded stream with uniform trees, for the flag combinations
/// no sample archive has (8 KiB window without literal tree, 4 KiB with one).
/// The format's code assignment gives a symbol s of a uniform n-bit tree the
/// code (2^n - 1 - s), sent most significant bit first.
class ImplodeWriter {
 public:
  explicit ImplodeWriter(uint16_t flags) : m_flags(flags) {
    if (literal_tree()) put_uniform_tree(256, 8);
    put_uniform_tree(64, 6);  // lengths
    put_uniform_tree(64, 6);  // distances
  }
  bool literal_tree() const { return (m_flags & 4) != 0; }
  unsigned low_bits() const { return (m_flags & 2) ? 7 : 6; }

  void literal(uint8_t c) {
    m_w.put(1, 1);
    if (literal_tree()) m_w.put_code(255u - c, 8);
    else m_w.put(c, 8);
  }
  void match(unsigned distance, unsigned length) {
    m_w.put(0, 1);
    m_w.put((distance - 1) & ((1u << low_bits()) - 1), low_bits());
    m_w.put_code(63u - ((distance - 1) >> low_bits()), 6);
    const unsigned l = length - (literal_tree() ? 3 : 2);
    m_w.put_code(63u - std::min(l, 63u), 6);
    if (l >= 63) m_w.put(l - 63, 8);
  }
  std::vector<uint8_t> bytes() const { return m_w.bytes(); }

 private:
  void put_uniform_tree(unsigned nsyms, unsigned bits) {
    m_w.put_byte(static_cast<uint8_t>(nsyms / 16 - 1));  // bytes of the tree, less one
    for (unsigned i = 0; i < nsyms / 16; ++i)
      m_w.put_byte(static_cast<uint8_t>((15 << 4) | (bits - 1)));  // 16 codes of `bits` bits
  }

  uint16_t m_flags;
  BitWriter m_w;
};

TEST(SampleArchives, ImplodeFlagsChooseWindowAndLiteralTreeIndependently) {
  for (uint16_t flags : {uint16_t{0}, uint16_t{2}, uint16_t{4}, uint16_t{6}}) {
    SCOPED_TRACE(flags);
    const bool big_window = (flags & 2) != 0;
    ImplodeWriter w(flags);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 9000; ++i) {  // more than the larger window
      const uint8_t c = static_cast<uint8_t>('a' + (i * 7) % 26 + (i / 26) % 3);
      w.literal(c);
      expected.push_back(c);
    }
    // The longest match the window allows, from its far end; then a long run.
    const unsigned far = big_window ? 8192 : 4096;
    w.match(far, 40);
    for (int i = 0; i < 40; ++i) expected.push_back(expected[expected.size() - far]);
    w.match(1, 200);
    for (int i = 0; i < 200; ++i) expected.push_back(expected.back());
    ExpandOutcome o = expand(zip::kMethodImplode, w.bytes(), expected.size(), ExpandMode::kToFile, flags);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_EQ(expected, o.out);
  }
}

TEST(SampleArchives, ImplodeAndReduceCopiesBeforeTheFirstByteGiveZeros) {
  ImplodeWriter w(0);
  w.literal('x');
  w.match(100, 5);  // 99 bytes before the start of the output
  ExpandOutcome o = expand(zip::kMethodImplode, w.bytes(), 6);
  EXPECT_EQ(kExpandOk, o.rc);
  EXPECT_EQ(std::vector<uint8_t>({'x', 0, 0, 0, 0, 0}), o.out);

  // Reduce, factor 1: empty follower sets, then 'y', DLE, a copy of 4 bytes
  // from 200 back.
  BitWriter r;
  for (int x = 0; x < 256; ++x) r.put(0, 6);  // no followers for any byte
  r.put_byte('y');
  r.put_byte(0x90);   // DLE
  r.put_byte(0x01);   // length 1 (+3), high distance bit 0
  r.put_byte(199);    // distance 199 + 1
  ExpandOutcome ro = expand(2, r.bytes(), 5);
  EXPECT_EQ(kExpandOk, ro.rc);
  EXPECT_EQ(std::vector<uint8_t>({'y', 0, 0, 0, 0}), ro.out);
}
