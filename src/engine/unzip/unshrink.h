/* engine/unzip/unshrink.h - the expander of ZIP method 1 (shrinking).
 *
 * Shrinking is dynamic LZW: codes of 9 to 13 bits, least significant bit
 * first; codes 0-255 are the bytes, 256 is an escape followed by a
 * sub-code (1: the code size grows by one bit; 2: partial clearing, which
 * frees every code that is no other code's prefix), and new codes take the
 * lowest free number from 257 up to 8,191.
 *
 * The table holds each code's prefix code and last byte; a string is spelt
 * by walking the prefixes onto a stack, bounded by the table size so that a
 * damaged table (a cycle) cannot loop.  As the format has no error
 * reporting, damaged data (an undefined code, an unknown escape, data that
 * ends before the item's size) ends the expansion quietly: what was produced
 * so far is the output, and the item's CRC check tells the damage.
 */
#pragma once

#include <cstdint>

#include "engine/unzip/expander_io.h"

namespace ostrana {

class Unshrinker {
 public:
  /// Expands until @p out_nbytes bytes are produced, or quietly stops at damage.
  /// @return kDone, or kStopped / kInputFailed when the sink or the source gave up.
  CodecStatus run(BitInput& in, OutputWindow& out, uint64_t out_nbytes);

  static constexpr unsigned kMaxCodes = 8192;

 private:
  void partial_clear();
  void find_next_free();

  static constexpr uint16_t kFreeCode = 0xFFFF;
  uint16_t m_parent[kMaxCodes];  ///< prefix code, kFreeCode when the code is unused
  uint8_t m_last[kMaxCodes];     ///< the code's last byte
  uint8_t m_first[kMaxCodes];    ///< the code's first byte (spares a walk for the new entry)
  uint8_t m_stack[kMaxCodes];
  unsigned m_next_free = 257;
};

}  // namespace ostrana
