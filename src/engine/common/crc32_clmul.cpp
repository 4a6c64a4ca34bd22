/* engine/common/crc32_clmul.cpp - CRC-32 by carry-less multiplication folding.
 *
 * A CRC is the remainder of the message polynomial (times x^32) modulo the
 * generator P.  Remainders are linear, so a 128-bit chunk X that lies D bits
 * before the end of a later chunk can be replaced by any value congruent to
 * X * x^D mod P and added (XORed) into that later chunk.  Splitting X into its
 * two 64-bit halves, X * x^D = Xhi * x^(D+64) + Xlo * x^D, and each half times
 * a 32-bit constant (x^(D+64) and x^D reduced mod P) is one PCLMULQDQ whose
 * 96-bit product fits the 128-bit lane.  Four independent lanes fold 64 bytes
 * per step, which keeps the multiplier busy despite its latency; at the end the
 * lanes are folded into one and the last 16 bytes of state plus the tail go
 * through the table code, which performs the final reduction exactly.
 *
 * Bit order: ZIP's CRC is reflected, so byte 0 bit 0 is the highest power.
 * In a 64-bit lane loaded from memory bit j stands for x^(63-j); the product
 * of two such lanes has bit j standing for x^(126-j), one power short of the
 * 128-bit frame, which the constants absorb: each is stored reflected in 33
 * bits (bit k stands for x^(32-k)), i.e. multiplied by x^32 relative to the
 * frame, so the constant for x^E is (x^(E-32) mod P) in that layout.
 *
 * The constants are computed at compile time from P, so no magic number can
 * be mistyped.
 */
#include "engine/common/crc32_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ostrana::detail {
namespace {

/// x^n mod P in the normal (non-reflected) bit order; P = 0x104C11DB7.
constexpr uint32_t xpow_mod_p(int n) {
  uint64_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if (r & (uint64_t(1) << 32)) r ^= 0x104C11DB7ull;
  }
  return static_cast<uint32_t>(r);
}

constexpr uint32_t reflect32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i)
    if (v & (1u << i)) r |= 1u << (31 - i);
  return r;
}

/// The multiplier that moves a 64-bit half standing E bits before the frame's end.
constexpr uint64_t fold_constant(int e) { return uint64_t(reflect32(xpow_mod_p(e - 32))) << 1; }

// Folding distance D: the high half moves D+64 bits, the low half D bits.
constexpr uint64_t kFold512Hi = fold_constant(512 + 64), kFold512Lo = fold_constant(512);
constexpr uint64_t kFold128Hi = fold_constant(128 + 64), kFold128Lo = fold_constant(128);

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x00);  // lane 0 holds the higher powers
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

#define OSTRANA_WIDE_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1")))

OSTRANA_WIDE_TARGET inline __m256i load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

/// fold() on both 128-bit lanes at once.
OSTRANA_WIDE_TARGET inline __m256i fold256(__m256i x, __m256i k, __m256i next) {
  const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x00);
  const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(hi, lo), next);
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint32_t crc32_clmul_raw(uint32_t reg, const uint8_t* data,
                                                                  size_t nbytes) {
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Lo), static_cast<long long>(kFold512Hi));
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Lo), static_cast<long long>(kFold128Hi));
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };

  // The register enters as an XOR over the first four message bytes.
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = load(data + 16), x2 = load(data + 32), x3 = load(data + 48);
  data += 64;
  nbytes -= 64;
  while (nbytes >= 64) {
    x0 = fold(x0, k512, load(data));
    x1 = fold(x1, k512, load(data + 16));
    x2 = fold(x2, k512, load(data + 32));
    x3 = fold(x3, k512, load(data + 48));
    data += 64;
    nbytes -= 64;
  }
  __m128i x = fold(x0, k128, x1);
  x = fold(x, k128, x2);
  x = fold(x, k128, x3);
  while (nbytes >= 16) {
    x = fold(x, k128, load(data));
    data += 16;
    nbytes -= 16;
  }
  // The folded state is congruent to everything so far: its CRC from a zero
  // register is the register, and the tail continues from there.
  alignas(16) uint8_t state[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(state), x);
  return crc32_slicing_raw(crc32_slicing_raw(0, state, 16), data, nbytes);
}

/// The same folding on 256-bit registers (two 128-bit lanes each, folded
/// independently by VPCLMULQDQ): four registers fold 128 bytes per step, and
/// at the end they are folded into one, its two lanes into one 128-bit value,
/// and the rest goes as above.
OSTRANA_WIDE_TARGET uint32_t crc32_vclmul_raw(uint32_t reg, const uint8_t* data, size_t nbytes) {
  constexpr uint64_t kFold1024Hi = fold_constant(1024 + 64), kFold1024Lo = fold_constant(1024);
  constexpr uint64_t kFold256Hi = fold_constant(256 + 64), kFold256Lo = fold_constant(256);
  const __m256i k1024 = _mm256_set_epi64x(static_cast<long long>(kFold1024Lo), static_cast<long long>(kFold1024Hi),
                                          static_cast<long long>(kFold1024Lo), static_cast<long long>(kFold1024Hi));
  const __m256i k256 = _mm256_set_epi64x(static_cast<long long>(kFold256Lo), static_cast<long long>(kFold256Hi),
                                         static_cast<long long>(kFold256Lo), static_cast<long long>(kFold256Hi));
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Lo), static_cast<long long>(kFold128Hi));

  __m256i y0 = _mm256_xor_si256(load256(data), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
  __m256i y1 = load256(data + 32), y2 = load256(data + 64), y3 = load256(data + 96);
  data += 128;
  nbytes -= 128;
  while (nbytes >= 128) {
    y0 = fold256(y0, k1024, load256(data));
    y1 = fold256(y1, k1024, load256(data + 32));
    y2 = fold256(y2, k1024, load256(data + 64));
    y3 = fold256(y3, k1024, load256(data + 96));
    data += 128;
    nbytes -= 128;
  }
  __m256i y = fold256(y0, k256, y1);
  y = fold256(y, k256, y2);
  y = fold256(y, k256, y3);
  while (nbytes >= 32) {
    y = fold256(y, k256, load256(data));
    data += 32;
    nbytes -= 32;
  }
  // The low lane holds the earlier 16 bytes.
  __m128i x = fold(_mm256_castsi256_si128(y), k128, _mm256_extracti128_si256(y, 1));
  while (nbytes >= 16) {
    x = fold(x, k128, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
    data += 16;
    nbytes -= 16;
  }
  alignas(16) uint8_t state[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(state), x);
  return crc32_slicing_raw(crc32_slicing_raw(0, state, 16), data, nbytes);
}

}  // namespace ostrana::detail

#else  // no carry-less multiplication on this architecture: never selected

namespace ostrana::detail {
uint32_t crc32_clmul_raw(uint32_t reg, const uint8_t* data, size_t nbytes) {
  return crc32_slicing_raw(reg, data, nbytes);
}
uint32_t crc32_vclmul_raw(uint32_t reg, const uint8_t* data, size_t nbytes) {
  return crc32_slicing_raw(reg, data, nbytes);
}
}  // namespace ostrana::detail

#endif
