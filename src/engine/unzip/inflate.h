/* engine/unzip/inflate.h - the deflate expander (RFC 1951) and its 64 KiB variant.
 *
 * One design serves ZIP methods 8 (Deflate, 32 KiB window) and 9 (Deflate64:
 * 64 KiB window, distance codes 30 and 31, length code 285 with 16 extra
 * bits).  The decoder is table driven: a literal/length table whose entries
 * carry the length base and extra bits, so that a match decodes in two
 * lookups; a 64-bit bit buffer refilled a word at a time; output written
 * straight into the OutputWindow with word-sized match copies.  A fast loop
 * runs while the input and output buffers have room for any symbol; a careful
 * step handles the last bytes of the data.
 *
 * Every code built from the stream is checked (over-subscribed and incomplete
 * codes are refused, except the lone distance code RFC 1951 allows), and
 * every distance is checked against the output so far; a distance beyond
 * 32 KiB cannot be coded in method 8 at all.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/unzip/expander_io.h"
#include "engine/unzip/huffman_table.h"

namespace ostrana {

class Inflater {
 public:
  /// History the output window must keep: 32 KiB, or 64 KiB for Deflate64.
  static constexpr size_t window_nbytes(bool deflate64) { return deflate64 ? 65536 : 32768; }

  /// Expands one raw deflate stream.  @p out must have been started without
  /// zero history and with window_nbytes(@p deflate64) of window.
  /// @return kDone after the final block; kEndedBetweenBlocks when the data
  ///         ends at a block boundary before a final block; kDamaged;
  ///         kStopped / kInputFailed when the sink or the source gave up.
  CodecStatus run(BitInput& in, OutputWindow& out, bool deflate64);

  static constexpr unsigned kLitlenPrimaryBits = 11;
  static constexpr unsigned kDistPrimaryBits = 8;
  static constexpr unsigned kNumLitlen = 288;
  static constexpr unsigned kNumDist = 32;
  static constexpr size_t kLitlenTableSize = huffman::table_capacity(kLitlenPrimaryBits, kNumLitlen, 15);
  static constexpr size_t kDistTableSize = huffman::table_capacity(kDistPrimaryBits, kNumDist, 15);

 private:
  CodecStatus read_block_header(bool* final_ret, unsigned* type_ret);
  CodecStatus copy_stored_block();
  CodecStatus read_dynamic_tables();
  bool build_fixed_tables();
  template <bool kDeflate64>
  CodecStatus decode_huffman_block(const uint32_t* litlen, const uint32_t* dist);
  template <bool kDeflate64>
  CodecStatus decode_huffman_block_bmi2(const uint32_t* litlen, const uint32_t* dist);
  template <bool kDeflate64>
  CodecStatus decode_huffman_block_body(const uint32_t* litlen, const uint32_t* dist);
  /// How a run of the fast loop ended.
  enum class LoopExit { kLowRoom, kEndOfBlock, kDamaged, kStopped };
  template <bool kDeflate64, bool kTail>
  LoopExit fast_loop(const uint32_t* litlen, const uint32_t* dist);
  bool copy_match_careful(size_t distance, size_t length);

  BitInput* m_in = nullptr;
  OutputWindow* m_out = nullptr;
  bool m_deflate64 = false;
  bool m_bmi2 = false;  ///< decode with the BMI2 build of the block loop
  int m_fixed_kind = -1;  ///< which variant the fixed tables were built for (-1: none yet)

  uint32_t m_litlen[kLitlenTableSize];
  uint32_t m_dist[kDistTableSize];
  uint32_t m_fixed_litlen[kLitlenTableSize];
  uint32_t m_fixed_dist[kDistTableSize];
};

}  // namespace ostrana
