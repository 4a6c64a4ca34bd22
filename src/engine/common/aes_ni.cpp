/* engine/common/aes_ni.cpp - AES with the processor's AES instructions.
 *
 * One AESENC per round and block.  The instruction has a latency of several
 * cycles but accepts a new block every cycle or two, so the modes that allow
 * it (ECB, CTR and CBC decryption) keep eight independent blocks in flight;
 * CBC encryption is serial by construction and runs one block at a time.
 *
 * The round keys come from the portable key schedule (aes.cpp), whose words
 * are big-endian: a byte shuffle per word turns them into the byte order that
 * the instructions read.  The equivalent-inverse decryption schedule is
 * exactly what AESDEC expects, so both paths share one schedule and give
 * identical results by construction (and the tests check it).
 *
 * Compiled with per-function target attributes; only called after
 * cpu_has_aes() said yes.
 */
#include "engine/common/aes_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define OSTRANA_AESNI __attribute__((target("aes,sse4.1")))
// The lane loops must be unrolled for the eight blocks to live in registers.
#define OSTRANA_UNROLL_LANES _Pragma("GCC unroll 8")

namespace ostrana::detail {
namespace {

constexpr size_t kLanes = 8;

struct RoundKeys {
  __m128i k[15];
  int rounds;
};

OSTRANA_AESNI inline void load_keys(const AesKeySchedule& s, RoundKeys* rk) {
  const __m128i swap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  rk->rounds = s.rounds;
  for (int r = 0; r <= s.rounds; ++r)
    rk->k[r] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.round_keys + 4 * r)), swap);
}

OSTRANA_AESNI inline __m128i encrypt1(const RoundKeys& rk, __m128i b) {
  b = _mm_xor_si128(b, rk.k[0]);
  for (int r = 1; r < rk.rounds; ++r) b = _mm_aesenc_si128(b, rk.k[r]);
  return _mm_aesenclast_si128(b, rk.k[rk.rounds]);
}

OSTRANA_AESNI inline __m128i decrypt1(const RoundKeys& rk, __m128i b) {
  b = _mm_xor_si128(b, rk.k[0]);
  for (int r = 1; r < rk.rounds; ++r) b = _mm_aesdec_si128(b, rk.k[r]);
  return _mm_aesdeclast_si128(b, rk.k[rk.rounds]);
}

OSTRANA_AESNI inline void encrypt8(const RoundKeys& rk, __m128i b[kLanes]) {
  OSTRANA_UNROLL_LANES
  for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_xor_si128(b[i], rk.k[0]);
  for (int r = 1; r < rk.rounds; ++r)
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_aesenc_si128(b[i], rk.k[r]);
  OSTRANA_UNROLL_LANES
  for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_aesenclast_si128(b[i], rk.k[rk.rounds]);
}

OSTRANA_AESNI inline void decrypt8(const RoundKeys& rk, __m128i b[kLanes]) {
  OSTRANA_UNROLL_LANES
  for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_xor_si128(b[i], rk.k[0]);
  for (int r = 1; r < rk.rounds; ++r)
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_aesdec_si128(b[i], rk.k[r]);
  OSTRANA_UNROLL_LANES
  for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_aesdeclast_si128(b[i], rk.k[rk.rounds]);
}

OSTRANA_AESNI inline __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
OSTRANA_AESNI inline void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

}  // namespace

// Single blocks load each round key as they reach it; a whole schedule load
// would cost more than the block.
OSTRANA_AESNI inline __m128i round_key(const AesKeySchedule& s, int r) {
  const __m128i swap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.round_keys + 4 * r)), swap);
}

OSTRANA_AESNI void aesni_encrypt_block(const AesKeySchedule& enc, const uint8_t in[16], uint8_t out[16]) {
  __m128i b = _mm_xor_si128(load(in), round_key(enc, 0));
  for (int r = 1; r < enc.rounds; ++r) b = _mm_aesenc_si128(b, round_key(enc, r));
  store(out, _mm_aesenclast_si128(b, round_key(enc, enc.rounds)));
}

OSTRANA_AESNI void aesni_decrypt_block(const AesKeySchedule& dec, const uint8_t in[16], uint8_t out[16]) {
  __m128i b = _mm_xor_si128(load(in), round_key(dec, 0));
  for (int r = 1; r < dec.rounds; ++r) b = _mm_aesdec_si128(b, round_key(dec, r));
  store(out, _mm_aesdeclast_si128(b, round_key(dec, dec.rounds)));
}

OSTRANA_AESNI void aesni_ecb_encrypt(const AesKeySchedule& enc, const uint8_t* in, uint8_t* out, size_t nblocks) {
  RoundKeys rk;
  load_keys(enc, &rk);
  for (; nblocks >= kLanes; nblocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i b[kLanes];
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = load(in + 16 * i);
    encrypt8(rk, b);
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) store(out + 16 * i, b[i]);
  }
  for (; nblocks != 0; --nblocks, in += 16, out += 16) store(out, encrypt1(rk, load(in)));
}

OSTRANA_AESNI void aesni_ecb_decrypt(const AesKeySchedule& dec, const uint8_t* in, uint8_t* out, size_t nblocks) {
  RoundKeys rk;
  load_keys(dec, &rk);
  for (; nblocks >= kLanes; nblocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i b[kLanes];
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = load(in + 16 * i);
    decrypt8(rk, b);
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) store(out + 16 * i, b[i]);
  }
  for (; nblocks != 0; --nblocks, in += 16, out += 16) store(out, decrypt1(rk, load(in)));
}

OSTRANA_AESNI void aesni_cbc_encrypt(const AesKeySchedule& enc, uint8_t chain[16], const uint8_t* in,
                                     uint8_t* out, size_t nblocks) {
  RoundKeys rk;
  load_keys(enc, &rk);
  __m128i c = load(chain);
  for (; nblocks != 0; --nblocks, in += 16, out += 16) {
    c = encrypt1(rk, _mm_xor_si128(load(in), c));
    store(out, c);
  }
  store(chain, c);
}

OSTRANA_AESNI void aesni_cbc_decrypt(const AesKeySchedule& dec, uint8_t chain[16], const uint8_t* in,
                                     uint8_t* out, size_t nblocks) {
  RoundKeys rk;
  load_keys(dec, &rk);
  __m128i prev = load(chain);
  for (; nblocks >= kLanes; nblocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i ct[kLanes], b[kLanes];
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = ct[i] = load(in + 16 * i);  // before out may overwrite in
    decrypt8(rk, b);
    store(out, _mm_xor_si128(b[0], prev));
    OSTRANA_UNROLL_LANES
    for (size_t i = 1; i < kLanes; ++i) store(out + 16 * i, _mm_xor_si128(b[i], ct[i - 1]));
    prev = ct[kLanes - 1];
  }
  for (; nblocks != 0; --nblocks, in += 16, out += 16) {
    __m128i ct = load(in);
    store(out, _mm_xor_si128(decrypt1(rk, ct), prev));
    prev = ct;
  }
  store(chain, prev);
}

OSTRANA_AESNI uint64_t aesni_ctr_le64(const AesKeySchedule& enc, uint64_t counter, const uint8_t* in,
                                      uint8_t* out, size_t nblocks) {
  RoundKeys rk;
  load_keys(enc, &rk);
  // Lane 0 of a counter block is the 64-bit counter in little-endian order,
  // lane 1 stays zero: exactly the ZIP counter block in memory.
  for (; nblocks >= kLanes; nblocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i b[kLanes];
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) b[i] = _mm_cvtsi64_si128(static_cast<long long>(counter + i));
    counter += kLanes;
    encrypt8(rk, b);
    OSTRANA_UNROLL_LANES
    for (size_t i = 0; i < kLanes; ++i) store(out + 16 * i, _mm_xor_si128(b[i], load(in + 16 * i)));
  }
  for (; nblocks != 0; --nblocks, in += 16, out += 16) {
    __m128i ks = encrypt1(rk, _mm_cvtsi64_si128(static_cast<long long>(counter++)));
    store(out, _mm_xor_si128(ks, load(in)));
  }
  return counter;
}

}  // namespace ostrana::detail

#else  // no AES instructions on this architecture: cpu_has_aes() is false, so none is ever called

#include <cstdlib>

namespace ostrana::detail {
void aesni_encrypt_block(const AesKeySchedule&, const uint8_t*, uint8_t*) { std::abort(); }
void aesni_decrypt_block(const AesKeySchedule&, const uint8_t*, uint8_t*) { std::abort(); }
void aesni_ecb_encrypt(const AesKeySchedule&, const uint8_t*, uint8_t*, size_t) { std::abort(); }
void aesni_ecb_decrypt(const AesKeySchedule&, const uint8_t*, uint8_t*, size_t) { std::abort(); }
void aesni_cbc_encrypt(const AesKeySchedule&, uint8_t*, const uint8_t*, uint8_t*, size_t) { std::abort(); }
void aesni_cbc_decrypt(const AesKeySchedule&, uint8_t*, const uint8_t*, uint8_t*, size_t) { std::abort(); }
uint64_t aesni_ctr_le64(const AesKeySchedule&, uint64_t, const uint8_t*, uint8_t*, size_t) { std::abort(); }
}  // namespace ostrana::detail

#endif
