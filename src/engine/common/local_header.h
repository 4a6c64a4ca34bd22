/* engine/common/local_header.h - reading an item's local header.
 *
 * Before an item's data is read, its local header is read at the offset the
 * central directory gives (64-bit, from the Zip64 values, plus the archive's
 * preamble): 30 bytes with the local signature, then the local name and extra
 * field.  The extra field is searched for the 0x0001 (at most 32 bytes) and
 * 0x9901 (at most 11 bytes) blocks.  The data starts right after the extra
 * field; an AES item (method 99) with a 0x9901 block takes the block's actual
 * method.  The local name is compared with the central one ignoring case, which
 * the multi-volume reader uses to know it holds the right disk.
 *
 * Every offset is checked against the volume's length before it is used.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/common/archive_input.h"
#include "engine/common/zip_extra.h"
#include "engine/common/zip_records.h"

namespace ostrana {

struct LocalEntry {
  zip::LocalHeader header;
  zip::EntryExtras extras;    // local 0x0001 / 0x9901 blocks (no 0x0017 here)
  uint16_t method = 0;        // the effective method: an AES item's real one
  uint64_t header_offset = 0; // volume offset of the local header
  uint64_t data_offset = 0;   // volume offset of the first data byte
  bool name_matches = false;  // local name equals the central one, ignoring case
};

/// Reads the local header at @p header_offset of the open volume and compares
/// its name with @p central_raw_name (the stored bytes).
/// @return 0, or OU_BAD_STRUCTURE on a short read, a wrong signature, an offset
///         beyond the volume or an oversized extra block.
int read_local_header(ArchiveInput& in, uint64_t header_offset, std::string_view central_raw_name,
                      LocalEntry* ret);

}  // namespace ostrana
