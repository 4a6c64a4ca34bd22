/* engine/common/sha1.cpp - SHA-1: padding, the incremental context and the portable compression.
 *
 * The portable compression is the FIPS 180 loop with a sixteen-word rolling
 * message schedule.  Whole blocks passed to update() are compressed straight
 * from the caller's buffer; only a partial block is copied.  When the
 * processor has SHA instructions, sha1_compress() hands over to sha1_ni.cpp.
 */
#include "engine/common/sha1.h"

#include <cstring>

#include "engine/common/cpu_features.h"
#include "engine/common/sha1_internal.h"

namespace ostrana {
namespace {

inline uint32_t rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t load_be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void compress_portable(uint32_t state[5], const uint8_t* block) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = load_be32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int t = 0; t < 80; ++t) {
    if (t >= 16) w[t & 15] = rol(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    uint32_t temp = rol(a, 5) + f + e + k + w[t & 15];
    e = d;
    d = c;
    c = rol(b, 30);
    b = a;
    a = temp;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

void sha1_initial_state(uint32_t state[5]) {
  state[0] = 0x67452301;
  state[1] = 0xEFCDAB89;
  state[2] = 0x98BADCFE;
  state[3] = 0x10325476;
  state[4] = 0xC3D2E1F0;
}

void sha1_compress(uint32_t state[5], const uint8_t* blocks, size_t nblocks) {
  if (nblocks == 0) return;
  if (cpu_has_sha()) {
    detail::sha1_compress_ni(state, blocks, nblocks);
    return;
  }
  for (size_t i = 0; i < nblocks; ++i) compress_portable(state, blocks + kSha1BlockBytes * i);
}

Sha1::~Sha1() {
  volatile uint8_t* p = m_block;
  for (size_t i = 0; i < sizeof(m_block); ++i) p[i] = 0;
}

void Sha1::reset() {
  sha1_initial_state(m_state);
  m_total_nbytes = 0;
  m_block_fill = 0;
}

void Sha1::update(const uint8_t* data, size_t nbytes) {
  m_total_nbytes += nbytes;
  if (m_block_fill != 0) {
    size_t take = kSha1BlockBytes - m_block_fill;
    if (take > nbytes) take = nbytes;
    std::memcpy(m_block + m_block_fill, data, take);
    m_block_fill += take;
    data += take;
    nbytes -= take;
    if (m_block_fill < kSha1BlockBytes) return;
    sha1_compress(m_state, m_block, 1);
    m_block_fill = 0;
  }
  size_t whole = nbytes / kSha1BlockBytes;
  sha1_compress(m_state, data, whole);
  data += whole * kSha1BlockBytes;
  nbytes -= whole * kSha1BlockBytes;
  if (nbytes != 0) std::memcpy(m_block, data, nbytes);
  m_block_fill = nbytes;
}

void Sha1::finish(uint8_t digest[kSha1DigestBytes]) {
  const uint64_t bit_length = m_total_nbytes * 8;
  m_block[m_block_fill++] = 0x80;
  if (m_block_fill > kSha1BlockBytes - 8) {
    std::memset(m_block + m_block_fill, 0, kSha1BlockBytes - m_block_fill);
    sha1_compress(m_state, m_block, 1);
    m_block_fill = 0;
  }
  std::memset(m_block + m_block_fill, 0, kSha1BlockBytes - 8 - m_block_fill);
  for (int i = 0; i < 8; ++i) m_block[kSha1BlockBytes - 1 - i] = static_cast<uint8_t>(bit_length >> (8 * i));
  sha1_compress(m_state, m_block, 1);
  m_block_fill = 0;
  for (int i = 0; i < 5; ++i) {
    digest[4 * i] = static_cast<uint8_t>(m_state[i] >> 24);
    digest[4 * i + 1] = static_cast<uint8_t>(m_state[i] >> 16);
    digest[4 * i + 2] = static_cast<uint8_t>(m_state[i] >> 8);
    digest[4 * i + 3] = static_cast<uint8_t>(m_state[i]);
  }
}

void Sha1::digest(const uint8_t* data, size_t nbytes, uint8_t out[kSha1DigestBytes]) {
  Sha1 h;
  h.update(data, nbytes);
  h.finish(out);
}

}  // namespace ostrana
