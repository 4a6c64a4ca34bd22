/* engine/common/crc32.cpp - CRC-32 (reflected 0xEDB88320): dispatch and tables.
 *
 * Slicing by eight: eight 256-entry tables let the loop fold eight input bytes
 * per step with independent lookups, several times faster than the classic
 * byte-at-a-time loop.  The tables are computed once, at first use.  Buffers of
 * 64 bytes and more go to the carry-less multiplication folding
 * (crc32_clmul.cpp) when the processor has it, on 256-bit registers from
 * 256 bytes on where it has VPCLMULQDQ and AVX2; short ones stay here, where
 * the set-up cost of the folding would not pay.
 */
#include "engine/common/crc32.h"

#include "engine/common/cpu_features.h"
#include "engine/common/crc32_internal.h"

#include <cstring>

namespace ostrana {
namespace {

struct Crc32Tables {
  uint32_t t[8][256];

  Crc32Tables() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
      for (int s = 1; s < 8; ++s) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFF];
  }
};

const Crc32Tables& tables() {
  static const Crc32Tables instance;
  return instance;
}

inline uint32_t load_le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

/// Below this the 256-bit folding's set-up and final reduction do not pay.
constexpr size_t kWideClmulMin = 256;

}  // namespace

uint32_t crc32_update_byte(uint32_t reg, uint8_t byte) {
  return (reg >> 8) ^ tables().t[0][(reg ^ byte) & 0xFF];
}

const uint32_t* crc32_byte_table() { return tables().t[0]; }

namespace detail {

uint32_t crc32_slicing_raw(uint32_t c, const uint8_t* data, size_t nbytes) {
  const auto& t = tables().t;
  while (nbytes >= 8) {
    uint32_t lo = load_le32(data) ^ c;
    uint32_t hi = load_le32(data + 4);
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    data += 8;
    nbytes -= 8;
  }
  while (nbytes-- != 0) c = (c >> 8) ^ t[0][(c ^ *data++) & 0xFF];
  return c;
}

}  // namespace detail

uint32_t crc32(uint32_t crc, const uint8_t* data, size_t nbytes) {
  if (nbytes >= kWideClmulMin && cpu_has_wide_clmul()) return ~detail::crc32_vclmul_raw(~crc, data, nbytes);
  if (nbytes >= 64 && cpu_has_clmul()) return ~detail::crc32_clmul_raw(~crc, data, nbytes);
  return ~detail::crc32_slicing_raw(~crc, data, nbytes);
}

}  // namespace ostrana
