/* engine/common/key_derivation.cpp - ZIP AES key derivation and the strong encryption DeriveKey. */
#include "engine/common/key_derivation.h"

#include <cstring>

#include "engine/common/hmac_sha1.h"

namespace ostrana {

size_t zip_aes_salt_nbytes(int strength) { return strength >= 1 && strength <= 3 ? 4 * strength + 4 : 0; }
size_t zip_aes_key_nbytes(int strength) { return strength >= 1 && strength <= 3 ? 8 * strength + 8 : 0; }

ZipAesKeys::~ZipAesKeys() {
  volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(this);
  for (size_t i = 0; i < sizeof(*this); ++i) p[i] = 0;
}

int zip_aes_derive_keys(const uint8_t* password, size_t password_nbytes, int strength, const uint8_t* salt,
                        ZipAesKeys* keys_ret) {
  const size_t key_nbytes = zip_aes_key_nbytes(strength);
  if (key_nbytes == 0 || password_nbytes > kMaxPasswordBytes || salt == nullptr) return -1;
  uint8_t derived[2 * 32 + kZipAesVerifierBytes];
  const size_t derived_nbytes = 2 * key_nbytes + kZipAesVerifierBytes;
  pbkdf2_hmac_sha1(password, password_nbytes, salt, zip_aes_salt_nbytes(strength), kZipAesIterations, derived,
                   derived_nbytes);
  keys_ret->key_nbytes = key_nbytes;
  std::memcpy(keys_ret->aes_key, derived, key_nbytes);
  std::memcpy(keys_ret->hmac_key, derived + key_nbytes, key_nbytes);
  std::memcpy(keys_ret->verifier, derived + 2 * key_nbytes, kZipAesVerifierBytes);
  volatile uint8_t* w = derived;
  for (size_t i = 0; i < sizeof(derived); ++i) w[i] = 0;
  return 0;
}

int strong_derive_key(const uint8_t hash[kSha1DigestBytes], size_t key_nbytes, uint8_t* key_ret) {
  if (key_nbytes > kStrongMaxKeyBytes) return -1;
  uint8_t block[kSha1BlockBytes];
  uint8_t both[kStrongMaxKeyBytes];
  const uint8_t fills[2] = {0x36, 0x5C};
  for (int half = 0; half < 2; ++half) {
    std::memset(block, fills[half], sizeof(block));
    for (size_t i = 0; i < kSha1DigestBytes; ++i) block[i] ^= hash[i];
    Sha1::digest(block, sizeof(block), both + kSha1DigestBytes * half);
  }
  std::memcpy(key_ret, both, key_nbytes);
  volatile uint8_t* w = both;
  for (size_t i = 0; i < sizeof(both); ++i) w[i] = 0;
  volatile uint8_t* b = block;
  for (size_t i = 0; i < sizeof(block); ++i) b[i] = 0;
  return 0;
}

}  // namespace ostrana
