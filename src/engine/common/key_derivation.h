/* engine/common/key_derivation.h - the keys of the ZIP AES format and of strong encryption.
 *
 * ZIP AES format: PBKDF2-HMAC-SHA1 over the password and the entry's salt,
 * 1,000 iterations, gives 2 x key length + 2 bytes: the AES key, the
 * HMAC-SHA1 key of the authentication code, and the 2-byte password verifier.
 * Key strength 1, 2, 3 stands for AES-128, -192, -256 with 8, 12, 16 salt bytes.
 *
 * Strong encryption: the format's DeriveKey turns a 20-byte SHA-1 value into
 * a key of up to 40 bytes: two 64-byte blocks, filled with 0x36 and with
 * 0x5C, each XORed in its first 20 bytes with the input and hashed with
 * SHA-1; the key is the first bytes of the two hashes in that order.
 *
 * Passwords are byte strings of at most kMaxPasswordBytes bytes, the limit of
 * the engine's password fields; longer ones are refused here so that a cut
 * password can never open an entry by accident.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/sha1.h"

namespace ostrana {

inline constexpr size_t kMaxPasswordBytes = 128;
inline constexpr uint32_t kZipAesIterations = 1000;
inline constexpr size_t kZipAesVerifierBytes = 2;
inline constexpr size_t kZipAesMacBytes = 10;  ///< authentication code kept in the archive
inline constexpr size_t kStrongMaxKeyBytes = 2 * kSha1DigestBytes;

/// Salt length for ZIP AES key strength 1..3 (8, 12, 16); 0 for any other strength.
size_t zip_aes_salt_nbytes(int strength);
/// AES key length for key strength 1..3 (16, 24, 32); 0 otherwise.
size_t zip_aes_key_nbytes(int strength);

struct ZipAesKeys {
  uint8_t aes_key[32];
  uint8_t hmac_key[32];
  uint8_t verifier[kZipAesVerifierBytes];
  size_t key_nbytes;  ///< 16, 24 or 32: the length of both keys

  ~ZipAesKeys();  ///< wipes the keys
};

/// Derives the ZIP AES keys for @p password (@p password_nbytes bytes, at most
/// kMaxPasswordBytes), key strength @p strength (1..3) and @p salt (the
/// strength's salt length).  @return 0, or -1 when the strength or the
/// password length is refused.
int zip_aes_derive_keys(const uint8_t* password, size_t password_nbytes, int strength, const uint8_t* salt,
                        ZipAesKeys* keys_ret);

/// The strong encryption format's DeriveKey: writes @p key_nbytes (at most
/// kStrongMaxKeyBytes) bytes derived from @p hash to @p key_ret.
/// @return 0, or -1 for a longer key.
int strong_derive_key(const uint8_t hash[kSha1DigestBytes], size_t key_nbytes, uint8_t* key_ret);

}  // namespace ostrana
