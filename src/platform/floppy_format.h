/* platform/floppy_format.h - formatting a diskette or a diskette image as empty FAT12.
 *
 * A diskette drive is a floppy block device (/dev/fd0, ...) or a diskette
 * image file; what it can hold is read from its size, which must be one of
 * the five diskette sizes below (anything else is no diskette: ENOTSUP).  A
 * drive offers its own size and the lower density of the same drive (1.2 MB
 * and 360 KB; 1.44 MB and 720 KB; 2.88 MB and 1.44 MB); the format takes the
 * largest, or the lower one when asked.
 *
 * Formatting writes every track (zeros), reporting each track and letting the
 * caller cancel between tracks, then writes sector 0 - a boot sector whose
 * program only halts, with the medium's BIOS parameter block and the extended
 * fields (drive 0, signature 0x29, a serial number from the clock, label
 * "OSTRANA_200", file system "FAT12   ") - both FATs (media byte, 0xFF, 0xFF)
 * and an empty root folder that holds only the label entry, so that every
 * FAT reader shows the label.  Low-level track formatting (sector marks) is
 * left to the drive: Linux floppy devices arrive formatted at that level.
 */
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// One diskette format: its BIOS parameter block.
struct FloppyMedia {
  const char* name;  ///< "1.44 MB"
  uint16_t bytes_per_sector;
  uint8_t sectors_per_cluster;
  uint16_t reserved_sectors;
  uint8_t fats;
  uint16_t root_entries;
  uint16_t total_sectors;
  uint8_t media_byte;
  uint16_t sectors_per_fat;
  uint16_t sectors_per_track;
  uint16_t heads;

  uint64_t nbytes() const { return static_cast<uint64_t>(total_sectors) * bytes_per_sector; }
  uint16_t cylinders() const { return static_cast<uint16_t>(total_sectors / (sectors_per_track * heads)); }
  /// Bytes free for files on the empty diskette.
  uint64_t data_nbytes() const;
};

/// 360 KB, 720 KB, 1.2 MB, 1.44 MB, 2.88 MB.
inline constexpr int kFloppyMediaCount = 5;
const FloppyMedia& floppy_media(int index);

/// The format a drive of @p drive_nbytes uses, or nullptr for a size that is
/// no diskette.
const FloppyMedia* floppy_media_for(uint64_t drive_nbytes, bool lower_density);

/// Told of the progress of a format.
class FormatObserver {
 public:
  virtual ~FormatObserver() = default;
  /// Track (@p cylinder, @p head) is about to be formatted.  @return non-zero to cancel.
  virtual int track(int cylinder, int head, int last_cylinder) = 0;
  /// The tracks are done; the boot sector, FATs and root folder follow.
  virtual void initializing() {}
};

/// The boot sector of @p media with volume serial @p serial (512 bytes).
void floppy_boot_sector(const FloppyMedia& media, uint32_t serial, uint8_t* sector_ret);

/// Formats the diskette device or image @p target.  @p observer may be null.
/// @return 0; ENOTSUP when @p target is no diskette; ECANCELED; or errno.
int format_floppy(const std::string& target, bool lower_density, FormatObserver* observer,
                  const FloppyMedia** media_ret = nullptr);

}  // namespace platform
