/* tests/engine/zip/deflate_roundtrip_test.cpp - every stream the compressors make decodes to its input.
 *
 * Risk: a stream that one decoder accepts and another refuses, or that decodes
 * to something else - at some level, for some kind of data, at a block or
 * window boundary.  Every level of both formats compresses text, binary, empty,
 * one byte, ten distinct letters, an input that crosses many blocks and window
 * slides, highly repetitive and random data.  Each stream is decoded by the
 * strict reference decoder here, and all of them by the peers: Python's zlib for
 * method 8, and 7-Zip for both methods (through a zip archive built byte by
 * byte).
 */
#include <gtest/gtest.h>

#include "deflate_test_util.h"
#include "reference_inflate.h"

using namespace deflatetest;

namespace {

struct Input {
  const char* name;
  Bytes data;
};

std::vector<Input> inputs() {
  std::vector<Input> v;
  v.push_back({"empty", {}});
  v.push_back({"one", {'x'}});
  v.push_back({"letters", Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'}});
  v.push_back({"text", makeText(70000, 1)});
  v.push_back({"binary", makeBinary(90000, 2)});
  // Crosses the 32 KiB and 64 KiB windows several times, and many blocks.
  Bytes large = makeText(300000, 3);
  Bytes bin = makeBinary(250000, 4);
  large.insert(large.end(), bin.begin(), bin.end());
  v.push_back({"large", large});
  v.push_back({"zeros", Bytes(300000, 0)});
  Bytes period;
  for (int i = 0; i < 200000; ++i) period.push_back(static_cast<uint8_t>("abcdefg"[i % 7]));
  v.push_back({"period7", period});
  v.push_back({"random", makeRandom(100000, 5)});
  return v;
}

}  // namespace

TEST(DeflateRoundTrip, EveryLevelBothFormatsDecodesWithReferenceAndPeers) {
  ostrana::DeflateCompressor c;
  PeerCheck peers("deflate_roundtrip");
  for (const Input& in : inputs()) {
    for (bool d64 : {false, true}) {
      for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE(std::string(in.name) + (d64 ? " deflate64" : " deflate") + " level " +
                     std::to_string(level));
        Bytes z = compress(c, in.data, options(level, d64));
        refinflate::Result r = refinflate::inflate(z.data(), z.size(), d64);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.consumed, z.size()) << "bytes after the final block";
        ASSERT_TRUE(r.data == in.data) << "decoded " << r.data.size() << " of " << in.data.size();
        if (!d64) {
          EXPECT_LE(r.farthest_distance, 32768u);
        }
        peers.add(std::string(in.name) + "_l" + std::to_string(level), z, d64, in.data);
      }
    }
  }
  peers.run();
}

TEST(DeflateRoundTrip, Deflate64UsesLongMatchesAndFarDistances) {
  ostrana::DeflateCompressor c;
  // A 50,000-byte random run repeated: only a 64 KiB window sees the repeat.
  Bytes unit = makeRandom(50000, 9);
  Bytes data;
  for (int i = 0; i < 4; ++i) data.insert(data.end(), unit.begin(), unit.end());

  Bytes z64 = compress(c, data, options(9, true));
  refinflate::Result r64 = refinflate::inflate(z64.data(), z64.size(), true);
  ASSERT_TRUE(r64.ok) << r64.error;
  ASSERT_TRUE(r64.data == data);
  EXPECT_GT(r64.farthest_distance, 32768u);
  EXPECT_GT(r64.longest_length, 258u);

  Bytes z32 = compress(c, data, options(9, false));
  refinflate::Result r32 = refinflate::inflate(z32.data(), z32.size(), false);
  ASSERT_TRUE(r32.ok) << r32.error;
  ASSERT_TRUE(r32.data == data);
  // Deflate cannot reach back 50,000 bytes: it stores most of it.
  EXPECT_LT(z64.size() * 2, z32.size());

  // The longest match Deflate64 makes is 65,522 bytes.
  Bytes zeros(200000, 0);
  Bytes zz = compress(c, zeros, options(9, true));
  refinflate::Result rz = refinflate::inflate(zz.data(), zz.size(), true);
  ASSERT_TRUE(rz.ok) << rz.error;
  ASSERT_TRUE(rz.data == zeros);
  EXPECT_EQ(rz.longest_length, 65522u);

  PeerCheck peers("deflate64_far");
  peers.add("far", z64, true, data);
  peers.add("zeros", zz, true, zeros);
  peers.run();
}

TEST(DeflateRoundTrip, OutputLargerThanWholeBufferAndFixedBlocksDisallowed) {
  // Without fixed or stored blocks every block is dynamic; still decodes.
  ostrana::DeflateCompressor c;
  ostrana::DeflateOptions o = options(6, false);
  o.allow_fixed_blocks = false;
  o.allow_stored_blocks = false;
  for (const Input& in : inputs()) {
    Bytes z = compress(c, in.data, o);
    refinflate::Result r = refinflate::inflate(z.data(), z.size(), false);
    ASSERT_TRUE(r.ok) << in.name << ": " << r.error;
    EXPECT_TRUE(r.data == in.data) << in.name;
    EXPECT_EQ(r.blocks_fixed + r.blocks_stored, 0) << in.name;
  }
}

// The fastest level has a loop of its own: its last looks stop four bytes
// before the end and its matches run to the very end.  Short periodic inputs
// of every length up to 64 put a match, a 3-byte match or a literal at each
// of the final positions.
TEST(DeflateRoundTrip, FastestLevelShortPeriodicInputsOfEveryLength) {
  ostrana::DeflateCompressor c;
  for (bool d64 : {false, true}) {
    for (size_t period : {1, 2, 3, 5, 9}) {
      for (size_t n = 1; n <= 64; ++n) {
        Bytes in;
        for (size_t i = 0; i < n; ++i) in.push_back(static_cast<uint8_t>('a' + (i % period) + (i / 16 % 2)));
        SCOPED_TRACE("period " + std::to_string(period) + " length " + std::to_string(n) + (d64 ? " deflate64" : ""));
        Bytes z = compress(c, in, options(1, d64));
        refinflate::Result r = refinflate::inflate(z.data(), z.size(), d64);
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_TRUE(r.data == in);
      }
    }
  }
}

// After a long run without matches levels 1-4 search only some
// positions.  Incompressible runs from just below the length where that
// starts to well past the widest step, each followed by a repeat of itself
// (and then by text): the streams decode, the repeat costs a few bytes (a
// missed one costs its length) and the text about what it costs alone (a
// search that never becomes dense again inflates it; the slack is for the
// run's literals coded with the text's trees).
TEST(DeflateRoundTrip, SkippingLevelsStillFindRepeatsAndTextAfterIncompressibleRuns) {
  ostrana::DeflateCompressor c;
  const Bytes text = makeText(40000, 11);
  auto roundTrip = [&](const Bytes& in, int level, bool d64) {
    Bytes z = compress(c, in, options(level, d64));
    refinflate::Result r = refinflate::inflate(z.data(), z.size(), d64);
    EXPECT_TRUE(r.ok && r.data == in) << r.error;
    return z.size();
  };
  for (bool d64 : {false, true}) {
    for (int level : {1, 2, 3, 4}) {  // the levels that pass over incompressible runs
      const size_t text_alone = roundTrip(text, level, d64);
      for (size_t n : {31, 33, 100, 700, 5000, 20000}) {
        SCOPED_TRACE("level " + std::to_string(level) + " run " + std::to_string(n) + (d64 ? " deflate64" : ""));
        const Bytes run = makeRandom(n, n);
        const size_t run_alone = roundTrip(run, level, d64);
        Bytes in = run;
        in.insert(in.end(), run.begin(), run.end());
        EXPECT_LE(roundTrip(in, level, d64), run_alone + n / 32 + 160);
        in.insert(in.end(), text.begin(), text.end());
        EXPECT_LE(roundTrip(in, level, d64), run_alone + text_alone + text_alone / 100 + n / 8 + 256);
      }
    }
  }
}
