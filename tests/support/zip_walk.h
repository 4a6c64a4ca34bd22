/* tests/support/zip_walk.h - a minimal central-directory walk for tests.
 *
 * Just enough to find an item's fields and data in archives that tests read
 * (no Zip64, no multi-volume sets): the engine's own directory reader is what
 * is under test elsewhere; this one only locates test inputs.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

struct WalkedItem {
  std::string name;
  uint16_t flags = 0, method = 0, dos_time = 0, dos_date = 0;
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0, uncompressed_size = 0;
  std::vector<uint8_t> central_extra, local_extra;
  uint64_t data_offset = 0;  ///< first byte after the local header

  /// The first extra block with @p tag (header included), from the central
  /// extra field or else the local one; empty when absent.
  std::vector<uint8_t> extra_block(uint16_t tag) const;
};

/// Walks the central directory of @p archive (the whole file's bytes).
/// Throws std::runtime_error on anything it cannot follow.
std::vector<WalkedItem> walk_zip(const std::vector<uint8_t>& archive);

}  // namespace testenv
