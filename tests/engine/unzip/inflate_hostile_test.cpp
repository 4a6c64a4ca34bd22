/* tests/engine/unzip/inflate_hostile_test.cpp - inflate on damaged and hostile streams.
 *
 * Risk: an archive crafted to crash the expander, read or write outside its
 * buffers, spin for ever, or pass damaged data as good.  Streams are built
 * bit by bit with a comment per field; where a stream is valid, Python's zlib
 * confirms it decodes to what the test expects, so that the hand-built bits
 * are themselves checked.  Covered: over-subscribed and incomplete codes (and
 * the one incomplete code RFC 1951 allows), bad code-length sequences,
 * distances before the start of the output, distances beyond 32 KiB (an
 * error in method 8, valid in Deflate64), Deflate64's 16-bit length extra,
 * truncation at every byte, data that ends between blocks, and a stream that
 * claims one byte and expands to 10 MB.
 */
#include <gtest/gtest.h>

#include <random>

#include "engine/unzip/expand.h"
#include "expander_test_support.h"
#include "test_env.h"

using namespace ostrana;
using namespace exptest;

namespace {

const uint8_t kCodelenOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

/// Canonical codewords for @p lengths (RFC 1951, 3.2.2), written out again
/// here on the encoder's side.
std::vector<uint32_t> canonical_codes(const std::vector<uint8_t>& lengths) {
  unsigned count[16] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (unsigned bits = 1; bits < 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  return codes;
}

struct CodelenSymbol {
  unsigned symbol;
  unsigned extra_value = 0;
};

/// A dynamic block header with the given code length code and the given
/// run of code length symbols (which need not make sense).
void put_dynamic_header_raw(BitWriter& w, bool final, unsigned nlitlen, unsigned ndist,
                            const std::vector<uint8_t>& codelen_lengths, const std::vector<CodelenSymbol>& seq) {
  w.put(final ? 1 : 0, 1);  // BFINAL
  w.put(2, 2);              // BTYPE: dynamic
  w.put(nlitlen - 257, 5);  // HLIT
  w.put(ndist - 1, 5);      // HDIST
  w.put(19 - 4, 4);         // HCLEN: all 19 code length code lengths follow
  for (unsigned i = 0; i < 19; ++i) w.put(codelen_lengths[kCodelenOrder[i]], 3);
  const std::vector<uint32_t> codes = canonical_codes(codelen_lengths);
  for (const CodelenSymbol& s : seq) {
    w.put_code(codes[s.symbol], codelen_lengths[s.symbol]);
    if (s.symbol == 16) w.put(s.extra_value, 2);
    if (s.symbol == 17) w.put(s.extra_value, 3);
    if (s.symbol == 18) w.put(s.extra_value, 7);
  }
}

/// A dynamic block header that sends @p litlen and @p dist lengths plainly:
/// the code length code gives the symbols 0..15 four bits each.
void put_dynamic_header(BitWriter& w, bool final, const std::vector<uint8_t>& litlen,
                        const std::vector<uint8_t>& dist) {
  std::vector<uint8_t> codelen(19, 4);
  codelen[16] = codelen[17] = codelen[18] = 0;
  std::vector<CodelenSymbol> seq;
  for (uint8_t l : litlen) seq.push_back({l});
  for (uint8_t l : dist) seq.push_back({l});
  put_dynamic_header_raw(w, final, static_cast<unsigned>(litlen.size()), static_cast<unsigned>(dist.size()),
                         codelen, seq);
}

/// zlib's view of a raw deflate stream, as the control for hand-built ones.
std::vector<uint8_t> zlib_inflate(const std::vector<uint8_t>& stream) {
  const std::string dir = testenv::make_temp_dir("zlib-control");
  testenv::write_file(dir + "/in", stream);
  run_python_in(dir,
             "import sys, zlib\n"
             "open(sys.argv[2], 'wb').write(zlib.decompress(open(sys.argv[1], 'rb').read(), -15))\n",
             {dir + "/in", dir + "/out"});
  return testenv::read_file(dir + "/out");
}

std::vector<uint8_t> random_bytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

/// A non-final stored block carrying @p data (at most 65,535 bytes).
void put_stored(BitWriter& w, const std::vector<uint8_t>& data, bool final = false) {
  w.put(final ? 1 : 0, 1);  // BFINAL
  w.put(0, 2);              // BTYPE: stored
  w.align();
  w.put(static_cast<uint32_t>(data.size()), 16);     // LEN
  w.put(static_cast<uint32_t>(~data.size()), 16);    // NLEN
  for (uint8_t b : data) w.put_byte(b);
}

// ---- code construction ---------------------------------------------------------------

TEST(InflateHostile, OverSubscribedLiteralLengthCodeIsRefused) {
  BitWriter w;
  put_dynamic_header(w, true, std::vector<uint8_t>(257, 1), {1});  // 257 codes of one bit
  put_fixed_litlen(w, 256);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 10).rc);
}

TEST(InflateHostile, IncompleteLiteralLengthCodeIsRefused) {
  std::vector<uint8_t> litlen(257, 0);
  litlen['a'] = 1;  // '0'
  litlen[256] = 2;  // '10'; '11' is left unused
  BitWriter w;
  put_dynamic_header(w, true, litlen, {1});
  w.put_code(0, 1);  // 'a'
  w.put_code(2, 2);  // end of block
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 1).rc);
}

TEST(InflateHostile, OverSubscribedCodeLengthCodeIsRefused) {
  std::vector<uint8_t> codelen(19, 0);
  codelen[0] = codelen[1] = codelen[2] = 1;  // three codes of one bit
  BitWriter w;
  put_dynamic_header_raw(w, true, 257, 1, codelen, {});
  for (int i = 0; i < 64; ++i) w.put_byte(0);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 10).rc);
}

TEST(InflateHostile, DistanceCodeMayBeOneCodeOfOneBitButNotOtherwiseIncomplete) {
  std::vector<uint8_t> litlen(258, 0);
  litlen['a'] = 2;
  litlen['b'] = 2;
  litlen[256] = 2;
  litlen[257] = 2;  // length 3
  const std::vector<uint32_t> c = canonical_codes(litlen);
  auto body = [&](BitWriter& w) {
    w.put_code(c['a'], 2);
    w.put_code(c['b'], 2);
    w.put_code(c[257], 2);  // length 3 ...
    w.put_code(0, 1);       // ... distance symbol 0: distance 1
    w.put_code(c[256], 2);  // end of block
  };
  {
    BitWriter w;
    put_dynamic_header(w, true, litlen, {1});  // one distance code of one bit
    body(w);
    const std::vector<uint8_t> expected = {'a', 'b', 'b', 'b', 'b'};
    ASSERT_EQ(expected, zlib_inflate(w.bytes()));
    ExpandOutcome o = expand(zip::kMethodDeflate, w.bytes(), 5);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_EQ(expected, o.out);
  }
  {
    BitWriter w;
    put_dynamic_header(w, true, litlen, {2, 2});  // two codes of two bits: half the space unused
    body(w);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 5).rc);
  }
}

TEST(InflateHostile, NoDistanceCodesServeLiteralsOnlyBlocks) {
  std::vector<uint8_t> litlen(258, 0);
  litlen['z'] = 1;
  litlen[256] = 2;
  litlen[257] = 2;
  const std::vector<uint32_t> c = canonical_codes(litlen);
  BitWriter ok;
  put_dynamic_header(ok, true, litlen, {0});  // one distance length of zero: no distance codes
  ok.put_code(c['z'], 1);
  ok.put_code(c['z'], 1);
  ok.put_code(c[256], 2);
  ExpandOutcome o = expand(zip::kMethodDeflate, ok.bytes(), 2);
  EXPECT_EQ(kExpandOk, o.rc);
  EXPECT_EQ(std::vector<uint8_t>({'z', 'z'}), o.out);

  BitWriter bad;
  put_dynamic_header(bad, true, litlen, {0});
  bad.put_code(c['z'], 1);
  bad.put_code(c[257], 2);  // a match, but there is no distance code
  bad.put(0, 8);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, bad.bytes(), 4).rc);
}

TEST(InflateHostile, BadCodeLengthSequencesAreRefused) {
  std::vector<uint8_t> codelen(19, 0);
  codelen[0] = 2;
  codelen[1] = 2;
  codelen[16] = 2;
  codelen[18] = 2;
  {
    BitWriter w;  // code 16 repeats the previous length, but there is none
    put_dynamic_header_raw(w, true, 257, 1, codelen, {{16, 0}});
    w.put(0, 32);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 1).rc);
  }
  {
    BitWriter w;  // code 18 runs 138 zeros past the 258 lengths
    std::vector<CodelenSymbol> seq = {{18, 127}, {18, 127}};
    put_dynamic_header_raw(w, true, 257, 1, codelen, seq);
    w.put(0, 32);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 1).rc);
  }
  {
    BitWriter w;  // the end-of-block symbol gets no code: the block could never end
    std::vector<uint8_t> litlen(257, 0);
    litlen['a'] = 1;
    litlen['b'] = 1;
    put_dynamic_header(w, true, litlen, {1});
    w.put(0, 16);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 16).rc);
  }
  {
    BitWriter w;  // HLIT of 287 literal/length codes: more than exist
    w.put(1, 1);
    w.put(2, 2);
    w.put(30, 5);
    w.put(0, 5);
    w.put(15, 4);
    w.put(0, 32);
    w.put(0, 32);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 1).rc);
  }
}

// ---- block structure ----------------------------------------------------------------

TEST(InflateHostile, ReservedBlockTypeAndBadStoredLengthAreRefused) {
  BitWriter reserved;
  reserved.put(1, 1);  // BFINAL
  reserved.put(3, 2);  // BTYPE 3: reserved
  reserved.put(0, 16);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, reserved.bytes(), 1).rc);

  BitWriter stored;
  stored.put(1, 1);
  stored.put(0, 2);
  stored.align();
  stored.put(5, 16);       // LEN
  stored.put(0xFFFF, 16);  // NLEN is not ~LEN
  for (int i = 0; i < 5; ++i) stored.put_byte('s');
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, stored.bytes(), 5).rc);
}

TEST(InflateHostile, InvalidFixedCodeSymbolsAreRefused) {
  for (unsigned symbol : {286u, 287u}) {
    BitWriter w;
    w.put(1, 1);
    w.put(1, 2);  // fixed Huffman
    put_fixed_litlen(w, 'a');
    put_fixed_litlen(w, symbol);  // literal/length codes 286 and 287 do not occur in valid data
    w.put(0, 16);
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), 1).rc) << symbol;
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate64, w.bytes(), 1).rc) << symbol;
  }
}

TEST(InflateHostile, DistanceBeforeTheStartOfTheOutputIsRefused) {
  auto stream = [](unsigned distance) {
    BitWriter w;
    w.put(1, 1);
    w.put(1, 2);  // fixed Huffman
    put_fixed_litlen(w, 'a');
    put_fixed_litlen(w, 'b');
    put_fixed_length(w, 5);
    put_fixed_distance(w, distance);
    put_fixed_litlen(w, 256);
    return w.bytes();
  };
  const std::vector<uint8_t> expected = {'a', 'b', 'a', 'b', 'a', 'b', 'a'};
  ASSERT_EQ(expected, zlib_inflate(stream(2)));
  for (uint16_t method : {zip::kMethodDeflate, zip::kMethodDeflate64}) {
    ExpandOutcome ok = expand(method, stream(2), 7);
    EXPECT_EQ(kExpandOk, ok.rc);
    EXPECT_EQ(expected, ok.out);
    EXPECT_EQ(kExpandDamaged, expand(method, stream(3), 7).rc);
    EXPECT_EQ(kExpandDamaged, expand(method, stream(32768), 7).rc);
  }
}

TEST(InflateHostile, DistanceBeyond32KiBIsAnErrorForDeflateAndValidForDeflate64) {
  const std::vector<uint8_t> head = random_bytes(40000, 7);
  auto stream = [&](unsigned distance) {
    BitWriter w;
    put_stored(w, head);  // 40,000 bytes of history
    w.put(1, 1);
    w.put(1, 2);  // final block, fixed Huffman
    put_fixed_length(w, 20);
    put_fixed_distance(w, distance);
    put_fixed_litlen(w, 256);
    return w.bytes();
  };
  auto expected = [&](unsigned distance) {
    std::vector<uint8_t> v = head;
    for (int i = 0; i < 20; ++i) v.push_back(v[v.size() - distance]);
    return v;
  };
  // 32,768 is the farthest distance deflate can code (symbol 29).
  ASSERT_EQ(expected(32768), zlib_inflate(stream(32768)));
  for (uint16_t method : {zip::kMethodDeflate, zip::kMethodDeflate64}) {
    ExpandOutcome o = expand(method, stream(32768), 40020);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_EQ(expected(32768), o.out);
  }
  // 32,769 and 39,000 need symbols 30 and 31's range: only in Deflate64.
  for (unsigned distance : {32769u, 39000u}) {
    EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, stream(distance), 40020).rc) << distance;
    ExpandOutcome o = expand(zip::kMethodDeflate64, stream(distance), 40020);
    EXPECT_EQ(kExpandOk, o.rc) << distance;
    EXPECT_EQ(expected(distance), o.out) << distance;
  }
  // Beyond the 40,000 bytes written so far: an error in Deflate64 too.
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate64, stream(40001), 40020).rc);
}

TEST(InflateHostile, Deflate64LongestMatchAndFarthestDistance) {
  const std::vector<uint8_t> head = random_bytes(65535, 9);
  const std::vector<uint8_t> head2 = random_bytes(5000, 10);
  BitWriter w;
  put_stored(w, head);
  put_stored(w, head2);
  w.put(1, 1);
  w.put(1, 2);              // final block, fixed Huffman
  put_fixed_litlen(w, 285);  // Deflate64: length 3 + 16 extra bits
  w.put(65535, 16);          // ... the longest match, 65,538 bytes
  w.put_code(31, 5);         // distance symbol 31: 49,153 + 14 extra bits
  w.put(16383, 14);          // ... the farthest distance, 65,536
  put_fixed_litlen(w, 285);
  w.put(0, 16);              // a 3-byte match ...
  w.put_code(0, 5);          // ... at distance 1
  put_fixed_litlen(w, 256);
  std::vector<uint8_t> expected = head;
  expected.insert(expected.end(), head2.begin(), head2.end());
  for (int i = 0; i < 65538; ++i) expected.push_back(expected[expected.size() - 65536]);
  for (int i = 0; i < 3; ++i) expected.push_back(expected.back());
  for (ExpandMode mode : {ExpandMode::kToFile, ExpandMode::kToMemory}) {
    ExpandOutcome o = expand(zip::kMethodDeflate64, w.bytes(), expected.size(), mode);
    EXPECT_EQ(kExpandOk, o.rc);
    EXPECT_EQ(expected, o.out);
  }
  // In method 8, symbol 285 is the fixed length 258 without extra bits, and
  // distance symbol 31 does not exist.
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, w.bytes(), expected.size()).rc);
}

// ---- truncation and the end of the data ---------------------------------------------

TEST(InflateHostile, TruncationAtEveryByteEndsEarlyWithAPrefixOfTheData) {
  const std::string dir = testenv::make_temp_dir("truncate");
  ASSERT_TRUE(run_python_in(dir,
                         "import sys, zlib, random\n"
                         "r = random.Random(5)\n"
                         "d = bytes(r.choice(b'abcdefgh \\n') for _ in range(30000)) + bytes(3000)\n"
                         "c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
                         "open(sys.argv[1] + '/raw', 'wb').write(d)\n"
                         "open(sys.argv[1] + '/def', 'wb').write(c.compress(d[:15000]) + c.flush(zlib.Z_FULL_FLUSH) +\n"
                         "    bytes([0, 5, 0, 0xFA, 0xFF]) + b'12345' + c.compress(d[15005:]) + c.flush())\n",
                         {dir}));
  // The stream holds a stored block in the middle (the five bytes "12345").
  std::vector<uint8_t> raw = testenv::read_file(dir + "/raw");
  std::copy_n("12345", 5, raw.begin() + 15000);
  const std::vector<uint8_t> full = testenv::read_file(dir + "/def");
  ExpandOutcome whole = expand(zip::kMethodDeflate, full, raw.size());
  ASSERT_EQ(kExpandOk, whole.rc);
  ASSERT_EQ(raw, whole.out);
  for (size_t n = 0; n < full.size(); ++n) {
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    ExpandOutcome o = expand(zip::kMethodDeflate, cut, raw.size(), ExpandMode::kToFile, 0, n % 2 ? 1 : 0);
    ASSERT_EQ(kExpandDamaged, o.rc) << "cut at " << n;
    ASSERT_LE(o.out.size(), raw.size());
    ASSERT_TRUE(std::equal(o.out.begin(), o.out.end(), raw.begin())) << "cut at " << n;
    // Whatever was decoded before the end goes out, however the buffers fell.
    if (n % 97 == 0) {
      ExpandOutcome m = expand(zip::kMethodDeflate, cut, raw.size(), ExpandMode::kToMemory);
      ASSERT_EQ(kExpandDamaged, m.rc);
      ASSERT_EQ(o.out, m.out) << "cut at " << n;
    }
  }
}

TEST(InflateHostile, DamageFoundLateDeliversTheSameGoodPartInEveryMode) {
  // 60,000 good bytes (more than one output room of the memory modes), then
  // distance symbol 30, which method 8 does not have: the damage is found
  // after some output went out in some modes and none in others.
  const std::vector<uint8_t> head = random_bytes(60000, 3);
  BitWriter w;
  put_stored(w, head);
  w.put(1, 1);
  w.put(1, 2);  // final block, fixed Huffman
  put_fixed_litlen(w, 'q');
  put_fixed_length(w, 3);
  put_fixed_distance(w, 40000);  // symbol 30
  put_fixed_litlen(w, 256);
  for (ExpandMode mode : {ExpandMode::kToFile, ExpandMode::kToMemory, ExpandMode::kMemoryToMemory}) {
    ExpandOutcome o = expand(zip::kMethodDeflate, w.bytes(), 60004, mode);
    EXPECT_EQ(kExpandDamaged, o.rc);
    std::vector<uint8_t> good = head;
    good.push_back('q');
    EXPECT_EQ(good, o.out);
  }
}

TEST(InflateHostile, DataEndingBetweenBlocksIsCompleteOnlyInMemoryToMemoryMode) {
  const std::string dir = testenv::make_temp_dir("sync-end");
  ASSERT_TRUE(run_python_in(dir,
                         "import sys, zlib\n"
                         "d = b'memory to memory ' * 500\n"
                         "c = zlib.compressobj(6, zlib.DEFLATED, -15)\n"
                         "open(sys.argv[1] + '/raw', 'wb').write(d)\n"
                         "open(sys.argv[1] + '/def', 'wb').write(c.compress(d) + c.flush(zlib.Z_SYNC_FLUSH))\n",
                         {dir}));
  const std::vector<uint8_t> raw = testenv::read_file(dir + "/raw");
  const std::vector<uint8_t> packed = testenv::read_file(dir + "/def");
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, packed, raw.size()).rc);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, packed, raw.size(), ExpandMode::kToMemory).rc);
  ExpandOutcome m = expand(zip::kMethodDeflate, packed, raw.size(), ExpandMode::kMemoryToMemory);
  EXPECT_EQ(kExpandOk, m.rc);
  EXPECT_EQ(raw, m.out);
  // Ending inside a block is damage in every mode.
  const std::vector<uint8_t> cut(packed.begin(), packed.end() - 6);
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, cut, raw.size(), ExpandMode::kMemoryToMemory).rc);
  // No data at all.
  EXPECT_EQ(kExpandDamaged, expand(zip::kMethodDeflate, {}, 0).rc);
}

TEST(InflateHostile, StreamClaimingOneByteStopsAfterAThousandBytesOfOvergrowth) {
  const std::string dir = testenv::make_temp_dir("bomb");
  ASSERT_TRUE(run_python_in(dir,
                         "import sys, zlib\n"
                         "c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
                         "open(sys.argv[1] + '/def', 'wb').write(c.compress(bytes(10_000_000)) + c.flush())\n",
                         {dir}));
  const std::vector<uint8_t> bomb = testenv::read_file(dir + "/def");
  ASSERT_LT(bomb.size(), 20000u);
  ExpandOutcome o = expand(zip::kMethodDeflate, bomb, 1);
  EXPECT_EQ(kExpandOvergrown, o.rc);
  EXPECT_EQ(1001u, o.out.size());  // the item's byte and the 1,000 allowed beyond it
  // The memory modes leave bounding the output to the sink.
  ExpandOutcome m = expand(zip::kMethodDeflate, bomb, 1, ExpandMode::kToMemory);
  EXPECT_EQ(kExpandOk, m.rc);
  EXPECT_EQ(10000000u, m.out.size());
}

}  // namespace
