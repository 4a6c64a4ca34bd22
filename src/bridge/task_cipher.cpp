/* bridge/task_cipher.cpp - the engine's AES and CRC-32 for the task subsystem. */
#include "bridge/task_cipher.h"

#include "engine/common/aes.h"
#include "engine/common/crc32.h"

namespace bridge {

uint32_t crc32_of(const void* data, size_t nbytes) {
  return ostrana::crc32(0, static_cast<const uint8_t*>(data), nbytes);
}

struct TaskCipher::Impl {
  ostrana::AesCipher aes;
};

TaskCipher::TaskCipher() : m_impl(std::make_unique<Impl>()) {}
TaskCipher::~TaskCipher() = default;

int TaskCipher::setup(const uint8_t* key, size_t key_nbytes, const uint8_t* iv, size_t block_nbytes) {
  return m_impl->aes.setup(key, key_nbytes, iv, block_nbytes);
}

int TaskCipher::encrypt_cbc(const uint8_t* in, uint8_t* out, size_t nbytes) {
  return m_impl->aes.encrypt(ostrana::AesCipher::Mode::kCbc, in, out, nbytes);
}

int TaskCipher::decrypt_cbc(const uint8_t* in, uint8_t* out, size_t nbytes) {
  return m_impl->aes.decrypt(ostrana::AesCipher::Mode::kCbc, in, out, nbytes);
}

}  // namespace bridge
