/* engine/common/aes_ctr.h - AES in counter mode with the ZIP AES counter block.
 *
 * The ZIP AES format encrypts entry data with AES-CTR whose 16-byte counter
 * block holds a 64-bit little-endian counter in bytes 0-7 and zeros in bytes
 * 8-15.  The counter starts at 0 and is incremented before each block, so the
 * first block uses the value 1; the carry never reaches byte 8 (the counter
 * wraps modulo 2^64).  Each data byte is XORed with the next byte of the
 * encrypted counter block, so one call both encrypts and decrypts, and the
 * data may arrive in pieces of any size.
 *
 * Whole blocks go through the AES instructions eight at a time when the
 * processor has them; otherwise, and for partial blocks, the block function
 * of aes.h is used.  Both give the same key stream.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/aes.h"

namespace ostrana {

class ZipAesCtr {
 public:
  ZipAesCtr();
  ~ZipAesCtr();  ///< wipes the key material
  ZipAesCtr(const ZipAesCtr&) = delete;
  ZipAesCtr& operator=(const ZipAesCtr&) = delete;

  /// Sets the AES key (16, 24 or 32 bytes) and restarts the counter.
  /// @return kAesOk or kAesBadKeyLength.
  int setup(const uint8_t* key, size_t key_nbytes);

  /// XORs the key stream into @p nbytes bytes from @p in to @p out (the same
  /// buffer is fine), continuing where the previous call stopped.  Before a
  /// successful setup() it leaves the data alone.
  void transform(const uint8_t* in, uint8_t* out, size_t nbytes);
  void transform(uint8_t* data, size_t nbytes) { transform(data, data, nbytes); }

  /// The counter value the next fresh block will use (1 after set-up).  Setting
  /// it drops any unused key stream of the current block.
  uint64_t next_counter() const { return m_next_counter; }
  void set_next_counter(uint64_t value);

 private:
  AesKeySchedule m_enc;
  uint64_t m_next_counter;
  uint8_t m_stream[16];   ///< key stream of the current block
  size_t m_stream_used;   ///< bytes of m_stream already used (16: none left)
  bool m_keyed;
};

}  // namespace ostrana
