/* engine/zip/split_names.h - names of the parts of a split archive, and the volume size list.
 *
 * A split archive lies in one folder as numbered parts and the archive name:
 * part 1 is the archive name with a new extension, parts 2.. replace that
 * extension with "z02".."z99", then "100".."999"; the last part (the one with
 * the central directory) is finally moved to the archive name itself.  Where
 * the volume allows long names (more than 254 characters per component) the
 * first extension is appended ("arc.zip.z01"), so the parts keep the archive's
 * own extension in their names; otherwise it replaces the extension
 * ("arc.z01").  The reading side looks for both forms.
 *
 * The volume size list is the caller's zero-terminated array of 32-bit (or,
 * with wMultiVolControl bit 13, 64-bit) sizes: element 0 is the size of every
 * part without its own element, element k the size of part k.  Sizes below
 * 65,536 count as 65,536.  The caller's array is read through the memory
 * probe, so an unreadable one is refused rather than crashing the run.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrana {

/// Parts of a split set are numbered 1..kMaxSplitParts.
inline constexpr uint32_t kMaxSplitParts = 999;
/// The smallest part size: smaller sizes are raised to it.
inline constexpr uint64_t kMinSplitPartNbytes = 65536;
/// At most this many sizes are taken from the caller's list.
inline constexpr size_t kMaxVolumeSizes = 1000;

/// The name of part 1 of @p archive_path: ".z01" appended when
/// @p long_names, else replacing the last extension (added when none).
std::string first_split_part_name(const std::string& archive_path, bool long_names);

/// The name of part @p n (1..999) given the name of part 1.
std::string split_part_name(const std::string& first_part, uint32_t n);

/// The caller's volume size list, widened to 64 bits, cut at its zero.
class VolumeSizes {
 public:
  /// Reads @p array (32-bit words, or pairs low-high with @p wide).
  /// @return false when the array cannot be read.
  bool load(const uint32_t* array, bool wide);
  /// The size of part @p n (1-based), at least kMinSplitPartNbytes; 0 when
  /// the list is empty (no limit of its own).
  uint64_t part_nbytes(uint32_t n) const;
  bool empty() const { return m_sizes.empty(); }

  /// Sets the list directly (tests, and callers that have it already).
  void assign(std::vector<uint64_t> sizes) { m_sizes = std::move(sizes); }

 private:
  std::vector<uint64_t> m_sizes;
};

}  // namespace ostrana
