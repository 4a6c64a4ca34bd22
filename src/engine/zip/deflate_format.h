/* engine/zip/deflate_format.h - constants of the two deflate formats and the level table.
 *
 * Deflate (ZIP method 8) and Deflate64 (method 9) differ only in a handful of
 * numbers: the window (32 KiB or 64 KiB), the longest match, the meaning of
 * length code 285 (length 258 with no extra bits, or base 3 with 16 extra bits)
 * and the two extra distance codes 30 and 31 of Deflate64.  Everything else -
 * the match finder, the block writer, the Huffman coder - is one design that
 * takes one of the two format records below as a compile-time parameter, so the
 * inner loops see constants.
 *
 * The window buffer holds the window, the farthest reach of a match and the
 * lookahead: W + max distance + min lookahead bytes.  When the current position
 * reaches W + max distance the upper part moves down by W (see deflate.cpp).
 * A match candidate lies less than kMaxDist bytes back, so that a match held by
 * the lazy levels survives that move.
 */
#pragma once

#include <cstdint>

namespace ostrana::deflate {

// ---- the two formats ------------------------------------------------------------

/// Deflate: 32 KiB window, matches of 3..258 bytes.  Positions in the buffer
/// fit 16 bits, which halves the footprint of the hash and chain arrays.
struct Format32 {
  using Pos = uint16_t;
  static constexpr bool kIs64 = false;
  static constexpr uint32_t kWindow = 32768;
  static constexpr uint32_t kMaxMatch = 258;
  static constexpr uint32_t kMinLookahead = kMaxMatch + 4;          // 262
  static constexpr uint32_t kMaxDist = kWindow - kMinLookahead;     // 32,506
  static constexpr uint32_t kBufferSize = kWindow + kMaxDist + kMinLookahead;  // 65,536
  static constexpr int kHashBits = 15;   // chain heads
  static constexpr int kHash3Bits = 15;  // 3-byte table of the lazy levels
  static constexpr uint32_t kSymbolBuffer = 16384;  // literal and distance buffers
  static constexpr int kDistCodes = 30;
};

/// Deflate64: 64 KiB window, matches of 3..65,522 bytes, distances up to 65,535.
struct Format64 {
  using Pos = uint32_t;
  static constexpr bool kIs64 = true;
  static constexpr uint32_t kWindow = 65536;
  static constexpr uint32_t kMaxMatch = 65522;
  static constexpr uint32_t kMinLookahead = kMaxMatch + 4;          // 65,526
  static constexpr uint32_t kMaxDist = kWindow - 1;                 // 65,535
  static constexpr uint32_t kBufferSize = kWindow + kMaxDist + kMinLookahead + 1;  // 196,598
  static constexpr int kHashBits = 15;
  static constexpr int kHash3Bits = 15;
  static constexpr uint32_t kSymbolBuffer = 32768;
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

/// Distance code of @p dist (1..65,536).
inline uint32_t distCode(uint32_t dist) {
  uint32_t x = dist - 1;
  if (x < 4) return x;
  uint32_t top = 31u - static_cast<uint32_t>(__builtin_clz(x));
  return 2 * top + ((x >> (top - 1)) & 1u);
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

/// One row of the level table: when a search may stop early, how hard it tries.
struct LevelConfig {
  uint16_t good_length;  ///< a held match this long quarters the chain of the next search
  uint16_t max_lazy;     ///< lazy levels: search again only below this; fast levels: longest match whose positions are all hashed
  uint16_t nice_length;  ///< a match this long ends the search
  uint16_t max_chain;    ///< candidates looked at per search
};

inline constexpr LevelConfig kLevelTable[10] = {
    {0, 0, 0, 0},          // 0: stored (never reaches the compressor)
    {4, 4, 8, 4},          // 1: fast
    {4, 5, 16, 8},         // 2: fast
    {4, 6, 32, 32},        // 3: fast
    {4, 4, 16, 16},        // 4: lazy from here on
    {8, 16, 32, 32},       // 5
    {8, 16, 128, 128},     // 6
    {8, 32, 128, 256},     // 7
    {32, 128, 258, 1024},  // 8
    {32, 258, 258, 4096},  // 9
};

/// Levels 1..3 emit a match at once; 4..9 hold it back for one position.
inline constexpr int kLastFastLevel = 3;

/// A held match of exactly the minimum length farther back than this is not worth its bits.
inline constexpr uint32_t kTooFar = 4096;

}  // namespace ostrana::deflate
