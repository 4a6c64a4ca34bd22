/* engine/zip/old_archive_locals.h - reading the local headers of an existing archive.
 *
 * Internal to the existing-archive reader (old_archive.h): a buffered reader
 * over the archive file and the reading of one local header with its data
 * extent.  The extent of an entry whose local header leaves the sizes to a
 * data descriptor (flag bit 3 with a zero compressed size) is found by
 * searching for a descriptor whose compressed size says it ends exactly there;
 * a signature met inside compressed data by chance is passed over.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/zip_records.h"
#include "platform/file.h"

namespace ostrana {

/// Positioned reads of the archive through one 64 KiB window.
class ArchiveBytes {
 public:
  ArchiveBytes(platform::File& file, uint64_t length);

  uint64_t length() const { return m_length; }
  /// Reads exactly @p nbytes at @p offset.  @return false for a short read or
  /// an input failure (then io_failed()).
  bool read(uint64_t offset, void* buf, size_t nbytes);
  /// The four bytes at @p offset as a signature, 0 when they are not there.
  uint32_t signature_at(uint64_t offset);
  /// Finds the first offset in [@p from, @p limit) where @p signature begins.
  bool find(uint64_t from, uint64_t limit, uint32_t signature, uint64_t* at_ret);
  /// Finds the first offset in [@p from, @p limit) where a local header or an
  /// end record signature begins ("PK\3\4" or "PK\5\6").
  bool find_first_header(uint64_t from, uint64_t limit, uint64_t* at_ret);
  bool io_failed() const { return m_io_failed; }

 private:
  bool fill(uint64_t offset);
  /// The bytes from @p from on (at least 4, at most up to @p limit), reading
  /// the window anew only when it does not hold them.  nullptr at the end.
  const uint8_t* window_at(uint64_t from, uint64_t limit, size_t* avail_ret);

  platform::File& m_file;
  uint64_t m_length;
  std::vector<uint8_t> m_window;
  uint64_t m_window_start = 0;
  size_t m_window_nbytes = 0;
  bool m_io_failed = false;
};

/// One local header as found, with its entry's extent.
struct LocalFound {
  zip::LocalHeader header;
  std::string name;
  std::vector<uint8_t> extra;
  bool zip64 = false;             ///< the local extra field holds a 0x0001 block
  uint64_t offset = 0;            ///< of the local header
  uint64_t data_offset = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint32_t crc32 = 0;
  uint32_t descriptor_nbytes = 0; ///< 0, 16 or 24
  uint64_t end_offset = 0;        ///< past data and descriptor
};

enum class LocalVerdict {
  kOk,
  kNotLocal,           ///< no local header signature (or too short)
  kZeroName,           ///< "zero-length name for entry #"
  kDescriptorMissing,  ///< size known, no descriptor where the data ends
  kBadDescriptor,      ///< size unknown, no descriptor that ends where its size says
  kBadDescriptorSize,  ///< the descriptor's compressed size is not the local header's
  kBadExtra,           ///< an oversized or short Zip64 block
  kRunsPastEnd,        ///< the data runs past @p limit
  kInputFailed,        ///< the file could not be read
};

/// Reads the local header at @p offset and the extent of its entry, whose data
/// must end before @p limit.  *@p ret is filled as far as the reading got (the
/// name is there for every verdict after kZeroName).  @p scan_budget (may be
/// null) bounds the bytes searched for data descriptors, shared by the calls
/// of one repair: a file full of false signatures cannot make the search
/// quadratic.
LocalVerdict read_local(ArchiveBytes& bytes, uint64_t offset, uint64_t limit, LocalFound* ret,
                        uint64_t* scan_budget = nullptr);

}  // namespace ostrana
