/* engine/common/random_pool.cpp - pool mixing with the SHA-1 compression function.
 *
 * A 20-byte step of the pool is read as a SHA-1 chaining state (five
 * big-endian words); the message block is the 64 pool bytes that follow it,
 * wrapping round the end of the pool.  260 is thirteen steps of 20.
 */
#include "engine/common/random_pool.h"

#include <cstring>

#include "engine/common/sha1.h"
#include "platform/random.h"

namespace ostrana {
namespace {

constexpr size_t kStep = kSha1DigestBytes;
static_assert(RandomPool::kPoolBytes % kStep == 0, "the pool is a whole number of steps");

void window(const uint8_t* pool, size_t start, uint8_t block[kSha1BlockBytes]) {
  for (size_t i = 0; i < kSha1BlockBytes; ++i) block[i] = pool[(start + i) % RandomPool::kPoolBytes];
}

void load_state(const uint8_t* p, uint32_t state[5]) {
  for (int i = 0; i < 5; ++i)
    state[i] = (uint32_t(p[4 * i]) << 24) | (uint32_t(p[4 * i + 1]) << 16) | (uint32_t(p[4 * i + 2]) << 8) | p[4 * i + 3];
}

void store_state(const uint32_t state[5], uint8_t* p) {
  for (int i = 0; i < 5; ++i)
    for (int b = 0; b < 4; ++b) p[4 * i + b] = static_cast<uint8_t>(state[i] >> (24 - 8 * b));
}

void wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) v[i] = 0;
}

}  // namespace

RandomPool::~RandomPool() {
  wipe(m_pool, sizeof(m_pool));
  wipe(m_out, sizeof(m_out));
}

int RandomPool::setup() {
  m_ready = false;
  std::memset(m_pool, 0, sizeof(m_pool));
  std::memset(m_out, 0, sizeof(m_out));
  if (int err = platform::random_bytes(m_pool, sizeof(m_pool)); err != 0) return err;
  for (int i = 0; i < kSetupPasses; ++i) next_block();
  m_out_used = kPoolBytes;
  m_ready = true;
  return 0;
}

void RandomPool::next_block() {
  for (size_t i = 0; i < kPoolBytes; ++i) m_pool[i] ^= static_cast<uint8_t>(~m_out[i]);
  uint8_t block[kSha1BlockBytes];
  uint32_t state[5];
  // Stir: every step absorbs the bytes after it, so each byte of the pool
  // comes to depend on all of them.
  for (size_t p = 0; p < kPoolBytes; p += kStep) {
    load_state(m_pool + p, state);
    window(m_pool, p + kStep, block);
    sha1_compress(state, block, 1);
    store_state(state, m_pool + p);
  }
  // Output: a one-way image of the stirred pool.
  for (size_t p = 0; p < kPoolBytes; p += kStep) {
    sha1_initial_state(state);
    window(m_pool, p, block);
    sha1_compress(state, block, 1);
    store_state(state, m_out + p);
  }
  m_out_used = 0;
  wipe(block, sizeof(block));
  wipe(state, sizeof(state));
}

int RandomPool::fill(uint8_t* out, size_t nbytes) {
  if (!m_ready) return -1;
  while (nbytes != 0) {
    if (m_out_used == kPoolBytes) next_block();
    size_t take = kPoolBytes - m_out_used;
    if (take > nbytes) take = nbytes;
    std::memcpy(out, m_out + m_out_used, take);
    m_out_used += take;
    out += take;
    nbytes -= take;
  }
  return 0;
}

}  // namespace ostrana
