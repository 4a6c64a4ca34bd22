/* tests/engine/zip/deflate_large_test.cpp - a 100 MB entry through the reader and both compressors.
 *
 * Risk: faults that only show after thousands of window slides and blocks, or
 * beyond 32-bit intermediate sizes of a block's bookkeeping; a CRC that drifts
 * over a long entry.  The input is made on the fly (slices of a text and a
 * binary pool at seeded offsets, so it has both near and far repeats); the
 * streams go to files and are decoded by Python's zlib (method 8) and 7-Zip
 * (both), which also check the CRC-32 that the entry reader computed.
 */
#include <gtest/gtest.h>

#include <cstdio>

#include "deflate_test_util.h"
#include "engine/zip/deflate_input.h"

using namespace deflatetest;

namespace {

constexpr uint64_t kTotal = 100'000'000;

/// 100 MB of mixed data, made as it is read.
class GeneratedSource final : public ostrana::ByteSource {
 public:
  GeneratedSource() : m_text(makeText(1 << 20, 71)), m_binary(makeBinary(1 << 20, 72)), m_rng(73) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t given = 0;
    while (given < avail && m_done < kTotal) {
      if (m_left == 0) {
        m_pool = (m_rng.below(3) == 0) ? &m_binary : &m_text;
        m_left = 4096 + m_rng.below(60000);
        m_at = m_rng.below(static_cast<uint32_t>(m_pool->size() - m_left));
      }
      size_t n = std::min<uint64_t>({avail - given, m_left, kTotal - m_done});
      std::memcpy(buf + given, m_pool->data() + m_at, n);
      m_at += n;
      m_left -= n;
      given += n;
      m_done += n;
    }
    return static_cast<std::ptrdiff_t>(given);
  }

 private:
  Bytes m_text, m_binary;
  Rng m_rng;
  const Bytes* m_pool = nullptr;
  size_t m_at = 0, m_left = 0;
  uint64_t m_done = 0;
};

class FileSink final : public ostrana::ByteSink {
 public:
  explicit FileSink(const std::string& path) : m_f(std::fopen(path.c_str(), "wb")) {}
  ~FileSink() override { close(); }
  int write(const uint8_t* data, size_t nbytes) override {
    return m_f && std::fwrite(data, 1, nbytes, m_f) == nbytes ? 0 : 14;
  }
  bool close() {
    bool ok = m_f && std::fclose(m_f) == 0;
    m_f = nullptr;
    return ok;
  }

 private:
  std::FILE* m_f;
};

}  // namespace

TEST(DeflateLarge, HundredMegabytesBothFormatsDecodeWithPeers) {
  PeerCheck peers("deflate_large");
  ostrana::DeflateCompressor c;
  struct Case {
    const char* file;
    int level;
    bool d64;
  };
  for (const Case& k : {Case{"big.m8", 3, false}, Case{"big.m9", 1, true}}) {
    GeneratedSource gen;
    ostrana::EntryReader reader(gen, false, nullptr);
    FileSink sink(peers.dir() + "/" + k.file);
    ostrana::DeflateResult res;
    ASSERT_EQ(c.compress(reader, sink, options(k.level, k.d64), &res), 0);
    ASSERT_TRUE(sink.close());
    EXPECT_EQ(res.in_nbytes, kTotal);
    EXPECT_EQ(reader.nbytes(), kTotal);
    EXPECT_LT(res.out_nbytes, kTotal / 2);
    peers.addKnown(k.file, k.d64, reader.crc(), reader.nbytes());
  }
  peers.run();
}
