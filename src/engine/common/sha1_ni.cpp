/* engine/common/sha1_ni.cpp - the SHA-1 compression function on the SHA instructions.
 *
 * SHA1RNDS4 performs four rounds with the round function selected by its
 * immediate; SHA1NEXTE derives the next E from the A of four rounds earlier
 * and adds the message words; SHA1MSG1 and SHA1MSG2 compute the message
 * schedule W[t] = rol1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]) four words at a
 * time.  The twenty groups of four rounds are unrolled at compile time so
 * that the four message registers stay in registers.
 *
 * Lane order: the instructions keep A (and W[t]) in the highest 32-bit lane,
 * so the state words are reversed on entry and exit and the big-endian
 * message bytes are reversed as a whole.
 */
#include "engine/common/sha1_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <utility>

#define OSTRANA_SHANI __attribute__((target("sha,sse4.1")))

namespace ostrana::detail {
namespace {

struct Sha1Lanes {
  __m128i abcd;
  __m128i prev;  ///< ABCD before the previous group: its A gives this group's E
  __m128i w[4];  ///< message words of the last four groups, W[g] in w[g & 3]
};

template <int G>
OSTRANA_SHANI inline void group(Sha1Lanes& s) {
  if constexpr (G >= 4) {
    s.w[G & 3] = _mm_sha1msg2_epu32(
        _mm_xor_si128(_mm_sha1msg1_epu32(s.w[G & 3], s.w[(G + 1) & 3]), s.w[(G + 2) & 3]), s.w[(G + 3) & 3]);
  }
  __m128i e = _mm_sha1nexte_epu32(s.prev, s.w[G & 3]);
  s.prev = s.abcd;
  s.abcd = _mm_sha1rnds4_epu32(s.abcd, e, G / 5);
}

template <int... G>
OSTRANA_SHANI inline void groups(Sha1Lanes& s, std::integer_sequence<int, G...>) {
  (group<G + 1>(s), ...);
}

}  // namespace

OSTRANA_SHANI void sha1_compress_ni(uint32_t state[5], const uint8_t* blocks, size_t nblocks) {
  const __m128i reverse_bytes = _mm_set_epi64x(0x0001020304050607ll, 0x08090a0b0c0d0e0fll);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; nblocks != 0; --nblocks, blocks += 64) {
    Sha1Lanes s;
    for (int i = 0; i < 4; ++i)
      s.w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), reverse_bytes);
    const __m128i abcd_saved = abcd, e_saved = e0;
    // Group 0 takes E straight from the state.
    s.prev = abcd;
    s.abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, s.w[0]), 0);
    groups(s, std::make_integer_sequence<int, 19>{});
    e0 = _mm_sha1nexte_epu32(s.prev, e_saved);
    abcd = _mm_add_epi32(s.abcd, abcd_saved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace ostrana::detail

#else  // no SHA instructions on this architecture: cpu_has_sha() is false, never called

#include <cstdlib>

namespace ostrana::detail {
void sha1_compress_ni(uint32_t*, const uint8_t*, size_t) { std::abort(); }
}  // namespace ostrana::detail

#endif
