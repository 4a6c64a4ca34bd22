/* tests/engine/zip/deflate_huffman_test.cpp - code lengths: optimal, complete, within the limit.
 *
 * Risk: a skewed block (Fibonacci-like frequencies) whose plain Huffman code is
 * deeper than 15 (or 7 for the code-length code) bits; a code that is not
 * complete, which strict decoders refuse; a code that is valid but larger than
 * necessary.  The limited lengths are compared with an exhaustive optimum on
 * small alphabets.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "deflate_test_util.h"
#include "engine/zip/deflate_huffman.h"
#include "reference_inflate.h"

using ostrana::deflate::buildCanonicalCodes;
using ostrana::deflate::buildCodeLengths;
using ostrana::deflate::HuffmanScratch;

namespace {

/// Kraft sum scaled by 2^15: 32768 for a complete code.
uint64_t kraft(const uint8_t* lens, int n) {
  uint64_t k = 0;
  for (int i = 0; i < n; ++i)
    if (lens[i]) k += uint64_t{1} << (15 - lens[i]);
  return k;
}

uint64_t cost(const uint32_t* freq, const uint8_t* lens, int n) {
  uint64_t c = 0;
  for (int i = 0; i < n; ++i) c += uint64_t{freq[i]} * lens[i];
  return c;
}

/// The least weighted length of a complete code with lengths <= limit, by
/// trying every sorted length assignment (small alphabets only).
uint64_t bruteForceOptimum(std::vector<uint32_t> freq, int limit) {
  std::sort(freq.rbegin(), freq.rend());  // most frequent first gets the shortest code
  const int n = static_cast<int>(freq.size());
  uint64_t best = UINT64_MAX;
  std::vector<int> lens(n);
  std::function<void(int, int, uint64_t, uint64_t)> rec = [&](int i, int min_len, uint64_t k, uint64_t c) {
    if (k > (uint64_t{1} << limit)) return;
    if (i == n) {
      if (k == (uint64_t{1} << limit)) best = std::min(best, c);
      return;
    }
    for (int l = min_len; l <= limit; ++l) rec(i + 1, l, k + (uint64_t{1} << (limit - l)), c + uint64_t{freq[i]} * l);
  };
  rec(0, 1, 0, 0);
  return best;
}

}  // namespace

TEST(DeflateHuffman, FibonacciFrequenciesAreLimitedAndComplete) {
  auto scratch = std::make_unique<HuffmanScratch>();
  std::vector<uint32_t> freq(30);
  uint32_t a = 1, b = 1;
  for (auto& f : freq) {
    f = a;
    uint32_t c = a + b;
    a = b;
    b = c;
  }
  uint8_t lens[30];
  buildCodeLengths(freq.data(), 30, 15, *scratch, lens);
  EXPECT_EQ(*std::max_element(lens, lens + 30), 15);
  EXPECT_EQ(kraft(lens, 30), 32768u);
  for (int i = 1; i < 30; ++i) EXPECT_LE(lens[i], lens[i - 1]) << "more frequent, not longer";

  // The code-length code's limit of 7.
  std::vector<uint32_t> f19(freq.begin(), freq.begin() + 19);
  uint8_t l19[19];
  buildCodeLengths(f19.data(), 19, 7, *scratch, l19);
  EXPECT_EQ(*std::max_element(l19, l19 + 19), 7);
  uint64_t k = 0;
  for (uint8_t l : l19) k += uint64_t{1} << (7 - l);
  EXPECT_EQ(k, 128u);
}

TEST(DeflateHuffman, LimitedLengthsAreOptimal) {
  auto scratch = std::make_unique<HuffmanScratch>();
  deflatetest::Rng rng(61);
  for (int round = 0; round < 40; ++round) {
    int n = 3 + static_cast<int>(rng.below(7));
    int limit = 3 + static_cast<int>(rng.below(2));  // 3 or 4 bits for up to 9 symbols: often binding
    if ((1 << limit) < n) limit = 4;
    std::vector<uint32_t> freq(n);
    for (auto& f : freq) f = 1 + (rng.below(2) ? rng.below(5) : rng.below(5000));
    uint8_t lens[16];
    buildCodeLengths(freq.data(), n, limit, *scratch, lens);
    uint64_t k = 0;
    for (int i = 0; i < n; ++i) {
      ASSERT_GE(lens[i], 1);
      ASSERT_LE(lens[i], limit);
      k += uint64_t{1} << (limit - lens[i]);
    }
    EXPECT_EQ(k, uint64_t{1} << limit) << "complete";
    EXPECT_EQ(cost(freq.data(), lens, n), bruteForceOptimum(freq, limit)) << "round " << round;
  }
}

TEST(DeflateHuffman, FewSymbolsStillGiveACompleteCode) {
  auto scratch = std::make_unique<HuffmanScratch>();
  uint32_t none[30] = {};
  uint8_t lens[30];
  buildCodeLengths(none, 30, 15, *scratch, lens);
  EXPECT_EQ(kraft(lens, 30), 32768u);
  uint32_t one[30] = {};
  one[17] = 40;
  buildCodeLengths(one, 30, 15, *scratch, lens);
  EXPECT_EQ(lens[17], 1);
  EXPECT_EQ(kraft(lens, 30), 32768u);
  // Canonical codes: shorter codes first, consecutive within a length (bit-reversed).
  uint8_t l4[4] = {2, 1, 3, 3};
  uint16_t codes[4];
  buildCanonicalCodes(l4, 4, codes);
  EXPECT_EQ(codes[1], 0b0);                                              // "0"
  EXPECT_EQ(codes[0], ostrana::deflate::reverseBits(0b10, 2));           // "10"
  EXPECT_EQ(codes[2], ostrana::deflate::reverseBits(0b110, 3));          // "110"
  EXPECT_EQ(codes[3], ostrana::deflate::reverseBits(0b111, 3));          // "111"
}

TEST(DeflateHuffman, SkewedLiteralsMakeDeepTreesThatStillDecode) {
  // Byte i appears fib(i) times (capped), shuffled: the block's literal code
  // would be deeper than 15 bits without the limit.
  deflatetest::Bytes data;
  uint64_t a = 1, b = 1;
  for (int i = 0; i < 22; ++i) {  // 28,656 bytes: two blocks, each still skewed past 15 bits
    for (uint64_t k = 0; k < a; ++k) data.push_back(static_cast<uint8_t>('A' + i));
    uint64_t c = a + b;
    a = b;
    b = c;
  }
  deflatetest::Rng rng(62);
  for (size_t i = data.size() - 1; i > 0; --i) std::swap(data[i], data[rng.below(static_cast<uint32_t>(i + 1))]);
  ostrana::DeflateCompressor c;
  for (int level : {1, 6}) {
    deflatetest::Bytes z = deflatetest::compress(c, data, deflatetest::options(level, false));
    refinflate::Result r = refinflate::inflate(z.data(), z.size(), false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.data == data);
  }
}
