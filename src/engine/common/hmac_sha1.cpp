/* engine/common/hmac_sha1.cpp - HMAC-SHA1 and PBKDF2 over sha1.cpp. */
#include "engine/common/hmac_sha1.h"

#include <cstring>

namespace ostrana {
namespace {

void wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) v[i] = 0;
}

}  // namespace

void HmacSha1::set_key(const uint8_t* key, size_t key_nbytes) {
  uint8_t block[kSha1BlockBytes] = {};
  if (key_nbytes > kSha1BlockBytes) Sha1::digest(key, key_nbytes, block);
  else if (key_nbytes != 0) std::memcpy(block, key, key_nbytes);
  uint8_t pad[kSha1BlockBytes];
  for (size_t i = 0; i < kSha1BlockBytes; ++i) pad[i] = block[i] ^ 0x36;
  m_inner_start.reset();
  m_inner_start.update(pad, sizeof(pad));
  for (size_t i = 0; i < kSha1BlockBytes; ++i) pad[i] = block[i] ^ 0x5C;
  m_outer_start.reset();
  m_outer_start.update(pad, sizeof(pad));
  wipe(block, sizeof(block));
  wipe(pad, sizeof(pad));
  m_inner = m_inner_start;
}

void HmacSha1::finish(uint8_t mac[kSha1DigestBytes]) {
  uint8_t inner[kSha1DigestBytes];
  m_inner.finish(inner);
  Sha1 outer = m_outer_start;
  outer.update(inner, sizeof(inner));
  outer.finish(mac);
}

int pbkdf2_hmac_sha1(const uint8_t* password, size_t password_nbytes, const uint8_t* salt, size_t salt_nbytes,
                     uint32_t iterations, uint8_t* out, size_t out_nbytes) {
  if (iterations == 0) return -1;
  HmacSha1 prf(password, password_nbytes);
  for (uint32_t block = 1; out_nbytes != 0; ++block) {
    const uint8_t index[4] = {static_cast<uint8_t>(block >> 24), static_cast<uint8_t>(block >> 16),
                              static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
    uint8_t u[kSha1DigestBytes], t[kSha1DigestBytes];
    prf.restart();
    prf.update(salt, salt_nbytes);
    prf.update(index, sizeof(index));
    prf.finish(u);
    std::memcpy(t, u, sizeof(t));
    for (uint32_t i = 1; i < iterations; ++i) {
      prf.restart();
      prf.update(u, sizeof(u));
      prf.finish(u);
      for (size_t k = 0; k < sizeof(t); ++k) t[k] ^= u[k];
    }
    const size_t take = out_nbytes < sizeof(t) ? out_nbytes : sizeof(t);
    std::memcpy(out, t, take);
    out += take;
    out_nbytes -= take;
    wipe(u, sizeof(u));
    wipe(t, sizeof(t));
  }
  return 0;
}

}  // namespace ostrana
