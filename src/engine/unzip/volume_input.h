/* engine/unzip/volume_input.h - the archive's volumes: one file, split files, or disks.
 *
 * Every read of an archive by the unzip side goes through a VolumeInput.  For
 * an ordinary archive it is the one open file.  For a multi-volume archive
 * (its end record names a disk other than 0) it finds the other volumes in one
 * of two ways:
 *
 *   split-file mode (option bit 13, or an archive on a fixed drive): the
 *   volumes are files beside the archive, found by name.  Volume n (1-based;
 *   0 is the last volume, the archive itself) is asked of the caller first
 *   (display type 15) when a message callback is set, then looked up as
 *   NAME.zip.z01 / NAME.z01 (NAME.zip.100 / NAME.100 from 100 on);
 *
 *   disk mode (an archive on a removable or CD-ROM drive, or option bit 7):
 *   one volume per disk at the archive's path; the user is asked to insert the
 *   disk (display types 0 and 1, OK/Cancel) and the archive is reopened.  When
 *   data runs on into the next disk, that disk's label must be "PKBACK# %03d"
 *   with its 1-based number (unless option bit 9 is set, or the volume keeps
 *   no label that can be read).
 *
 * Any prompt answered with other than OK ends the run with 48; a lookup that
 * finds no file ends it with 48 as well (the report names the missing part).
 * A part that is found but cannot be opened is 29.
 *
 * Which kind of drive holds the archive, its labels and whether two paths
 * share a volume come from the platform's volume service (a fake in tests).
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/archive_input.h"
#include "engine/common/byte_stream.h"
#include "engine/common/directory_end.h"

namespace ostrana {

struct UnzipRun;

class VolumeInput final : public ArchiveInput {
 public:
  /// Reads run.archive (open on run.archive_path), prompting through the run.
  explicit VolumeInput(UnzipRun& run);

  int64_t length() override;
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes) override;
  void note_last_volume(uint32_t disk) override;
  int select_volume(uint32_t disk, VolumeRequest why) override;
  bool scans_for_last_volume() const override { return m_scan_for_last; }

  /// A directory loaded by an earlier call is used again: the set has the
  /// layout @p end describes, and which volume is open is not known.
  void adopt_layout(const DirectoryEnd& end);

  /// True once the end record said the archive has more than one volume.
  bool multi_volume() const { return m_last != kUnknown && m_last != 0; }
  /// True when volumes are disks swapped in the archive's drive.
  bool disk_mode() const { return !m_split; }

  /// Disk mode: the disk in the drive turned out not to be volume @p disk (a
  /// wrong local header): asks for it again.  Split-file mode: 29.
  int reselect(uint32_t disk, VolumeRequest why);

  /// The open volume ended inside an item's data: moves to the next volume
  /// (the next part, or the next disk with its label checked).
  /// @return 0, 2 when there is no next volume, 48, or 29.
  int next_data_volume();

 private:
  static constexpr uint32_t kUnknown = 0xFFFFFFFF;
  static constexpr int kPromptLimit = 64;  ///< wrong disks accepted before giving up

  int open_path(const std::string& path);
  int find_and_open_part(uint32_t disk);
  int ask_for_disk(uint32_t disk, bool data_continues);
  int prompt(int type, int code, int extra);
  bool label_fits(uint32_t disk);
  uint32_t count_known() const { return m_last == kUnknown ? 0 : m_last + 1; }

  UnzipRun& m_run;
  bool m_split = true;
  bool m_scan_for_last = false;
  uint32_t m_last = kUnknown;
};

/// Split-file lookup without the caller's question: the candidate paths for
/// volume @p n (1-based; 0 the last volume) of the archive at @p archive_path,
/// in the order they are tried.
std::vector<std::string> split_part_candidates(const std::string& archive_path, uint32_t n);

/// Reads one item's stored bytes starting at @p offset of the open volume,
/// going on into the following volumes when a volume ends before the data.
class VolumeDataSource final : public ByteSource {
 public:
  VolumeDataSource(VolumeInput& in, uint64_t offset, uint64_t nbytes)
      : m_in(in), m_offset(offset), m_left(nbytes) {}

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override;
  int error() const override { return m_error; }

 private:
  VolumeInput& m_in;
  uint64_t m_offset;
  uint64_t m_left;
  int m_error = 0;
};

}  // namespace ostrana
