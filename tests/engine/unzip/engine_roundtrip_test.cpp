/* tests/engine/unzip/engine_roundtrip_test.cpp - the engine's compressor through its expander.
 *
 * Risk: the two halves of the engine drifting apart - a Deflate64 long match,
 * a far distance, a stored block or a block boundary that the compressor
 * writes one way and the expander reads another.  Every level of both
 * methods, on inputs that provoke each of these, must come back unchanged,
 * also when the expander reads the stream in small pieces.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/unzip/expand.h"
#include "engine/zip/deflate.h"
#include "expander_test_support.h"

using namespace ostrana;
using namespace exptest;

namespace {

std::vector<std::pair<const char*, std::vector<uint8_t>>> inputs() {
  std::mt19937 gen(1995);
  std::vector<uint8_t> text;
  const char* words[] = {"the ", "archive ", "engine ", "expands ", "every ", "item ", "of ", "it\n"};
  while (text.size() < 120000) {
    const char* w = words[gen() % 8];
    text.insert(text.end(), w, w + std::strlen(w));
  }
  std::vector<uint8_t> noise(50000);
  for (auto& b : noise) b = static_cast<uint8_t>(gen());
  std::vector<uint8_t> far = noise;  // the noise again, 50,000 bytes back: beyond deflate's reach
  far.insert(far.end(), text.begin(), text.begin() + 3000);
  far.insert(far.end(), noise.begin(), noise.end());
  std::vector<uint8_t> runs(300000, 0);  // Deflate64 codes this as matches longer than 258
  for (size_t i = 100000; i < 100500; ++i) runs[i] = static_cast<uint8_t>(i);
  return {{"text", text}, {"noise", noise}, {"far", far}, {"runs", runs}, {"empty", {}}};
}

TEST(EngineRoundTrip, DeflateAndDeflate64AtEveryLevelComeBackUnchanged) {
  DeflateCompressor compressor;
  Expander expander;
  for (const auto& [name, data] : inputs()) {
    for (bool d64 : {false, true}) {
      for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE(std::string(name) + (d64 ? " Deflate64 level " : " deflate level ") + std::to_string(level));
        MemorySource src(data.data(), data.size());
        VectorSink packed;
        DeflateOptions options;
        options.level = level;
        options.deflate64 = d64;
        ASSERT_EQ(0, compressor.compress(src, packed, options, nullptr));
        const uint16_t method = d64 ? zip::kMethodDeflate64 : zip::kMethodDeflate;
        for (size_t piece : {size_t{0}, size_t{13}}) {
          PieceSource in(packed.bytes().data(), packed.bytes().size(), piece);
          CollectSink out;
          ExpandRequest r;
          r.method = method;
          r.compressed_nbytes = packed.bytes().size();
          r.uncompressed_nbytes = data.size();
          r.source = &in;
          r.sink = &out;
          ASSERT_EQ(kExpandOk, expander.expand(r));
          ASSERT_EQ(data, out.bytes);
        }
      }
    }
  }
}

}  // namespace
