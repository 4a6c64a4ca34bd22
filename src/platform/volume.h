/* platform/volume.h - what the engine asks about the volume that holds a path.
 *
 * Multi-volume archives are read and written differently on removable media
 * (one disk per volume, the user swaps disks when asked) and on fixed media
 * (numbered split files side by side).  The engine asks this service which
 * kind of drive holds a path, whether two paths share a volume (an archive
 * must not be extracted onto the disk it is read from while disks are being
 * swapped), a volume's label (spanned disks are labelled "PKBACK# 001", ...)
 * and its free space.
 *
 * VolumeService is abstract so it can be faked for tests: no test machine has
 * a diskette drive.  The real one (volume-linux.cpp) reads the mount table
 * (/proc/self/mountinfo) and sysfs: a drive is removable when
 * /sys/block/DISK/removable says 1, a CD-ROM when its disk is an "sr" device.
 * Labels are read from /dev/disk/by-label; a volume without one there, or a
 * file system that keeps none, answers ENOTSUP ("no label support"), and the
 * engine then skips its label check.  Labels are written only on FAT volumes
 * and only through `fatlabel` (dosfstools) when it is installed.
 *
 * Multi-volume output asks more of it: the folder where the volume's tree
 * starts (wiping and the write test work there), the longest file name the
 * volume allows (split part names depend on it) and, for diskettes, a format
 * of the medium (floppy_format.h).  The real service formats only floppy
 * devices (/dev/fd*); everything else answers ENOTSUP, which the engine
 * reports as an invalid multi-volume request.
 *
 * Paths that do not exist yet (a destination about to be created) are judged
 * by their nearest existing parent folder.
 */
#pragma once

#include <cstdint>
#include <string>

#include "platform/floppy_format.h"

namespace platform {

enum class DriveKind {
  kFixed,      ///< a hard disk, a network share, anything not below
  kRemovable,  ///< a diskette, a USB stick, a memory card
  kCdRom,      ///< an optical drive
};

/// Abstract so it can be faked for tests.  The real implementation is
/// LinuxVolumeService (volume-linux.cpp); install another with
/// set_volume_service().
class VolumeService {
 public:
  virtual ~VolumeService() = default;

  /// The kind of drive that holds @p path.
  virtual DriveKind drive_kind(const std::string& path) = 0;

  /// True when @p a and @p b lie on the same volume (same mounted file system).
  virtual bool same_volume(const std::string& a, const std::string& b) = 0;

  /// The label of the volume that holds @p path.
  /// @return 0, ENOTSUP when the volume keeps no label this service can read,
  ///         or another errno.
  virtual int volume_label(const std::string& path, std::string* label_ret) = 0;

  /// Gives the volume that holds @p path the label @p label.
  /// @return 0, ENOTSUP when this volume's labels cannot be written, or errno.
  virtual int set_volume_label(const std::string& path, const std::string& label) = 0;

  /// Bytes an unprivileged writer may still put on the volume of @p path.
  /// @return 0 or errno.
  virtual int free_space(const std::string& path, uint64_t* nbytes_ret) = 0;

  /// The folder where the tree of the volume that holds @p path starts (its
  /// mount point): what "the root of the disk" means for wiping.
  virtual std::string volume_root(const std::string& path) = 0;

  /// The longest name of one path component the volume of @p path allows.
  /// @return 0 or errno.
  virtual int max_name_length(const std::string& path, uint32_t* nbytes_ret) = 0;

  /// Formats the medium that holds @p path as an empty FAT12 diskette (the
  /// lower-density format of the drive with @p lower_density).
  /// @return 0; ENOTSUP when it is no diskette; ECANCELED when @p observer
  ///         cancelled; or errno.
  virtual int format_medium(const std::string& path, bool lower_density, FormatObserver* observer) = 0;
};

/// The service in use: the installed one, else the real one.
VolumeService& volume_service();

/// Installs @p service for the whole process (not owned; it must outlive its
/// use); nullptr restores the real one.  Tests install a fake.
void set_volume_service(VolumeService* service);

/// The nearest existing folder or file at or above @p path ("/" at the worst,
/// "." for a relative path with no existing part).
std::string nearest_existing(const std::string& path);

}  // namespace platform
