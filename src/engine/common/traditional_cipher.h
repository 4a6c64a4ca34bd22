/* engine/common/traditional_cipher.h - the traditional PKWARE stream cipher.
 *
 * Three 32-bit keys start at 0x12345678, 0x23456789 and 0x34567890 and are
 * updated with every plaintext byte: key 0 by one CRC-32 step, key 1 by
 * adding key 0's low byte, multiplying by 134,775,813 and adding 1, key 2 by
 * a CRC-32 step with key 1's high byte.  The key stream byte comes from key
 * 2.  The password is fed through the same update before use.
 *
 * The cipher is weak (known-plaintext attacks recover the keys); the engine
 * carries it because archives use it, and prefers AES when it writes.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

inline constexpr size_t kTraditionalHeaderBytes = 12;

class TraditionalCipher {
 public:
  TraditionalCipher();
  ~TraditionalCipher();  ///< wipes the keys

  /// Back to the initial keys.
  void reset();
  /// Initial keys updated with each byte of @p password.
  void init(const uint8_t* password, size_t password_nbytes);

  uint8_t decrypt_byte(uint8_t c) {
    uint8_t p = c ^ stream_byte();
    update(p);
    return p;
  }
  uint8_t encrypt_byte(uint8_t p) {
    uint8_t c = p ^ stream_byte();
    update(p);
    return c;
  }
  void decrypt(uint8_t* data, size_t nbytes);
  void encrypt(uint8_t* data, size_t nbytes);

 private:
  uint8_t stream_byte() const {
    const uint32_t t = (m_keys[2] | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  void update(uint8_t plain) {
    m_keys[0] = (m_keys[0] >> 8) ^ m_crc_table[(m_keys[0] ^ plain) & 0xFF];
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
    m_keys[2] = (m_keys[2] >> 8) ^ m_crc_table[(m_keys[2] ^ (m_keys[1] >> 24)) & 0xFF];
  }

  uint32_t m_keys[3];
  const uint32_t* m_crc_table;  ///< the CRC-32 byte table (crc32.h), kept at hand for the inline step
};

}  // namespace ostrana
