/* tests/support/fake_volume.h - a volume service for tests, with folders standing in for disks.
 *
 * No test machine has a diskette drive.  A FakeVolumeService makes one: the
 * "drive" is a symbolic link that the test points at one folder or another
 * (the disk in the drive); every path below the link lies on the removable
 * drive, everything else on a fixed one.  Labels belong to the disk folders.
 * The fake installs itself for its lifetime and records the label reads.
 *
 * For writing, each disk has a capacity (1.44 MB unless set): its free space
 * is the capacity less the bytes of the files in its folder.  A disk may be
 * backed by a diskette image: formatting it formats the image (the real
 * format code) and empties the folder, whose capacity becomes the image's.
 * Paths off the drive have a terabyte free.
 */
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/volume.h"

namespace testenv {

class FakeVolumeService final : public platform::VolumeService {
 public:
  /// @p drive: the path of the link that stands for the drive (made by insert()).
  explicit FakeVolumeService(std::string drive);
  ~FakeVolumeService() override;
  FakeVolumeService(const FakeVolumeService&) = delete;
  FakeVolumeService& operator=(const FakeVolumeService&) = delete;

  /// Puts the disk @p folder into the drive (repoints the link).
  void insert(const std::string& folder);
  /// The folder now in the drive.
  const std::string& inserted() const { return m_inserted; }

  platform::DriveKind kind = platform::DriveKind::kRemovable;
  std::map<std::string, std::string> labels;  ///< disk folder -> label; none: no label support
  int label_reads = 0;
  std::map<std::string, uint64_t> capacity;   ///< disk folder -> bytes (default 1,457,664)
  std::map<std::string, std::string> images;  ///< disk folder -> diskette image formatted for it
  uint32_t name_length = 255;                 ///< the longest name component of every volume
  int formats = 0;                            ///< format_medium() calls that succeeded

  platform::DriveKind drive_kind(const std::string& path) override;
  bool same_volume(const std::string& a, const std::string& b) override;
  int volume_label(const std::string& path, std::string* label_ret) override;
  int set_volume_label(const std::string& path, const std::string& label) override;
  int free_space(const std::string& path, uint64_t* nbytes_ret) override;
  std::string volume_root(const std::string& path) override;
  int max_name_length(const std::string& path, uint32_t* nbytes_ret) override;
  int format_medium(const std::string& path, bool lower_density, platform::FormatObserver* observer) override;

 private:
  bool on_drive(const std::string& path) const;
  std::string m_drive;
  std::string m_inserted;
};

}  // namespace testenv
