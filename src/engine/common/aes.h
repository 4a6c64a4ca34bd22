/* engine/common/aes.h - the AES block cipher (FIPS 197) and its buffer modes.
 *
 * Two layers: key schedules with single-block encryption and decryption
 * (128, 192 and 256-bit keys; separate encryption and decryption schedules,
 * the latter in the "equivalent inverse cipher" form), and AesCipher, which
 * keeps both schedules and a chaining value and runs ECB, CBC or CFB over a
 * whole number of 16-byte blocks.  The ZIP AES format's counter mode and the
 * task file protection both build on these.
 *
 * Everything here is the engine's own code; results are bit-identical with
 * FIPS 197 and NIST SP 800-38A.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

inline constexpr size_t kAesBlockBytes = 16;

/// Results of key set-up and of the buffer modes.  0 is success; callers that
/// only need to know whether it worked test for zero.
enum AesResult : int {
  kAesOk = 0,               ///< done
  kAesBadKeyLength = 1,     ///< key length other than 16, 24 or 32 bytes
  kAesBadBlockLength = 2,   ///< block length other than 16 bytes (only 128-bit blocks are offered)
  kAesBadDataLength = 3,    ///< buffer length not a whole number of blocks
  kAesNotKeyed = 4,         ///< a buffer operation before a successful set-up
};

/// An expanded key: round keys as big-endian 32-bit words, and the round count (10, 12 or 14).
struct AesKeySchedule {
  uint32_t round_keys[60];
  int rounds;
};

/// Expands @p key of @p key_nbytes (16, 24 or 32) for encryption.
int aes_set_encrypt_key(AesKeySchedule* schedule, const uint8_t* key, size_t key_nbytes);
/// Expands @p key for decryption (equivalent inverse cipher).
int aes_set_decrypt_key(AesKeySchedule* schedule, const uint8_t* key, size_t key_nbytes);

/// One block; @p in and @p out may be the same buffer.
void aes_encrypt_block(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]);
void aes_decrypt_block(const AesKeySchedule& schedule, const uint8_t in[16], uint8_t out[16]);

/// Whole-buffer encryption with both schedules and a running chaining value.
class AesCipher {
 public:
  enum class Mode { kEcb, kCbc, kCfb };

  AesCipher();
  ~AesCipher();  ///< wipes the key material

  /// Sets the key (16, 24 or 32 bytes) and the chaining value from @p iv (NULL: zeros).
  /// @p block_nbytes must be 16.
  int setup(const uint8_t* key, size_t key_nbytes, const uint8_t* iv, size_t block_nbytes = kAesBlockBytes);

  /// Replaces the chaining value (16 bytes).
  void set_chaining_value(const uint8_t iv[16]);
  const uint8_t* chaining_value() const { return m_chain; }

  /// Enciphers or deciphers @p nbytes (a multiple of 16) from @p in to @p out
  /// (the same buffer is fine), continuing the chaining value in CBC and CFB.
  int encrypt(Mode mode, const uint8_t* in, uint8_t* out, size_t nbytes);
  int decrypt(Mode mode, const uint8_t* in, uint8_t* out, size_t nbytes);

  const AesKeySchedule& encrypt_schedule() const { return m_enc; }
  const AesKeySchedule& decrypt_schedule() const { return m_dec; }

 private:
  AesKeySchedule m_enc;
  AesKeySchedule m_dec;
  uint8_t m_chain[16];
  bool m_keyed;
};

}  // namespace ostrana
