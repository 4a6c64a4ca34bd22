/* tests/engine/unzip/inflate_roundtrip_test.cpp - inflate against an independent encoder.
 *
 * Risk: a decoder that only agrees with itself.  Python's zlib compresses a
 * set of inputs (text, incompressible bytes, runs and short periods, empty and
 * one-byte files, data that needs the full 32 KiB window) at every level and
 * with every strategy (stored blocks at level 0, Z_FIXED for fixed Huffman,
 * Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE), with small windows, and with flushes
 * inside the stream; every stream must expand to its input.  Each stream is
 * expanded whole, read through a source that hands out odd-sized pieces, and
 * in the memory modes' small buffers, so the buffer boundaries of the fast
 * loop and the careful step are crossed at many places.
 */
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cpu_paths.h"
#include "engine/unzip/expand.h"
#include "expander_test_support.h"
#include "test_env.h"

using namespace ostrana;
using namespace exptest;

namespace {

const char kMakeStreams[] = R"PY(
import random, sys, zlib
out = sys.argv[1]
rnd = random.Random(1951)
words = [''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(1, 9)))
         for _ in range(800)]
def text(n):
    parts, size = [], 0
    while size < n:
        w = rnd.choice(words) + rnd.choice(['', ' ', ' ', ' ', ', ', '.\n'])
        parts.append(w); size += len(w)
    return ''.join(parts).encode()[:n]
def mixed(n):
    b = bytearray()
    while len(b) < n:
        k = rnd.randint(0, 5)
        if k == 0: b += bytes(rnd.getrandbits(8) for _ in range(rnd.randint(1, 300)))
        elif k == 1: b += bytes([rnd.getrandbits(8)]) * rnd.randint(1, 2000)
        elif k == 2:
            pat = bytes(rnd.getrandbits(8) for _ in range(rnd.randint(2, 7)))
            b += pat * rnd.randint(1, 200)
        elif k == 3 and len(b) > 40000:
            start = rnd.randint(0, len(b) - 33000)   # far back: long distances
            b += b[start:start + rnd.randint(3, 400)]
        else: b += text(rnd.randint(10, 3000))
    return bytes(b[:n])
# 40 KiB of noise and its repetition: matches at distances near 32 KiB and beyond
noise = bytes(rnd.getrandbits(8) for _ in range(40000))
inputs = {
    'text': text(150000),
    'random': bytes(rnd.getrandbits(8) for _ in range(70000)),
    'mixed': mixed(200000),
    'empty': b'',
    'one': b'x',
    'window': noise + noise[:20000] + text(5000) + noise[7000:30000],
}
manifest = []
def emit(name, data, comp):
    open(f'{out}/{name}.def', 'wb').write(comp)
    manifest.append(f'{name} {data}')
for name, data in inputs.items():
    open(f'{out}/{name}.raw', 'wb').write(data)
strategies = {'default': zlib.Z_DEFAULT_STRATEGY, 'filtered': zlib.Z_FILTERED,
              'huffman': zlib.Z_HUFFMAN_ONLY, 'rle': zlib.Z_RLE, 'fixed': zlib.Z_FIXED}
for name, data in inputs.items():
    for level in range(10):
        for sname, strategy in strategies.items():
            if sname != 'default' and level not in (1, 6, 9): continue
            c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
            emit(f'{name}-{level}-{sname}', name, c.compress(data) + c.flush())
    for wbits in (9, 10, 12):
        c = zlib.compressobj(9, zlib.DEFLATED, -wbits, 9)
        emit(f'{name}-w{wbits}', name, c.compress(data) + c.flush())
    # Flushes split the stream into blocks that end anywhere (partial flush: an
    # empty fixed block; sync and full flush: an empty stored block).
    for fname, mode in (('partial', zlib.Z_PARTIAL_FLUSH), ('sync', zlib.Z_SYNC_FLUSH), ('full', zlib.Z_FULL_FLUSH)):
        c = zlib.compressobj(6, zlib.DEFLATED, -15)
        comp = b''
        for i in range(0, len(data), 7777):
            comp += c.compress(data[i:i + 7777]) + c.flush(mode)
        emit(f'{name}-{fname}', name, comp + c.flush())
open(f'{out}/MANIFEST', 'w').write('\n'.join(manifest) + '\n')
)PY";

struct Stream {
  std::string name;
  std::vector<uint8_t> packed;
  const std::vector<uint8_t>* raw;
};

class InflateRoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new std::string(testenv::make_temp_dir("inflate-roundtrip"));
    if (!run_python_in(*s_dir, kMakeStreams, {*s_dir})) return;
    s_raw = new std::map<std::string, std::vector<uint8_t>>();
    s_streams = new std::vector<Stream>();
    std::ifstream manifest(*s_dir + "/MANIFEST");
    std::string line;
    while (std::getline(manifest, line)) {
      std::istringstream fields(line);
      std::string name, raw;
      fields >> name >> raw;
      if (!s_raw->count(raw)) (*s_raw)[raw] = testenv::read_file(*s_dir + "/" + raw + ".raw");
      s_streams->push_back({name, testenv::read_file(*s_dir + "/" + name + ".def"), &(*s_raw)[raw]});
    }
  }

  static std::string* s_dir;
  static std::map<std::string, std::vector<uint8_t>>* s_raw;
  static std::vector<Stream>* s_streams;
};

std::string* InflateRoundTrip::s_dir = nullptr;
std::map<std::string, std::vector<uint8_t>>* InflateRoundTrip::s_raw = nullptr;
std::vector<Stream>* InflateRoundTrip::s_streams = nullptr;

TEST_F(InflateRoundTrip, EveryLevelAndStrategyExpandsToTheInput) {
  ASSERT_NE(nullptr, s_streams);
  ASSERT_GE(s_streams->size(), 168u);  // 6 inputs x 28 ways
  // The decoding loop has a BMI2 build besides the portable one.
  for (bool portable : testenv::both_code_paths()) {
    testenv::ScopedCodePath path(portable);
    for (const Stream& s : *s_streams) {
      SCOPED_TRACE(s.name + (portable ? " (portable)" : ""));
      ExpandOutcome o = expand(zip::kMethodDeflate, s.packed, s.raw->size());
      ASSERT_EQ(kExpandOk, o.rc);
      ASSERT_EQ(*s.raw, o.out);
      // The output stage gets the extraction's buffer size at most.
      EXPECT_LE(o.largest_write, 61440u);
    }
  }
}

TEST_F(InflateRoundTrip, SourcePiecesAndMemoryBuffersDoNotChangeTheOutput) {
  ASSERT_NE(nullptr, s_streams);
  const size_t pieces[] = {1, 3, 31, 4097};
  size_t k = 0;
  for (const Stream& s : *s_streams) {
    SCOPED_TRACE(s.name);
    // Every stream in memory mode; a rotating piece size per stream.
    ExpandOutcome m = expand(zip::kMethodDeflate, s.packed, s.raw->size(), ExpandMode::kToMemory);
    ASSERT_EQ(kExpandOk, m.rc);
    ASSERT_EQ(*s.raw, m.out);
    EXPECT_LE(m.largest_write, 8192u);
    const size_t piece = pieces[k++ % 4];
    ExpandOutcome p = expand(zip::kMethodDeflate, s.packed, s.raw->size(), ExpandMode::kToFile, 0, piece);
    ASSERT_EQ(kExpandOk, p.rc) << "piece " << piece;
    ASSERT_EQ(*s.raw, p.out) << "piece " << piece;
  }
}

TEST_F(InflateRoundTrip, Deflate64ReadsPlainDeflateStreamsThatUseNoLongCodes) {
  // Deflate64 differs only in length code 285 and distance codes 30-31; a
  // stream without code 285 (zlib at level 1 rarely makes 258-byte matches,
  // but text has none) decodes the same.
  ASSERT_NE(nullptr, s_streams);
  for (const Stream& s : *s_streams) {
    if (s.name.rfind("text-", 0) != 0 && s.name.rfind("random-", 0) != 0) continue;
    SCOPED_TRACE(s.name);
    ExpandOutcome o = expand(zip::kMethodDeflate64, s.packed, s.raw->size());
    ASSERT_EQ(kExpandOk, o.rc);
    ASSERT_EQ(*s.raw, o.out);
  }
}

TEST_F(InflateRoundTrip, TrailingBytesAfterTheFinalBlockAreIgnored) {
  ASSERT_NE(nullptr, s_streams);
  const Stream& s = s_streams->front();
  std::vector<uint8_t> padded = s.packed;
  padded.insert(padded.end(), 100, 0x5A);
  ExpandOutcome o = expand(zip::kMethodDeflate, padded, s.raw->size());
  ASSERT_EQ(kExpandOk, o.rc);
  EXPECT_EQ(*s.raw, o.out);
}

}  // namespace
