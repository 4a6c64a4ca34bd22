/* engine/zip/entry_writer.h - compressing one entry into the new archive.
 *
 * The writer's unit of work: a local header, the entry's data (stored, or
 * compressed by deflate or Deflate64), and the local header rewritten with the
 * CRC-32 and sizes once they are known - or, where the output cannot be
 * rewritten (multi-volume output) or the data comes from the caller's data
 * callback, a data descriptor after the data (flag bit 3).  The result is the
 * entry's CentralRecord, ready for the central directory.
 *
 * The values follow the writer's rules: method 0 for folders, empty files,
 * store suffixes and factor 0 (and whenever the compressor finds the raw bytes
 * smallest); flag bits 1-2 from the level; versions 10/20/21 by method, 45
 * only for an entry that carries Zip64 values.  Entries are made on Unix:
 * the file's mode in the high 16 bits of the external attributes, the DOS
 * bits in the low byte, and the modification time in UTC in an extended
 * timestamp block (0x5455) beside the DOS date-time, which has no time zone.
 * Names are stored as they are, with flag bit 11 when they are UTF-8 and not
 * ASCII (common/entry_names.h).  A symbolic link is stored as a link entry:
 * its mode says S_IFLNK and its data, stored, is the link's target.
 *
 * Encryption (entry_encryption.h): an entry with data gets flag bit 0 (and
 * bit 6, versions 51 and the 0x0017 block for strong encryption; method 99,
 * versions 51, CRC 0 and the 0x9901 block for the ZIP AES format) and its
 * encryption header before the data.  On a repositionable output the header
 * is reserved, the data compressed, the local header rewritten, the header
 * written with the final CRC and size, and the data encrypted over itself
 * in a second pass; otherwise (flag bit 3) header and data are encrypted on
 * the way out.  Folders carry no data and are not encrypted.
 *
 * Threads: with a CompressionPool in the settings, a small file compressed
 * ahead of its turn is taken from the pool (one progress report for its
 * bytes, as when it is read here), and a larger entry is compressed chunk by
 * chunk on the pool's workers; the bytes are the same either way.
 *
 * Zip64 in the local header is decided before the data is read, from the size
 * the source announced.  A file that grows past 4 GiB while it is read no longer
 * fits such a header: write_entry() then says kEntryNeedsZip64 and the caller
 * drops what was written and writes the entry again with the Zip64 block.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/zip/archive_output.h"
#include "engine/zip/compression_pool.h"
#include "engine/zip/deflate.h"
#include "engine/zip/deflate_input.h"
#include "engine/zip/entry_encryption.h"
#include "engine/zip/zip_headers.h"

namespace ostrana {

/// Uncompressed sizes above this get the Zip64 block in their local header
/// (with LargeZIPFilesFlag), leaving room for data that grows as it is read.
inline constexpr uint64_t kLocalZip64Threshold = 3500000000ull;

/// write_entry(): the entry must be written again with force_zip64 set.
inline constexpr int kEntryNeedsZip64 = -2;

/// The run's settings, the same for every entry.
struct EntrySettings {
  CompressionChoice compression;    ///< method and level from compFactor
  bool large = false;               ///< LargeZIPFilesFlag
  bool dosify = false;              ///< dosifyFlag bit 0: MS-DOS host, no Unix fields
  bool convert_eol = false;         ///< convertLFtoCRLFFlag
  std::string_view store_suffixes;  ///< empty when no suffix is stored (effective level 9)
  WriteEncryption* encryption = nullptr;  ///< the run's encryption; null or not enabled: none
  /// Compression on several threads (compression_pool.h); null: all on the calling thread.
  CompressionPool* pool = nullptr;
};

/// One entry to write.
struct EntrySource {
  std::string name;             ///< stored name, UTF-8 ("/" separators; folders end in "/")
  std::string path;             ///< the source path (its suffix decides storing); may be empty
  uint32_t dos_datetime = 0;
  uint32_t attributes = 0;      ///< DOS attributes
  uint64_t size = 0;            ///< the size the source announced (a file's, a block's)
  uint32_t unix_mode = kMemoryEntryMode;  ///< st_mode: type and permission bits
  int64_t mtime = -1;           ///< last write in UTC seconds; negative: none known
  bool from_callback = false;   ///< the data comes from the data callback: size unknown, flag bit 3
  bool force_zip64 = false;     ///< the local header carries the Zip64 block whatever the size
  /// The data already compressed by the pool's workers (CompressionPool::take());
  /// null: write_entry() compresses @p data itself, or takes it from the pool.
  const AheadResult* ahead = nullptr;
};

/// True when @p entry is a symbolic link (its data is the link's target).
bool is_link_entry(const EntrySource& entry);

/// The extra blocks the entry writer gives @p entry besides Zip64: the
/// extended timestamp, then the cipher's block (for ZIP AES naming @p method).
std::vector<uint8_t> entry_extra_blocks(const EntrySource& entry, const EntrySettings& settings, uint16_t method);

/// The method an entry gets: stored for folders, empty files, store suffixes
/// and entries without data (@p has_data false), else the run's.
uint16_t entry_method(const EntrySource& entry, bool has_data, const EntrySettings& settings);

/// How the data of an entry of @p method is compressed on an output that can
/// (or cannot) be @p repositionable, from a callback or not.
DeflateOptions entry_deflate_options(const EntrySettings& settings, uint16_t method, bool repositionable,
                                     bool from_callback);

/// Writes one entry into @p out; its data comes from @p data (nullptr for a
/// folder).  @p observer (may be null) hears of the progress and may cancel.
/// @return 0 with *@p ret filled; kEntryNeedsZip64; or a code: the source's
/// (11 read failure, 9 cancelled), the output's, 4 (with *@p detail_ret),
/// 22 (encryption failed),
/// OZ_TOO_BIG (an entry or offset beyond 4 GiB without LargeZIPFilesFlag),
/// OZ_BAD_PARAMETERS (a name longer than the format allows).
int write_entry(ArchiveOutput& out, const EntrySource& entry, ByteSource* data, const EntrySettings& settings,
                DeflateCompressor& compressor, EntryReadObserver* observer, CentralRecord* ret,
                std::string* detail_ret);

}  // namespace ostrana
