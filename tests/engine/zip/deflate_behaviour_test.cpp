/* tests/engine/zip/deflate_behaviour_test.cpp - what the archive writer relies on besides valid streams.
 *
 * Risks: wrong flag bits or method for a compression factor; an incompressible
 * entry that is deflated where it should be stored, or stored where the output
 * cannot take it; output that depends on how the source splits its reads or on
 * the entry compressed before; failures (read error, cancel, write error, out of
 * range levels) that are swallowed or reported with the wrong code.
 */
#include <gtest/gtest.h>

#include "deflate_test_util.h"
#include "engine/zip/deflate_trees.h"
#include "reference_inflate.h"

using namespace deflatetest;
using ostrana::CompressionChoice;
using ostrana::DeflateCompressor;
using ostrana::DeflateOptions;
using ostrana::DeflateResult;

namespace {

/// Hands out at most @p step bytes per read.
class TrickleSource final : public ostrana::ByteSource {
 public:
  TrickleSource(const Bytes& data, size_t step) : m_data(data), m_step(step) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t n = std::min({avail, m_step, m_data.size() - m_pos});
    std::memcpy(buf, m_data.data() + m_pos, n);
    m_pos += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  const Bytes& m_data;
  size_t m_step;
  size_t m_pos = 0;
};

/// Fails after @p good bytes with the code @p code.
class FailingSource final : public ostrana::ByteSource {
 public:
  FailingSource(size_t good, int code) : m_good(good), m_code(code) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (m_given >= m_good) return -1;
    size_t n = std::min(avail, m_good - m_given);
    std::memset(buf, 'q', n);
    m_given += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  int error() const override { return m_code; }

 private:
  size_t m_good, m_given = 0;
  int m_code;
};

/// Refuses writes after @p good bytes with code 14.
class FailingSink final : public ostrana::ByteSink {
 public:
  explicit FailingSink(size_t good) : m_good(good) {}
  int write(const uint8_t*, size_t nbytes) override {
    if (m_refused) ++m_callsAfterRefusal;
    if (m_taken + nbytes > m_good) {
      m_refused = true;
      return 14;
    }
    m_taken += nbytes;
    return 0;
  }
  bool refused() const { return m_refused; }
  int callsAfterRefusal() const { return m_callsAfterRefusal; }

 private:
  size_t m_good, m_taken = 0;
  bool m_refused = false;
  int m_callsAfterRefusal = 0;
};

}  // namespace

// ---- compression factor, method and flag bits -------------------------------------------------

TEST(DeflateFactor, FactorSelectsMethodAndLevel) {
  auto eq = [](CompressionChoice c, int method, int level) { return c.method == method && c.level == level; };
  EXPECT_TRUE(eq(ostrana::compressionForFactor(0), 0, 0));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(-3), 0, 0));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(1), 8, 1));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(7), 8, 7));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(9), 8, 9));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(10), 9, 1));  // factor 10 compresses as level 1
  EXPECT_TRUE(eq(ostrana::compressionForFactor(12), 9, 2));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(19), 9, 9));
  EXPECT_TRUE(eq(ostrana::compressionForFactor(25), 9, 9));
}

TEST(DeflateFactor, FlagBitsByLevel) {
  // Deflate: level 1 "fast" (bit 2), level 9 "maximum" (bit 1), others none.
  EXPECT_EQ(ostrana::deflateFlagBits(8, 1), 0x0004);
  for (int l = 2; l <= 8; ++l) EXPECT_EQ(ostrana::deflateFlagBits(8, l), 0) << l;
  EXPECT_EQ(ostrana::deflateFlagBits(8, 9), 0x0002);
  // Deflate64: bit 2 at levels 1-2, bit 1 at levels 8-9.
  EXPECT_EQ(ostrana::deflateFlagBits(9, 1), 0x0004);
  EXPECT_EQ(ostrana::deflateFlagBits(9, 2), 0x0004);
  for (int l = 3; l <= 7; ++l) EXPECT_EQ(ostrana::deflateFlagBits(9, l), 0) << l;
  EXPECT_EQ(ostrana::deflateFlagBits(9, 8), 0x0002);
  EXPECT_EQ(ostrana::deflateFlagBits(9, 9), 0x0002);
  // Through the factor, as the writer uses it: 1 -> bit 2, 9 -> bit 1, 12 -> bit 2.
  auto flags = [](int factor) {
    CompressionChoice c = ostrana::compressionForFactor(factor);
    return ostrana::deflateFlagBits(c.method, c.level);
  };
  EXPECT_EQ(flags(1), 0x0004);
  EXPECT_EQ(flags(9), 0x0002);
  EXPECT_EQ(flags(12), 0x0004);
  EXPECT_EQ(flags(0), 0);  // stored
  // Out-of-range levels are clamped.
  EXPECT_EQ(ostrana::deflateFlagBits(8, 0), 0x0004);
  EXPECT_EQ(ostrana::deflateFlagBits(8, 42), 0x0002);
}

// ---- stored entry or deflated ----------------------------------------------------------------

TEST(DeflateStoredEntry, TenDistinctLettersAreStoredWhenTheWriterCanReposition) {
  const Bytes letters{'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p'};
  DeflateCompressor c;
  for (bool d64 : {false, true}) {
    DeflateOptions o = options(6, d64);
    o.allow_stored_entry = true;  // ordinary file output, data not from a callback
    DeflateResult res;
    Bytes out = compress(c, letters, o, &res);
    EXPECT_TRUE(res.stored_entry);
    EXPECT_TRUE(out == letters) << "a stored entry is the raw data";
    EXPECT_EQ(res.out_nbytes, 10u);

    o.allow_stored_entry = false;  // multi-volume output or callback data
    out = compress(c, letters, o, &res);
    EXPECT_FALSE(res.stored_entry);
    EXPECT_GT(out.size(), letters.size()) << "ten distinct letters do not compress";
    refinflate::Result r = refinflate::inflate(out.data(), out.size(), d64);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.data == letters);
    EXPECT_EQ(r.blocks_fixed, 1) << "the smallest coded form of ten letters is a fixed block";
  }
}

TEST(DeflateStoredEntry, CompressibleOrLargeInputIsNeverStoredWhole) {
  DeflateCompressor c;
  DeflateOptions o = options(6, false);
  o.allow_stored_entry = true;
  DeflateResult res;
  compress(c, makeText(5000, 11), o, &res);
  EXPECT_FALSE(res.stored_entry);
  // Random data larger than one chunk: its first chunk went out before the
  // end was known, so the entry cannot be stored whole; stored blocks carry it.
  Bytes random = makeRandom(ostrana::kDeflateChunkNbytes + 5000, 12);
  Bytes out = compress(c, random, o, &res);
  EXPECT_FALSE(res.stored_entry);
  refinflate::Result r = refinflate::inflate(out.data(), out.size(), false);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.data == random);
  EXPECT_GT(r.blocks_stored, 0);
  EXPECT_LT(out.size(), random.size() + random.size() / 100);
  // Random data that fits one chunk is stored whole.
  Bytes small = makeRandom(200000, 13);
  out = compress(c, small, o, &res);
  EXPECT_TRUE(res.stored_entry);
  EXPECT_TRUE(out == small);
}

TEST(DeflateStoredEntry, EmptyInput) {
  DeflateCompressor c;
  DeflateOptions o = options(9, false);
  DeflateResult res;
  Bytes out = compress(c, {}, o, &res);
  EXPECT_FALSE(res.stored_entry);
  EXPECT_EQ(out, (Bytes{0x03, 0x00})) << "one final fixed block holding only end-of-block";
  o.allow_stored_entry = true;
  out = compress(c, {}, o, &res);
  EXPECT_TRUE(res.stored_entry);
  EXPECT_TRUE(out.empty());
}

TEST(DeflateBlockChoice, SmallestPermittedKindWins) {
  using ostrana::deflate::BlockCosts;
  using ostrana::deflate::BlockKind;
  using ostrana::deflate::BlockPolicy;
  using ostrana::deflate::chooseBlockKind;
  BlockCosts c;
  c.input_nbytes = 100;
  c.stored_nbytes = 105;
  c.fixed_nbytes = 104;
  c.dynamic_nbytes = 120;
  c.last = c.first = c.input_available = true;
  BlockPolicy all{true, true, true};
  EXPECT_EQ(chooseBlockKind(c, all), BlockKind::kStoredEntry);
  BlockPolicy no_entry{false, true, true};
  EXPECT_EQ(chooseBlockKind(c, no_entry), BlockKind::kFixed) << "stored 105 > fixed 104";
  c.fixed_nbytes = 105;
  EXPECT_EQ(chooseBlockKind(c, no_entry), BlockKind::kStored) << "ties go to the stored block";
  c.input_available = false;
  EXPECT_EQ(chooseBlockKind(c, all), BlockKind::kFixed) << "input gone: neither stored form";
  c.input_available = true;
  c.first = false;
  EXPECT_EQ(chooseBlockKind(c, all), BlockKind::kStored) << "not the only block: no stored entry";
  c.first = true;
  c.last = false;
  EXPECT_EQ(chooseBlockKind(c, all), BlockKind::kStored) << "more input follows: no stored entry";
  BlockPolicy dynamic_only{false, false, false};
  EXPECT_EQ(chooseBlockKind(c, dynamic_only), BlockKind::kDynamic);
  c.dynamic_nbytes = 90;
  EXPECT_EQ(chooseBlockKind(c, all), BlockKind::kDynamic);
  c.dynamic_nbytes = 105;
  EXPECT_EQ(chooseBlockKind(c, BlockPolicy{false, false, true}), BlockKind::kFixed) << "ties go to fixed";
}

// ---- determinism -------------------------------------------------------------------------------

TEST(DeflateDeterminism, SameInputSameBytesWhateverCameBeforeAndHoweverItIsRead) {
  Bytes data = makeText(120000, 21);
  Bytes bin = makeBinary(60000, 22);
  data.insert(data.end(), bin.begin(), bin.end());
  for (bool d64 : {false, true}) {
    for (int level : {1, 3, 4, 6, 9}) {
      SCOPED_TRACE("level " + std::to_string(level) + (d64 ? " deflate64" : ""));
      DeflateCompressor fresh;
      Bytes first = compress(fresh, data, options(level, d64));
      // The same context after other entries of both formats.
      DeflateCompressor reused;
      compress(reused, makeRandom(70000, 23), options(2, !d64));
      compress(reused, makeBinary(90000, 24), options(level, d64));
      Bytes second = compress(reused, data, options(level, d64));
      EXPECT_TRUE(first == second);
      // A source that hands out odd little pieces.
      TrickleSource trickle(data, 1237);
      ostrana::VectorSink sink;
      ASSERT_EQ(reused.compress(trickle, sink, options(level, d64), nullptr), 0);
      EXPECT_TRUE(sink.bytes() == first);
    }
  }
}

TEST(DeflateDeterminism, ReleaseFreesAndTheNextEntryStillWorks) {
  DeflateCompressor c;
  Bytes data = makeText(50000, 31);
  Bytes before = compress(c, data, options(7, false));
  c.release();
  Bytes after = compress(c, data, options(7, false));
  EXPECT_TRUE(before == after);
}

// ---- failures --------------------------------------------------------------------------------------

TEST(DeflateFailure, ReadFailureGivesTheSourceCodeOrEleven) {
  DeflateCompressor c;
  ostrana::VectorSink sink;
  FailingSource with_code(100000, 11);
  EXPECT_EQ(c.compress(with_code, sink, options(6, false), nullptr), 11);
  FailingSource cancelled(5000, 9);
  EXPECT_EQ(c.compress(cancelled, sink, options(1, true), nullptr), 9);
  FailingSource no_code(0, 0);
  EXPECT_EQ(c.compress(no_code, sink, options(3, false), nullptr), 11);
  // The context is still good afterwards.
  Bytes data = makeText(3000, 32);
  Bytes z = compress(c, data, options(6, false));
  EXPECT_TRUE(refinflate::inflate(z.data(), z.size(), false).data == data);
}

TEST(DeflateFailure, WriteFailureStopsWithTheSinkCode) {
  DeflateCompressor c;
  Bytes data = makeRandom(600000, 33);
  FailingSink sink(70000);
  ostrana::MemorySource src(data.data(), data.size());
  EXPECT_EQ(c.compress(src, sink, options(5, false), nullptr), 14);
  EXPECT_TRUE(sink.refused());
  EXPECT_EQ(sink.callsAfterRefusal(), 0) << "stops at the first refused write";
  // Compressible data goes through the output buffer: the same.
  Bytes text = makeText(900000, 35);
  FailingSink sink2(50000);
  ostrana::MemorySource src2(text.data(), text.size());
  EXPECT_EQ(c.compress(src2, sink2, options(9, true), nullptr), 14);
  EXPECT_EQ(sink2.callsAfterRefusal(), 0);
}

TEST(DeflateFailure, LevelsOutsideTheTableAreClamped) {
  DeflateCompressor c;
  Bytes data = makeText(40000, 34);
  EXPECT_TRUE(compress(c, data, options(0, false)) == compress(c, data, options(1, false)));
  EXPECT_TRUE(compress(c, data, options(99, true)) == compress(c, data, options(9, true)));
}

// ---- level behaviour -------------------------------------------------------------------------------

TEST(DeflateLevels, HigherLevelsAreNotLargerOnText) {
  DeflateCompressor c;
  Bytes data = makeText(200000, 41);
  size_t l1 = compress(c, data, options(1, false)).size();
  size_t l6 = compress(c, data, options(6, false)).size();
  size_t l9 = compress(c, data, options(9, false)).size();
  EXPECT_LT(l6, l1);
  EXPECT_LE(l9, l6);
  EXPECT_LT(l1, data.size() / 2);
}
