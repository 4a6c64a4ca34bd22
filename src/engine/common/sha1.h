/* engine/common/sha1.h - SHA-1 (FIPS 180-4).
 *
 * The hash behind the ZIP AES format's key derivation and authentication
 * code (through HMAC-SHA1 and PBKDF2, hmac_sha1.h), the strong encryption
 * format's keys (key_derivation.h) and the engine's random pool.  SHA-1 is
 * broken for collision resistance, but these uses rely only on its behaviour
 * as a keyed pseudo-random function, which is not affected.
 *
 * An incremental context (reset, update any number of times, finish) and the
 * bare compression function, which the random pool uses to stir its state.
 * The compression runs on the processor's SHA instructions when present.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

inline constexpr size_t kSha1DigestBytes = 20;
inline constexpr size_t kSha1BlockBytes = 64;

/// The FIPS 180 compression function: folds @p nblocks 64-byte blocks at
/// @p blocks into the five-word chaining state @p state.
void sha1_compress(uint32_t state[5], const uint8_t* blocks, size_t nblocks);

/// FIPS 180 initial chaining state.
void sha1_initial_state(uint32_t state[5]);

class Sha1 {
 public:
  Sha1() { reset(); }
  ~Sha1();  ///< wipes the buffered message bytes

  void reset();
  void update(const uint8_t* data, size_t nbytes);
  /// Writes the 20-byte digest; the context must be reset before reuse.
  void finish(uint8_t digest[kSha1DigestBytes]);

  /// One-shot digest of @p nbytes bytes.
  static void digest(const uint8_t* data, size_t nbytes, uint8_t out[kSha1DigestBytes]);

 private:
  uint32_t m_state[5];
  uint64_t m_total_nbytes;
  uint8_t m_block[kSha1BlockBytes];
  size_t m_block_fill;
};

}  // namespace ostrana
