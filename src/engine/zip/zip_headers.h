/* engine/zip/zip_headers.h - the headers the archive writer puts into a new archive.
 *
 * Every entry of a new archive - compressed now or copied from the old
 * archive - ends up as one CentralRecord: the central header's fields, the
 * entry's 64-bit sizes and offset, its stored name bytes, the extra blocks it
 * carries besides Zip64 (AES, strong encryption, anything an old entry had)
 * and its comment.  The Zip64 block (0x0001) is never kept from an old entry:
 * it is made anew from the 64-bit values whenever a header is written, holding
 * exactly the values that do not fit their 32-bit fields (central header), or
 * both sizes (local header, when asked).  So an offset that grows past 4 GiB
 * in the new archive is always written correctly.
 *
 * The byte layouts are common/zip_records.h; this file decides the values.
 * The end records: the 22-byte record, preceded by the Zip64 end record and
 * its locator when the archive may be large (LargeZIPFilesFlag) and a count,
 * size or offset does not fit; the fields that do not fit then hold all ones.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/zip_records.h"
#include "engine/zip/archive_output.h"

namespace ostrana {

/// Values of version made by / needed (the low byte; the host is the high byte).
inline constexpr uint16_t kVersionStored = 10;
inline constexpr uint16_t kVersionDeflate = 20;
inline constexpr uint16_t kVersionDeflate64 = 21;
inline constexpr uint16_t kVersionZip64 = 45;
inline constexpr uint16_t kVersionAes = 51;
/// Host byte of version made by: 3 Unix (the mode rides in the high 16 bits
/// of the external attributes); 0 MS-DOS for dosified entries.
inline constexpr uint16_t kHostMsDos = 0;
inline constexpr uint16_t kHostUnix = 3;
/// File type bits of a Unix mode, and the type of a symbolic link.
inline constexpr uint32_t kUnixTypeBits = 0170000;
inline constexpr uint32_t kUnixLink = 0120000;
/// The mode of an entry that has no file behind it (memory block, callback data).
inline constexpr uint32_t kMemoryEntryMode = 0100644;

struct CentralRecord {
  zip::CentralHeader header;     ///< sizes, offset, lengths are filled in on writing
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint64_t local_offset = 0;
  uint32_t disk = 0;
  std::string name;              ///< the stored bytes
  std::vector<uint8_t> extra;    ///< extra blocks except 0x0001
  std::vector<uint8_t> comment;

  uint32_t dos_datetime() const { return static_cast<uint32_t>(header.mod_date) << 16 | header.mod_time; }
  bool has_descriptor() const { return (header.flags & zip::kFlagDataDescriptor) != 0; }
};

/// @p extra without its 0x0001 blocks; other blocks (and trailing bytes that
/// form no block) are kept as they are.
std::vector<uint8_t> extra_without_zip64(const uint8_t* extra, size_t extra_nbytes);

/// The entry name as stored: its bytes as they are (common/entry_names.h);
/// *@p utf8_flag_ret is set when flag bit 11 is needed (valid UTF-8 that is
/// not ASCII).  A name that is not valid UTF-8 goes without the flag.
std::string stored_name_bytes(const std::string& name, bool* utf8_flag_ret);

/// Version needed for @p method (with @p aes: 51).
uint16_t version_needed_for(uint16_t method, bool aes);

/// Version made by (high byte the host: Unix, or MS-DOS with @p dosify) for
/// an entry of @p method; 45 when it carries Zip64 values, 51 for AES.
uint16_t version_made_by_for(uint16_t method, bool zip64, bool dosify, bool aes);

/// External attributes: the Unix @p mode in the high 16 bits and the DOS
/// bits (masked with 0x37) in the low byte; with @p dosify the DOS byte alone.
uint32_t unix_attributes(uint32_t mode, uint32_t dos_attributes, bool dosify);

/// The local header of @p r (name and extra blocks included).  With
/// @p zip64_block the local header carries both 64-bit sizes, and its 32-bit
/// size fields hold all ones when a size does not fit them; with a data
/// descriptor (flag bit 3) CRC and sizes are zero.  @p version_needed is the
/// local header's own value.
std::vector<uint8_t> local_header_bytes(const CentralRecord& r, bool zip64_block, uint16_t version_needed);

/// Bytes of the central directory entry of @p r.  @return false when its extra
/// field would be longer than the format allows.
bool central_header_bytes(const CentralRecord& r, std::vector<uint8_t>* out);

/// Writes the central directory of @p records, then the end records with
/// @p comment.  @p large allows Zip64 end records; without it an archive whose
/// counts or offsets do not fit is refused with OZ_TOO_BIG.
/// @return 0, the output's code, OZ_TOO_BIG or OZ_BAD_STRUCTURE (an extra
/// field too long).
int write_central_directory(ArchiveOutput& out, const std::vector<CentralRecord>& records,
                            const std::vector<uint8_t>& comment, bool large);

}  // namespace ostrana
