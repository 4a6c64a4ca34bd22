/* engine/common/aes_ctr.cpp - ZIP AES counter mode over the block cipher of aes.cpp.
 *
 * A call first uses up the key stream left from a block that the previous
 * call began, then runs whole blocks (through the AES instructions when
 * available), then starts one more block for a tail shorter than 16 bytes and
 * keeps its unused key stream for the next call.
 */
#include "engine/common/aes_ctr.h"

#include <cstring>

#include "engine/common/aes_internal.h"
#include "engine/common/cpu_features.h"

namespace ostrana {
namespace {

void counter_block(uint64_t counter, uint8_t block[16]) {
  for (int i = 0; i < 8; ++i) block[i] = static_cast<uint8_t>(counter >> (8 * i));
  std::memset(block + 8, 0, 8);
}

}  // namespace

ZipAesCtr::ZipAesCtr() : m_enc{}, m_next_counter(1), m_stream{}, m_stream_used(16), m_keyed(false) {}

ZipAesCtr::~ZipAesCtr() {
  volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(&m_enc);
  for (size_t i = 0; i < sizeof(m_enc); ++i) p[i] = 0;
  volatile uint8_t* s = m_stream;
  for (size_t i = 0; i < sizeof(m_stream); ++i) s[i] = 0;
}

int ZipAesCtr::setup(const uint8_t* key, size_t key_nbytes) {
  m_keyed = aes_set_encrypt_key(&m_enc, key, key_nbytes) == kAesOk;
  m_next_counter = 1;
  m_stream_used = 16;
  return m_keyed ? kAesOk : kAesBadKeyLength;
}

void ZipAesCtr::set_next_counter(uint64_t value) {
  m_next_counter = value;
  m_stream_used = 16;
}

void ZipAesCtr::transform(const uint8_t* in, uint8_t* out, size_t nbytes) {
  if (!m_keyed) return;
  while (nbytes != 0 && m_stream_used < 16) {
    *out++ = *in++ ^ m_stream[m_stream_used++];
    --nbytes;
  }
  size_t nblocks = nbytes / 16;
  if (nblocks != 0) {
    if (cpu_has_aes()) {
      m_next_counter = detail::aesni_ctr_le64(m_enc, m_next_counter, in, out, nblocks);
    } else {
      for (size_t b = 0; b < nblocks; ++b) {
        uint8_t ks[16];
        counter_block(m_next_counter++, ks);
        aes_encrypt_block(m_enc, ks, ks);
        for (int i = 0; i < 16; ++i) out[16 * b + i] = in[16 * b + i] ^ ks[i];
      }
    }
    in += 16 * nblocks;
    out += 16 * nblocks;
    nbytes -= 16 * nblocks;
  }
  if (nbytes != 0) {
    counter_block(m_next_counter++, m_stream);
    aes_encrypt_block(m_enc, m_stream, m_stream);
    for (m_stream_used = 0; m_stream_used < nbytes; ++m_stream_used) out[m_stream_used] = in[m_stream_used] ^ m_stream[m_stream_used];
  }
}

}  // namespace ostrana
