/* engine/common/traditional_cipher.cpp - the traditional PKWARE cipher's key update. */
#include "engine/common/traditional_cipher.h"

#include <algorithm>

#include "engine/common/crc32.h"

namespace ostrana {

TraditionalCipher::TraditionalCipher() : m_crc_table(crc32_byte_table()) { reset(); }

TraditionalCipher::~TraditionalCipher() {
  volatile uint32_t* k = m_keys;
  for (int i = 0; i < 3; ++i) k[i] = 0;
}

void TraditionalCipher::reset() {
  m_keys[0] = 0x12345678;
  m_keys[1] = 0x23456789;
  m_keys[2] = 0x34567890;
}

void TraditionalCipher::init(const uint8_t* password, size_t password_nbytes) {
  reset();
  for (size_t i = 0; i < password_nbytes; ++i) update(password[i]);
}

void TraditionalCipher::decrypt(uint8_t* data, size_t nbytes) {
  // The keys stay in registers for the loop; they go back to the object at the end.
  TraditionalCipher local = *this;
  for (size_t i = 0; i < nbytes; ++i) data[i] = local.decrypt_byte(data[i]);
  std::copy(local.m_keys, local.m_keys + 3, m_keys);
}

void TraditionalCipher::encrypt(uint8_t* data, size_t nbytes) {
  for (size_t i = 0; i < nbytes; ++i) data[i] = encrypt_byte(data[i]);
}

}  // namespace ostrana
