/* engine/common/hmac_sha1.h - HMAC-SHA1 (RFC 2104) and PBKDF2-HMAC-SHA1 (RFC 2898).
 *
 * HMAC with the 64-byte block of SHA-1, pads 0x36 and 0x5C; a key longer
 * than a block is hashed first.  The context keeps the hash states after the
 * two padded key blocks, so restarting it for another message with the same
 * key costs nothing; PBKDF2 leans on that, spending two compressions per
 * iteration.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/sha1.h"

namespace ostrana {

class HmacSha1 {
 public:
  HmacSha1() = default;
  HmacSha1(const uint8_t* key, size_t key_nbytes) { set_key(key, key_nbytes); }

  /// Sets the key and starts a message.
  void set_key(const uint8_t* key, size_t key_nbytes);
  /// Starts a new message with the same key.
  void restart() { m_inner = m_inner_start; }
  void update(const uint8_t* data, size_t nbytes) { m_inner.update(data, nbytes); }
  /// Writes the 20-byte code; restart() before the next message.
  void finish(uint8_t mac[kSha1DigestBytes]);

 private:
  Sha1 m_inner_start, m_outer_start;  ///< after the padded key block
  Sha1 m_inner;
};

/// PBKDF2 with HMAC-SHA1: derives @p out_nbytes bytes from @p password and
/// @p salt with @p iterations (at least 1) rounds.  Block numbers are 32-bit
/// big-endian, starting at 1.  @return 0, or -1 for zero iterations.
int pbkdf2_hmac_sha1(const uint8_t* password, size_t password_nbytes, const uint8_t* salt, size_t salt_nbytes,
                     uint32_t iterations, uint8_t* out, size_t out_nbytes);

}  // namespace ostrana
