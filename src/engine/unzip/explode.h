/* engine/unzip/explode.h - the expander of ZIP method 6 (imploding).
 *
 * Imploding is LZ77 with Shannon-Fano coded parts.  General purpose flag
 * bit 1 selects an 8 KiB window (7 raw low distance bits) instead of 4 KiB
 * (6 bits); bit 2 adds a literal tree (literals are otherwise 8 raw bits)
 * and raises the shortest match from 2 to 3 bytes.  The data starts with the
 * trees, each sent as run lengths of code lengths (1-16 bits): the literal
 * tree (256 symbols) when present, then the length tree and the distance
 * tree (64 symbols each).
 *
 * Codes are assigned as the format prescribes (longest codes first, counting
 * up from zero) and looked up in tables of 9 bits for literals, 7 for
 * lengths and 7 for distances (8 when the compressed data exceeds 200,000
 * bytes), with subtables for the longer codes.  A tree whose codes overflow
 * or collide is refused.  The window starts as zeros: a match reaching before
 * the first byte yields zero bytes, as the compressor assumed.
 */
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/unzip/expander_io.h"
#include "engine/unzip/huffman_table.h"

namespace ostrana {

class Exploder {
 public:
  /// The output window: 8 KiB with flag bit 1, else 4 KiB.
  static constexpr size_t window_nbytes(uint16_t flags) { return (flags & 2) ? 8192 : 4096; }

  /// Expands until @p out_nbytes bytes are produced.  @p out must have been
  /// started with window_nbytes(@p flags) of zero history.
  /// @return kDone; kDoneInputLeft when compressed bytes remain unread after
  ///         the output is complete; kDamaged for bad trees, undefined codes
  ///         or data that ends early; kStopped / kInputFailed.
  CodecStatus run(BitInput& in, OutputWindow& out, uint16_t flags, uint64_t compressed_nbytes,
                  uint64_t out_nbytes);

  static constexpr unsigned kLiteralBits = 9;
  static constexpr unsigned kLengthBits = 7;
  static constexpr unsigned kMaxCodeBits = 16;
  static constexpr size_t kLiteralTableSize = huffman::table_capacity(kLiteralBits, 256, kMaxCodeBits);
  static constexpr size_t kSmallTableSize = huffman::table_capacity(kLengthBits, 64, kMaxCodeBits);
  // The distance table is 7 or 8 bits wide; the narrower one may need more subtables.
  static constexpr size_t kDistanceTableSize =
      std::max(huffman::table_capacity(7, 64, kMaxCodeBits), huffman::table_capacity(8, 64, kMaxCodeBits));

 private:
  /// Reads one tree and builds its table.  @return kDone, kDamaged or kInputFailed.
  CodecStatus read_tree(BitInput& in, unsigned nsyms, unsigned primary_bits, uint32_t* table,
                        size_t table_avail);

  uint32_t m_literal[kLiteralTableSize];
  uint32_t m_length[kSmallTableSize];
  uint32_t m_distance[kDistanceTableSize];
  huffman::Codeword m_words[256];
};

}  // namespace ostrana
