/* engine/zip/deflate_format.h - constants of the two deflate formats and the level table.
 *
 * Deflate (ZIP method 8) and Deflate64 (method 9) differ only in a handful of
 * numbers: the window (32 KiB or 64 KiB), the longest match, the meaning of
 * length code 285 (length 258 with no extra bits, or base 3 with 16 extra bits)
 * and the two extra distance codes 30 and 31 of Deflate64.  Everything else -
 * the match finders, the parsers, the block writer, the Huffman coder - is one
 * design that takes one of the two format records below as a compile-time
 * parameter, so the inner loops see constants.
 *
 * The compressor works on chunks held whole in memory (deflate_chunk.h): the
 * chunk's data preceded by up to one window of the data before it, so
 * positions are offsets into that buffer and no window ever slides.
 */
#pragma once

#include <cstdint>

namespace ostrana::deflate {

// ---- the two formats ------------------------------------------------------------

/// Deflate: 32 KiB window, matches of 3..258 bytes.
struct Format32 {
  static constexpr bool kIs64 = false;
  static constexpr uint32_t kWindow = 32768;
  static constexpr uint32_t kMaxMatch = 258;
  /// Farthest match: one less than the window, so that a hash chain slot is
  /// never shared by a position and the candidate it leads to.
  static constexpr uint32_t kMaxDist = kWindow - 1;
  static constexpr int kDistCodes = 30;
};

/// Deflate64: 64 KiB window, matches of 3..65,522 bytes, distances up to 65,535.
struct Format64 {
  static constexpr bool kIs64 = true;
  static constexpr uint32_t kWindow = 65536;
  static constexpr uint32_t kMaxMatch = 65522;
  static constexpr uint32_t kMaxDist = kWindow - 1;
  static constexpr int kDistCodes = 32;
};

// ---- alphabet ---------------------------------------------------------------------

inline constexpr int kMinMatch = 3;
inline constexpr int kEndOfBlock = 256;
inline constexpr int kLitLenCodes = 286;    // 0..285 are used; 286 and 287 only in the fixed code
inline constexpr int kFixedLitLenCodes = 288;
inline constexpr int kMaxDistCodes = 32;    // Deflate64 uses all 32
inline constexpr int kBitLenCodes = 19;
inline constexpr int kMaxCodeBits = 15;     // longest literal/length or distance code
inline constexpr int kMaxBitLenBits = 7;    // longest code of the code-length code

/// Length codes 257..284: base length and number of extra bits (index = code - 257).
/// Code 285 differs between the formats and is handled by lengthCode().
inline constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                             15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

/// Distance codes 0..31: base distance and extra bits (30 and 31 are Deflate64's).
inline constexpr uint32_t kDistBase[32] = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
inline constexpr uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,
                                           4, 5, 5, 6, 6, 7, 7,  8,  8,  9,  9,
                                           10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

/// Distance code of @p dist (1..65,536); 63 for 0.  Without branches: the
/// code is twice the top bit's position plus the bit below it.
inline uint32_t distCode(uint32_t dist) {
  uint32_t x = dist - 1;
  uint32_t top = 31u - static_cast<uint32_t>(__builtin_clz(x | 1u));
  uint32_t code = 2 * top + (((x << 1) >> top) & 1u);
  return x < 4 ? x : code;
}

/// Extra-bit count and base of a length code 257..285 in either format.
struct LengthCodeInfo {
  uint32_t base;
  uint32_t extra;
};
template <class F>
constexpr LengthCodeInfo lengthCodeInfo(uint32_t code) {
  if (code == 285 && F::kIs64) return {3, 16};
  return {kLengthBase[code - 257], kLengthExtra[code - 257]};
}

// ---- levels -----------------------------------------------------------------------

/// How a level turns matches into symbols.
enum class Parse : uint8_t {
  kGreedy,   ///< every match is taken at once
  kLazy,     ///< a match is held back one position in case the next is longer
  kLazy2,    ///< the same, looking up to two positions ahead
  kOptimal,  ///< a minimum-cost path over every match, costs from the block's own codes
};

/// One row of the level table.
struct LevelConfig {
  Parse parse;
  uint16_t depth;   ///< candidates looked at per search
  uint16_t nice;    ///< a match this long ends the search (and, lazily, the look-ahead)
  uint16_t good;    ///< lazy: a held match this long quarters the next search's depth;
                    ///< greedy: only this many positions of a match are entered (0: all)
  uint8_t passes;   ///< optimal: cost-model passes over each block
  uint16_t lazy = 0; ///< lazy: a match this long is taken without looking ahead, and the
                     ///< positions a match covers go into the 4-byte heads and chains
                     ///< alone; 0: look ahead up to nice and enter them everywhere
};

/// Level 0 stores and never reaches the compressor; 1 and 3 are greedy, 2 and 4
/// a light lazy parse (a shallow search, a look-ahead only past short matches),
/// 5-8 lazy, 9 the near-optimal parse.
inline constexpr LevelConfig kLevelTable[10] = {
    {Parse::kGreedy, 0, 0, 0, 0},
    {Parse::kGreedy, 2, 16, 8, 0},     // 1
    {Parse::kLazy, 3, 12, 8, 0, 8},    // 2
    {Parse::kGreedy, 10, 48, 0, 0},    // 3
    {Parse::kLazy, 6, 16, 8, 0, 16},   // 4
    {Parse::kLazy, 16, 32, 12, 0},     // 5
    {Parse::kLazy, 32, 64, 32, 0},     // 6
    {Parse::kLazy, 64, 128, 48, 0},    // 7
    {Parse::kLazy2, 256, 258, 128, 0}, // 8
    {Parse::kOptimal, 16, 64, 0, 2},   // 9
};

/// A match of exactly the minimum length farther back than this is not worth its bits.
inline constexpr uint32_t kTooFar = 4096;

}  // namespace ostrana::deflate
