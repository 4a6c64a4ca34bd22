/* bridge/task_cipher.h - the engine's AES and CRC-32 for the task subsystem.
 *
 * The task file protection enciphers with the engine's own AES (CBC over
 * whole 16-byte blocks) and checks its header with the engine's CRC-32.  The
 * application reaches the engine only through the bridge, so this small facade
 * is the one place on the application side that includes those engine headers.
 *
 * Key set-up takes key and block lengths of 16, 24 or 32 bytes as the task
 * file cipher always offered; the engine's AES has only 128-bit blocks, so a
 * block length of 24 or 32 is refused with a non-zero result like any other
 * unsupported length.  The task file uses key length 16 and block length 16.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bridge {

/// CRC-32 (reflected 0xEDB88320, as in ZIP) of @p nbytes at @p data.
uint32_t crc32_of(const void* data, size_t nbytes);

class TaskCipher {
 public:
  TaskCipher();
  ~TaskCipher();  ///< wipes the key material
  TaskCipher(const TaskCipher&) = delete;
  TaskCipher& operator=(const TaskCipher&) = delete;

  /// Sets the key and loads @p iv (block_nbytes bytes) as the chaining value.
  /// @return 0, or non-zero when a length is refused.
  int setup(const uint8_t* key, size_t key_nbytes, const uint8_t* iv, size_t block_nbytes);

  /// CBC over @p nbytes (a multiple of 16), continuing the chaining value.
  /// @return 0, or non-zero (not keyed, bad length).
  int encrypt_cbc(const uint8_t* in, uint8_t* out, size_t nbytes);
  int decrypt_cbc(const uint8_t* in, uint8_t* out, size_t nbytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace bridge
