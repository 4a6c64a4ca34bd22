/* engine/zip/deflate_huffman.h - length-limited Huffman code lengths and canonical codes.
 *
 * The deflate block coder needs, for each alphabet of a block (literal/length,
 * distance, code length), the code lengths that minimise the block's size under
 * the format's limit (15 bits, 7 for the code-length code).  The package-merge
 * method gives them, optimal under the limit; it equals a plain Huffman code
 * whenever the limit does not bind.  Alphabets are small
 * (at most 288 symbols) and a block holds thousands of symbols, so the cost is
 * small; a plain Huffman code is built first and package-merge runs only when
 * that code is too deep.
 *
 * Every code made here is complete (its Kraft sum is exactly one): when fewer
 * than two symbols are used, one or two unused symbols get a code of length 1 as
 * well, because strict decoders refuse incomplete codes.  Ties between equal
 * frequencies are broken by symbol number, so equal input gives equal output.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana::deflate {

/// Largest alphabet handled (the fixed literal/length alphabet).
inline constexpr int kMaxAlphabet = 288;

/// Work area of buildCodeLengths(); kept by the caller so that nothing is
/// allocated per block.
struct HuffmanScratch {
  static constexpr int kMaxNodes = kMaxAlphabet + 15 * 2 * kMaxAlphabet;
  uint64_t weight[kMaxNodes];
  int32_t left[kMaxNodes];   // -1 for a leaf
  int32_t right[kMaxNodes];  // the symbol of a leaf, else the second child
  int32_t list_a[2 * kMaxAlphabet];
  int32_t list_b[2 * kMaxAlphabet];
};

/// Computes code lengths for the @p nsyms symbols with frequencies @p freq so
/// that no length exceeds @p limit (1..15) and the weighted length is minimal.
/// Unused symbols get length 0, except as said above when fewer than two are used.
/// @p nsyms must be at least 2 and at most kMaxAlphabet.
void buildCodeLengths(const uint32_t* freq, int nsyms, int limit, HuffmanScratch& scratch,
                      uint8_t* lens_ret);

/// Canonical codes for the lengths @p lens, bit-reversed for the LSB-first
/// bit order of deflate.  Symbols of length 0 get code 0.
void buildCanonicalCodes(const uint8_t* lens, int nsyms, uint16_t* codes_ret);

/// The @p nbits (0..16) low bits of @p code in reverse order.
inline uint32_t reverseBits(uint32_t code, int nbits) {
  uint32_t x = code & 0xFFFFu;
  x = ((x & 0x5555u) << 1) | ((x >> 1) & 0x5555u);
  x = ((x & 0x3333u) << 2) | ((x >> 2) & 0x3333u);
  x = ((x & 0x0F0Fu) << 4) | ((x >> 4) & 0x0F0Fu);
  x = ((x & 0x00FFu) << 8) | ((x >> 8) & 0x00FFu);
  return x >> (16 - nbits);
}

}  // namespace ostrana::deflate
