/* engine/common/crc32_internal.h - the CRC-32 implementations behind crc32().
 *
 * Both work on the raw register (initial value and final complement left to
 * the caller), so they can hand over to each other mid-buffer.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana::detail {

/// Portable slicing-by-eight over any length.
uint32_t crc32_slicing_raw(uint32_t reg, const uint8_t* data, size_t nbytes);

/// Carry-less multiplication folding; needs cpu_has_clmul() and @p nbytes >= 64.
uint32_t crc32_clmul_raw(uint32_t reg, const uint8_t* data, size_t nbytes);

/// The same folding on 256-bit registers; needs cpu_has_wide_clmul() and @p nbytes >= 128.
uint32_t crc32_vclmul_raw(uint32_t reg, const uint8_t* data, size_t nbytes);

}  // namespace ostrana::detail
