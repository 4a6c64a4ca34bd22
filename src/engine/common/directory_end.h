/* engine/common/directory_end.h - finding the end of the central directory.
 *
 * The end record sits in the last 65,579 bytes of the last volume (the largest
 * comment, 65,535 bytes, plus two 22-byte records).  The window is read in one
 * buffer and scanned backward for "PK\5\6".  When the input says so (split
 * sets, removable media), the same scan also recognises a central or local
 * header signature met nearer the end than any end record: the verdict is then
 * that the open volume is not the last one, and the multi-volume reader asks for
 * the last disk.
 *
 * When any field of the end record is saturated, the Zip64 locator is searched
 * backward from just before the end record within the last 102,400 bytes, and
 * the Zip64 record it names is read (signature, rest-of-record size 1..44).  An
 * archive whose counts are saturated but that has no locator at all is taken at
 * the end record's values (an ordinary archive of exactly 65,535 items).
 *
 * The result is one DirectoryEnd with every value widened to 64 bits and the
 * record's 16-bit copies kept saturated.  Before anything is allocated from
 * these numbers, a single-volume directory is checked against the file: its
 * start must lie before the end record and its announced entries must fit in
 * the bytes between (46 bytes each at least).
 *
 * An archive with bytes in front of it (a self-extractor stub added without
 * fixing the offsets) is recognised when the directory's recorded offset holds
 * no header but the position implied by the end record does; the difference is
 * kept as the preamble and added to every offset read from the archive.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/common/archive_input.h"
#include "engine/common/zip_records.h"

namespace ostrana {

constexpr size_t kEndSearchWindow = 65579;
constexpr size_t kZip64LocatorWindow = 102400;

/// The end-of-central-directory description, widened to 64 bits.
struct DirectoryEnd {
  uint64_t end_record_offset = 0;  // where "PK\5\6" is, in the last volume
  uint32_t this_disk = 0;          // 0-based number of the last volume
  uint32_t directory_disk = 0;     // volume where the directory starts
  uint64_t entries_this_disk = 0;
  uint64_t entries_total = 0;
  uint64_t directory_nbytes = 0;
  uint64_t directory_offset = 0;   // as recorded (the preamble is not included)
  uint64_t preamble_nbytes = 0;    // added to every recorded offset on a single volume
  uint64_t directory_end = 0;      // the directory ends here at the latest (end record or Zip64 record)
  uint16_t comment_nbytes = 0;     // as recorded
  uint16_t comment_avail = 0;      // bytes of the comment actually in the file
  bool zip64 = false;              // the values came from a Zip64 record
  zip::EndRecord record;           // 16-bit copies, saturated where the value is wider

  bool multi_volume() const { return this_disk != 0; }
  uint64_t comment_offset() const { return end_record_offset + zip::kEndRecordSize; }
};

enum class EndSearchVerdict {
  kFound,          ///< the end record was found; its offset is returned
  kNotLastVolume,  ///< a header signature lies nearer the end than any end record
};

/// Scans the last min(length, 65,579) bytes backward.
/// @return 0 (see @p verdict_ret), OU_BAD_STRUCTURE when no end record is in the
///         window or the volume cannot be read, OU_OUT_OF_MEMORY when the window
///         buffer cannot be had.
int find_end_record(ArchiveInput& in, uint64_t* offset_ret, EndSearchVerdict* verdict_ret);

/// Reads the end record at @p end_offset, follows the Zip64 locator when a field
/// is saturated, applies the single-volume fix-up of the disk numbers and tells
/// the input its volume number.  @return 0, OU_BAD_STRUCTURE or OU_OUT_OF_MEMORY.
int read_directory_end(ArchiveInput& in, uint64_t end_offset, DirectoryEnd* ret);

/// Before the directory is loaded: on a single volume, recognises a preamble and
/// checks that the directory starts before the end record and that the
/// announced entries fit in the bytes between.  @return 0 or OU_BAD_STRUCTURE.
int check_directory_position(ArchiveInput& in, DirectoryEnd* end);

/// find_end_record, then read_directory_end.  On kNotLastVolume @p ret is left
/// untouched and 0 is returned: the caller asks for the last volume and tries again.
int locate_directory_end(ArchiveInput& in, DirectoryEnd* ret, EndSearchVerdict* verdict_ret);

/// locate_directory_end on the last volume: while the verdict is kNotLastVolume
/// the input is asked for the last volume (select_volume(kLastVolume)) and the
/// search starts again.  @return 0, the codes of locate_directory_end, or the
/// input's code when it could not give the last volume (then @p volume_failed_ret
/// is set).
int find_directory_end(ArchiveInput& in, DirectoryEnd* ret, bool* volume_failed_ret);

/// Reads the archive comment that follows the end record (the bytes actually in
/// the file, at most the recorded length).  @return 0, OU_BAD_STRUCTURE when the
/// read fails, OU_OUT_OF_MEMORY.
int read_archive_comment(ArchiveInput& in, const DirectoryEnd& end, std::vector<uint8_t>* comment_ret);

}  // namespace ostrana
