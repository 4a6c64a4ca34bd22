/* engine/common/crc32.h - CRC-32 of ISO 3309 / ITU-T V.42, as ZIP uses it.
 *
 * Reflected polynomial 0xEDB88320, initial value all ones, final complement.
 * The running value passed in and returned is the finished CRC (complement
 * already applied), so crc32(crc32(0, a), b) == crc32(0, a||b), exactly like
 * the ZIP format stores it and like zlib's crc32().
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

/// Continues @p crc (0 to start) over @p nbytes bytes at @p data.  NULL is accepted when nbytes is 0.
uint32_t crc32(uint32_t crc, const uint8_t* data, size_t nbytes);

/// The traditional cipher's and the compressors' one-byte step: the table entry
/// update for a single byte on the raw (uncomplemented) register.
uint32_t crc32_update_byte(uint32_t reg, uint8_t byte);

/// The 256-entry byte table behind crc32_update_byte(), for loops that inline
/// the step: reg' = (reg >> 8) ^ table[(reg ^ byte) & 0xFF].
const uint32_t* crc32_byte_table();

}  // namespace ostrana
