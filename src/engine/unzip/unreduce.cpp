/* engine/unzip/unreduce.cpp - follower-set decoding and DLE expansion of reduced items.
 *
 * See unreduce.h.  Both stages run in one loop: each byte the follower sets
 * give is fed at once to the escape state machine.
 */
#include "engine/unzip/unreduce.h"

#include <bit>

namespace ostrana {
namespace {

constexpr uint8_t kDle = 0x90;

/// Bits of a follower index into a set of @p n (1..63) bytes.
unsigned index_bits(unsigned n) { return n <= 2 ? 1 : static_cast<unsigned>(std::bit_width(n - 1)); }

}  // namespace

CodecStatus Unreducer::run(BitInput& in, OutputWindow& out, unsigned factor, uint64_t out_nbytes) {
  if (factor < 1 || factor > 4) return CodecStatus::kDamaged;
  const unsigned length_mask = 0xFFu >> factor;

  // The follower sets, sent for byte values 255 down to 0.
  for (int x = 255; x >= 0; --x) {
    if (in.m_nbits < 16 && !in.refill()) return CodecStatus::kInputFailed;
    const unsigned n = in.take(6);
    m_count[x] = static_cast<uint8_t>(n);
    for (unsigned i = 0; i < n; ++i) {
      if (in.m_nbits < 8 && !in.refill()) return CodecStatus::kInputFailed;
      m_followers[x][i] = static_cast<uint8_t>(in.take(8));
    }
    if (in.overran()) return CodecStatus::kDone;
  }

  enum { kPlain, kAfterDle, kLengthByte, kDistanceByte } state = kPlain;
  unsigned escape = 0;  // the first byte after DLE
  unsigned length = 0;
  unsigned last = 0;    // the previous byte of the first stage
  while (out.total_out() < out_nbytes) {
    if (in.m_nbits < 16 && !in.refill()) return CodecStatus::kInputFailed;
    unsigned c;
    const unsigned n = m_count[last];
    if (n == 0 || in.take(1) != 0) {
      c = in.take(8);
    } else {
      const unsigned index = in.take(index_bits(n));
      if (index >= n) break;  // damaged: no such follower
      c = m_followers[last][index];
    }
    if (in.overran()) break;
    last = c;

    switch (state) {
      case kPlain:
        if (c != kDle) {
          if (!out.put(static_cast<uint8_t>(c))) return CodecStatus::kStopped;
        } else {
          state = kAfterDle;
        }
        break;
      case kAfterDle:
        if (c == 0) {
          if (!out.put(kDle)) return CodecStatus::kStopped;  // DLE 0 is a literal DLE
          state = kPlain;
        } else {
          escape = c;
          length = c & length_mask;
          state = length == length_mask ? kLengthByte : kDistanceByte;
        }
        break;
      case kLengthByte:
        length += c;
        state = kDistanceByte;
        break;
      case kDistanceByte: {
        const size_t distance = ((escape >> (8 - factor)) << 8) + c + 1;
        for (unsigned k = length + 3; k != 0 && out.total_out() < out_nbytes; --k)
          if (!out.put(*(out.pos() - distance))) return CodecStatus::kStopped;
        state = kPlain;
        break;
      }
    }
  }
  return CodecStatus::kDone;
}

}  // namespace ostrana
