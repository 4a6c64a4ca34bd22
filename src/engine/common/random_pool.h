/* engine/common/random_pool.h - the engine's generator of random bytes for encryption.
 *
 * A 260-byte pool and a 260-byte output block.  Set-up fills the pool from
 * the operating system's random source (platform/random.h) and makes twenty
 * mixing passes.  Each new output block first folds the complement of the
 * previous output back into the pool, then stirs the pool with the SHA-1
 * compression function in 20-byte steps (each step absorbs the 64 pool bytes
 * that follow it), then derives the output block from the stirred pool with
 * the compression function again, so that an output block reveals nothing
 * of the pool.  Bytes are handed out from the output block; a new block is
 * made every 260 bytes.
 *
 * The encryption writer draws the random data of strong encryption headers
 * (IV, random data, password validation data) and AES salts from here.  One
 * pool per run; it is not shared between threads.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

class RandomPool {
 public:
  static constexpr size_t kPoolBytes = 260;
  static constexpr int kSetupPasses = 20;

  RandomPool() = default;
  ~RandomPool();  ///< wipes pool and output
  RandomPool(const RandomPool&) = delete;
  RandomPool& operator=(const RandomPool&) = delete;

  /// Seeds the pool from the platform and mixes it.  @return 0, or the
  /// platform's errno when no random bytes could be had (the pool is then unusable).
  int setup();
  bool ready() const { return m_ready; }

  /// Writes @p nbytes random bytes to @p out.  @return 0, or -1 before a successful setup().
  int fill(uint8_t* out, size_t nbytes);

 private:
  void next_block();

  uint8_t m_pool[kPoolBytes] = {};
  uint8_t m_out[kPoolBytes] = {};
  size_t m_out_used = kPoolBytes;
  bool m_ready = false;
};

}  // namespace ostrana
