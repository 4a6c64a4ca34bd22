/* engine/common/aes.cpp - the AES block cipher (FIPS 197), table driven.
 *
 * The classic 32-bit formulation: each round is sixteen lookups in four
 * 256-entry tables that combine SubBytes, ShiftRows and MixColumns.  The
 * S-box and the tables are computed once from the field arithmetic of
 * GF(2^8) rather than typed in, so there is no table to mistype.
 *
 * When the processor has AES instructions, the block functions and the ECB
 * and CBC buffer modes hand over to aes_ni.cpp (faster, and free of the
 * table lookups whose timing depends on the key); the key schedules are the
 * same for both paths.
 */
#include "engine/common/aes.h"

#include "engine/common/aes_internal.h"
#include "engine/common/cpu_features.h"

#include <cstring>

namespace ostrana {
namespace {

inline uint8_t xtime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

uint8_t gf_mul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = xtime(a);
    b >>= 1;
  }
  return r;
}

inline uint32_t ror8(uint32_t x) { return (x >> 8) | (x << 24); }

struct AesTables {
  uint8_t sbox[256];
  uint8_t inv_sbox[256];
  uint32_t te[4][256];
  uint32_t td[4][256];

  AesTables() {
    // S-box: multiplicative inverse followed by the affine transform.
    uint8_t pow[256], log[256];
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
      pow[i] = x;
      log[x] = static_cast<uint8_t>(i);
      x = static_cast<uint8_t>(x ^ xtime(x));  // multiply by the generator 3
    }
    for (int i = 0; i < 256; ++i) {
      uint8_t inv = i == 0 ? 0 : pow[(255 - log[i]) % 255];
      uint8_t s = inv;
      for (int k = 1; k < 5; ++k) s ^= static_cast<uint8_t>((inv << k) | (inv >> (8 - k)));
      s ^= 0x63;
      sbox[i] = s;
      inv_sbox[s] = static_cast<uint8_t>(i);
    }
    for (int i = 0; i < 256; ++i) {
      uint8_t s = sbox[i];
      uint32_t e = (uint32_t(gf_mul(s, 2)) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | gf_mul(s, 3);
      uint8_t v = inv_sbox[i];
      uint32_t d = (uint32_t(gf_mul(v, 14)) << 24) | (uint32_t(gf_mul(v, 9)) << 16) |
                   (uint32_t(gf_mul(v, 13)) << 8) | gf_mul(v, 11);
      for (int t = 0; t < 4; ++t) {
        te[t][i] = e;
        td[t][i] = d;
        e = ror8(e);
        d = ror8(d);
      }
    }
  }
};

const AesTables& tables() {
  static const AesTables instance;
  return instance;
}

inline uint32_t load_be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline void store_be32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

uint32_t sub_word(const AesTables& t, uint32_t w) {
  return (uint32_t(t.sbox[w >> 24]) << 24) | (uint32_t(t.sbox[(w >> 16) & 0xFF]) << 16) |
         (uint32_t(t.sbox[(w >> 8) & 0xFF]) << 8) | t.sbox[w & 0xFF];
}

}  // namespace

int aes_set_encrypt_key(AesKeySchedule* schedule, const uint8_t* key, size_t key_nbytes) {
  if (schedule == nullptr || key == nullptr) return kAesBadKeyLength;
  if (key_nbytes != 16 && key_nbytes != 24 && key_nbytes != 32) return kAesBadKeyLength;
  const AesTables& t = tables();
  const int nk = static_cast<int>(key_nbytes / 4);
  schedule->rounds = nk + 6;
  const int total = 4 * (schedule->rounds + 1);
  uint32_t* w = schedule->round_keys;
  for (int i = 0; i < nk; ++i) w[i] = load_be32(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = sub_word(t, (temp << 8) | (temp >> 24)) ^ (uint32_t(rcon) << 24);
      rcon = xtime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = sub_word(t, temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  return kAesOk;
}

int aes_set_decrypt_key(AesKeySchedule* schedule, const uint8_t* key, size_t key_nbytes) {
  int rc = aes_set_encrypt_key(schedule, key, key_nbytes);
  if (rc != kAesOk) return rc;
  const AesTables& t = tables();
  uint32_t* w = schedule->round_keys;
  const int rounds = schedule->rounds;
  // Round keys in reverse order of rounds ...
  for (int i = 0, j = 4 * rounds; i < j; i += 4, j -= 4)
    for (int k = 0; k < 4; ++k) {
      uint32_t tmp = w[i + k];
      w[i + k] = w[j + k];
      w[j + k] = tmp;
    }
  // ... and InvMixColumns applied to every one but the first and the last.
  for (int i = 4; i < 4 * rounds; ++i) {
    uint32_t v = w[i];
    w[i] = t.td[0][t.sbox[v >> 24]] ^ t.td[1][t.sbox[(v >> 16) & 0xFF]] ^
           t.td[2][t.sbox[(v >> 8) & 0xFF]] ^ t.td[3][t.sbox[v & 0xFF]];
  }
  return kAesOk;
}

namespace {

void encrypt_block_portable(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]) {
  const AesTables& tb = tables();
  const uint32_t* rk = schedule.round_keys;
  uint32_t s0 = load_be32(in) ^ rk[0], s1 = load_be32(in + 4) ^ rk[1];
  uint32_t s2 = load_be32(in + 8) ^ rk[2], s3 = load_be32(in + 12) ^ rk[3];
  const auto& te = tb.te;
  for (int r = 1; r < schedule.rounds; ++r) {
    rk += 4;
    uint32_t t0 = te[0][s0 >> 24] ^ te[1][(s1 >> 16) & 0xFF] ^ te[2][(s2 >> 8) & 0xFF] ^ te[3][s3 & 0xFF] ^ rk[0];
    uint32_t t1 = te[0][s1 >> 24] ^ te[1][(s2 >> 16) & 0xFF] ^ te[2][(s3 >> 8) & 0xFF] ^ te[3][s0 & 0xFF] ^ rk[1];
    uint32_t t2 = te[0][s2 >> 24] ^ te[1][(s3 >> 16) & 0xFF] ^ te[2][(s0 >> 8) & 0xFF] ^ te[3][s1 & 0xFF] ^ rk[2];
    uint32_t t3 = te[0][s3 >> 24] ^ te[1][(s0 >> 16) & 0xFF] ^ te[2][(s1 >> 8) & 0xFF] ^ te[3][s2 & 0xFF] ^ rk[3];
    s0 = t0; s1 = t1; s2 = t2; s3 = t3;
  }
  rk += 4;
  const uint8_t* sb = tb.sbox;
  auto last = [sb](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return ((uint32_t(sb[a >> 24]) << 24) | (uint32_t(sb[(b >> 16) & 0xFF]) << 16) |
            (uint32_t(sb[(c >> 8) & 0xFF]) << 8) | sb[d & 0xFF]) ^ k;
  };
  store_be32(out, last(s0, s1, s2, s3, rk[0]));
  store_be32(out + 4, last(s1, s2, s3, s0, rk[1]));
  store_be32(out + 8, last(s2, s3, s0, s1, rk[2]));
  store_be32(out + 12, last(s3, s0, s1, s2, rk[3]));
}

void decrypt_block_portable(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]) {
  const AesTables& tb = tables();
  const uint32_t* rk = schedule.round_keys;
  uint32_t s0 = load_be32(in) ^ rk[0], s1 = load_be32(in + 4) ^ rk[1];
  uint32_t s2 = load_be32(in + 8) ^ rk[2], s3 = load_be32(in + 12) ^ rk[3];
  const auto& td = tb.td;
  for (int r = 1; r < schedule.rounds; ++r) {
    rk += 4;
    uint32_t t0 = td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xFF] ^ td[2][(s2 >> 8) & 0xFF] ^ td[3][s1 & 0xFF] ^ rk[0];
    uint32_t t1 = td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xFF] ^ td[2][(s3 >> 8) & 0xFF] ^ td[3][s2 & 0xFF] ^ rk[1];
    uint32_t t2 = td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xFF] ^ td[2][(s0 >> 8) & 0xFF] ^ td[3][s3 & 0xFF] ^ rk[2];
    uint32_t t3 = td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xFF] ^ td[2][(s1 >> 8) & 0xFF] ^ td[3][s0 & 0xFF] ^ rk[3];
    s0 = t0; s1 = t1; s2 = t2; s3 = t3;
  }
  rk += 4;
  const uint8_t* ib = tb.inv_sbox;
  auto last = [ib](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return ((uint32_t(ib[a >> 24]) << 24) | (uint32_t(ib[(b >> 16) & 0xFF]) << 16) |
            (uint32_t(ib[(c >> 8) & 0xFF]) << 8) | ib[d & 0xFF]) ^ k;
  };
  store_be32(out, last(s0, s3, s2, s1, rk[0]));
  store_be32(out + 4, last(s1, s0, s3, s2, rk[1]));
  store_be32(out + 8, last(s2, s1, s0, s3, rk[2]));
  store_be32(out + 12, last(s3, s2, s1, s0, rk[3]));
}

}  // namespace

void aes_encrypt_block(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]) {
  if (cpu_has_aes()) detail::aesni_encrypt_block(schedule, in, out);
  else encrypt_block_portable(schedule, in, out);
}

void aes_decrypt_block(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]) {
  if (cpu_has_aes()) detail::aesni_decrypt_block(schedule, in, out);
  else decrypt_block_portable(schedule, in, out);
}

/*****************************************************************************
 *                               Buffer modes                                *
 *****************************************************************************/

AesCipher::AesCipher() : m_enc{}, m_dec{}, m_chain{}, m_keyed(false) {}

AesCipher::~AesCipher() {
  // Key material does not outlive the cipher (volatile so the wipe is not elided).
  volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(this);
  for (size_t i = 0; i < sizeof(*this); ++i) p[i] = 0;
}

int AesCipher::setup(const uint8_t* key, size_t key_nbytes, const uint8_t* iv, size_t block_nbytes) {
  m_keyed = false;
  if (block_nbytes != kAesBlockBytes) return kAesBadBlockLength;
  int rc = aes_set_encrypt_key(&m_enc, key, key_nbytes);
  if (rc == kAesOk) rc = aes_set_decrypt_key(&m_dec, key, key_nbytes);
  if (rc != kAesOk) return rc;
  if (iv != nullptr) std::memcpy(m_chain, iv, 16);
  else std::memset(m_chain, 0, 16);
  m_keyed = true;
  return kAesOk;
}

void AesCipher::set_chaining_value(const uint8_t iv[16]) { std::memcpy(m_chain, iv, 16); }

int AesCipher::encrypt(Mode mode, const uint8_t* in, uint8_t* out, size_t nbytes) {
  if (!m_keyed) return kAesNotKeyed;
  if (nbytes % 16 != 0) return kAesBadDataLength;
  if (cpu_has_aes() && mode != Mode::kCfb) {
    if (mode == Mode::kEcb) detail::aesni_ecb_encrypt(m_enc, in, out, nbytes / 16);
    else detail::aesni_cbc_encrypt(m_enc, m_chain, in, out, nbytes / 16);
    return kAesOk;
  }
  for (size_t off = 0; off < nbytes; off += 16) {
    uint8_t block[16];
    switch (mode) {
      case Mode::kEcb:
        aes_encrypt_block(m_enc, in + off, out + off);
        break;
      case Mode::kCbc:
        for (int i = 0; i < 16; ++i) block[i] = in[off + i] ^ m_chain[i];
        aes_encrypt_block(m_enc, block, out + off);
        std::memcpy(m_chain, out + off, 16);
        break;
      case Mode::kCfb:
        aes_encrypt_block(m_enc, m_chain, block);
        for (int i = 0; i < 16; ++i) out[off + i] = in[off + i] ^ block[i];
        std::memcpy(m_chain, out + off, 16);
        break;
    }
  }
  return kAesOk;
}

int AesCipher::decrypt(Mode mode, const uint8_t* in, uint8_t* out, size_t nbytes) {
  if (!m_keyed) return kAesNotKeyed;
  if (nbytes % 16 != 0) return kAesBadDataLength;
  if (cpu_has_aes() && mode != Mode::kCfb) {
    if (mode == Mode::kEcb) detail::aesni_ecb_decrypt(m_dec, in, out, nbytes / 16);
    else detail::aesni_cbc_decrypt(m_dec, m_chain, in, out, nbytes / 16);
    return kAesOk;
  }
  for (size_t off = 0; off < nbytes; off += 16) {
    uint8_t block[16], saved[16];
    std::memcpy(saved, in + off, 16);  // in and out may alias
    switch (mode) {
      case Mode::kEcb:
        aes_decrypt_block(m_dec, saved, out + off);
        break;
      case Mode::kCbc:
        aes_decrypt_block(m_dec, saved, block);
        for (int i = 0; i < 16; ++i) out[off + i] = block[i] ^ m_chain[i];
        std::memcpy(m_chain, saved, 16);
        break;
      case Mode::kCfb:
        aes_encrypt_block(m_enc, m_chain, block);
        for (int i = 0; i < 16; ++i) out[off + i] = saved[i] ^ block[i];
        std::memcpy(m_chain, saved, 16);
        break;
    }
  }
  return kAesOk;
}

}  // namespace ostrana
