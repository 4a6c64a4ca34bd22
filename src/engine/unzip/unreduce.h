/* engine/unzip/unreduce.h - the expander of ZIP methods 2 to 5 (reducing).
 *
 * Reducing is two stages.  The first codes bytes with follower sets: for
 * every byte value, up to 63 bytes that often follow it, indexed with as few
 * bits as the set needs; a byte outside the set is sent whole.  The second
 * is a run of "DLE" (0x90) escapes that copy earlier output: the compression
 * factor f (1-4, method - 1) splits the escape's first byte into 8 - f length
 * bits and f high distance bits, so lengths reach 385 and distances 4,096.
 *
 * The output window is 16 KiB and starts as zeros: a copy that reaches
 * before the first byte yields zero bytes, as the compressor assumed.  The
 * format has no error reporting: damaged data (a follower index beyond its
 * set, data that ends before the item's size) ends the expansion quietly and
 * the item's CRC check tells the damage.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/unzip/expander_io.h"

namespace ostrana {

class Unreducer {
 public:
  static constexpr size_t kWindowNbytes = 16384;

  /// Expands until @p out_nbytes bytes are produced, or quietly stops at damage.
  /// @p out must have been started with kWindowNbytes of zero history.
  /// @param factor  compression factor 1..4 (method - 1)
  /// @return kDone, or kStopped / kInputFailed when the sink or the source gave up.
  CodecStatus run(BitInput& in, OutputWindow& out, unsigned factor, uint64_t out_nbytes);

 private:
  uint8_t m_followers[256][64];
  uint8_t m_count[256];
};

}  // namespace ostrana
