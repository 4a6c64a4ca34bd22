/* engine/unzip/central_directory.h - an archive's central directory, loaded.
 *
 * The unzip side loads the central directory once and keeps it in its thread
 * state between calls, together with the position of the item iteration, so
 * that successive "next item" calls walk the archive.  This class is that
 * loaded directory; it holds no thread-local state of its own (the unzip thread
 * state owns one).
 *
 * Loading: the end records are found (common/directory_end.h; on a non-last
 * volume the input is asked for the last one), then the headers are read from
 * the directory's offset: 46 bytes each with name, extra field and comment, into
 * one growing block (first 142,848 bytes, never more than the directory's bytes
 * in the file), with a table of entry positions grown 256 at a time.  Reading
 * stops at the announced count; a short read or another signature ends it early,
 * and a count that differs from the announced one fails the load with 3.  Names
 * are read as UTF-8 or CP437 by the rule of common/entry_names.h as they are
 * loaded, unless the caller says they already are in the engine's code page
 * (option bit 11); the stored bytes are kept as well.
 *
 * Overlapping entries are refused (3): every entry's bytes - its local header
 * and its compressed data, at least 30 + compressed size bytes from its
 * offset - must lie apart from every other entry's and from the directory.
 * An archive whose entries share their data (or one local header) would
 * otherwise expand to many times its size from a few kilobytes (a "zip
 * bomb"); no writer makes such an archive.
 *
 * Nothing here is sized by an untrusted number: the count and offsets are
 * checked against the file before the first allocation, and every later
 * allocation follows bytes actually read.
 *
 * Guard: the directory remembers which archive it belongs to - the path
 * (compared ignoring case) and the file's identity and state (device, inode,
 * modification time, size) - and the names option it was loaded with; any
 * difference means "load again".  The identity keeps two files whose paths
 * differ only in case (distinct files on this platform) apart, and notices an
 * archive replaced by renaming a new file over it.
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/archive_input.h"
#include "engine/common/directory_end.h"
#include "engine/common/zip_extra.h"
#include "engine/common/zip_records.h"
#include "ostrana_results.h"
#include "platform/file_info.h"

namespace ostrana {

constexpr size_t kDirectoryBlockStart = 142848;
constexpr size_t kDirectoryTableStep = 256;

/// One central directory entry, loaded for use: views into the directory's
/// block, valid until the directory is loaded again or cleared.
struct DirectoryEntry {
  uint64_t index = 0;              // 0-based, directory order
  zip::CentralHeader header;       // external attributes cleared for host system 2
  std::string_view raw_name;       // the stored bytes
  std::string_view name;           // the name as the engine shows it (UTF-8)
  const uint8_t* extra = nullptr;
  size_t extra_nbytes = 0;
  const uint8_t* comment = nullptr;
  size_t comment_nbytes = 0;
  zip::EntryExtras extras;         // Zip64 values (from the block or built), AES, strong encryption
  uint16_t method = 0;             // the effective method: an AES item's real one
  uint16_t shown_date = 0;         // DOS date and time the item is shown and extracted with:
  uint16_t shown_time = 0;         //   its 0x5455 UTC time in local time, else the header's

  bool encrypted() const { return (header.flags & zip::kFlagEncrypted) != 0; }
  bool is_aes() const { return header.method == zip::kMethodAes && extras.has_aes; }
  uint64_t uncompressed_size() const { return extras.zip64.uncompressed_size; }
  uint64_t compressed_size() const { return extras.zip64.compressed_size; }
  uint64_t local_header_offset() const { return extras.zip64.local_header_offset; }
  uint32_t disk_start() const { return extras.zip64.disk_start; }
};

struct DirectoryOptions {
  bool names_in_engine_code_page = false;  // option bit 11: no CP437 conversion
  bool operator==(const DirectoryOptions&) const = default;
};

/// Why a load failed (0 results have kNone); the entry chooses its prompt and
/// detail text by it.
enum class DirectoryFailure {
  kNone,
  kEndNotFound,    ///< no end record in the window (not a ZIP archive)
  kBadEnd,         ///< end record, Zip64 record or directory position invalid
  kCountMismatch,  ///< fewer headers than announced (the "File read error!" prompt)
  kOutOfMemory,
  kVolume,         ///< the input could not give a volume (its code is returned)
  kOverlap,        ///< two entries, or an entry and the directory, share bytes (failure_detail() names them)
};

class CentralDirectory {
 public:
  /// Loads the directory of the archive open in @p in.  @return 0,
  /// OU_BAD_STRUCTURE, OU_OUT_OF_MEMORY, or the input's code for a volume it
  /// could not give (48 cancelled, 26 unsupported, 29).  @p failure_ret (may be
  /// null) tells why.  On failure the directory is left empty.
  int load(ArchiveInput& in, const DirectoryOptions& options, DirectoryFailure* failure_ret = nullptr);

  /// Forgets everything (as after a thread-state reset).
  void clear();

  bool loaded() const { return m_loaded; }
  /// After a failed load: the entries that overlap (kOverlap), else "".
  const std::string& failure_detail() const { return m_failure_detail; }

  /// Remembers which archive the loaded directory belongs to (platform::file_info of @p path).
  void set_identity(const std::string& path, const platform::FileInfo& file);
  /// The guard: true when the directory is loaded from @p path (ignoring case),
  /// the file is the same one in the same state, and the options are the same.
  bool is_current(const std::string& path, const platform::FileInfo& file, const DirectoryOptions& options) const;
  const std::string& path() const { return m_path; }

  const DirectoryEnd& end() const { return m_end; }
  /// Number of entries loaded.
  uint64_t size() const { return m_slots.size(); }

  /// Loads entry @p index for use (extra-block searches included).
  /// @return 0, OU_BAD_STRUCTURE (oversized extra block), OU_INDEX_OUT_OF_BOUNDS.
  int entry(uint64_t index, DirectoryEntry* ret) const;
  /// The shown name of entry @p index without loading the rest (index < size()).
  std::string_view name(uint64_t index) const;

  /* ---- iteration ---- */
  uint64_t position() const { return m_position; }
  void set_position(uint64_t index) { m_position = index; }
  /// The entry at the iteration position, which then advances.  With
  /// @p skip_long_names, entries whose name is not an 8.3 name are passed over.
  /// @return 0, OU_UNEXPECTED_EOF past the last entry, or entry()'s code (the
  ///         position has advanced past the refused entry).
  int next(bool skip_long_names, DirectoryEntry* ret);
  /// Item by number: sets the position to @p index and takes the next item
  /// (without passing over long names).  @return OU_INDEX_OUT_OF_BOUNDS past the end.
  int item(uint64_t index, DirectoryEntry* ret);

  /// Number of entries, or with @p short_names_only the number whose name is an
  /// 8.3 name (counted by walking all of them).
  uint64_t count(bool short_names_only) const;

 private:
  struct Slot {
    size_t offset = 0;           // of the 46-byte header in m_block
    uint32_t shown_nbytes = 0;   // length of the shown name
    bool converted = false;      // the shown name follows the comment
  };

  int read_headers(ArchiveInput& in, const DirectoryOptions& options, DirectoryFailure* failure);
  int check_entry_ranges();

  std::vector<uint8_t> m_block;
  std::vector<Slot> m_slots;
  DirectoryEnd m_end;
  DirectoryOptions m_options;
  uint64_t m_position = 0;
  bool m_loaded = false;
  std::string m_path;
  platform::FileInfo m_file;
  std::string m_failure_detail;
};

}  // namespace ostrana
