/* engine/common/archive_input.h - where the archive reader takes its bytes from.
 *
 * The directory reader and the local-header reader never touch a file
 * directly: they read through an ArchiveInput, which offers positioned reads in
 * the volume now open, that volume's length and number, and one hook through
 * which the reader asks for another volume.  The default inputs are one
 * platform::File (single-volume archives) and a block of memory (tests, the fuzz
 * target, callers that hold an archive in memory).  The multi-volume reader
 * plugs in as another implementation: it answers select_volume() by prompting
 * for a disk or finding a split part, and tells the end-record search to read its
 * window in one buffer so that a non-last volume is recognised.
 *
 * Positions are 64-bit and relative to the start of the open volume.  A read
 * past the end of the volume is short, never an error; -1 is a failed read.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {
class File;
}

namespace ostrana {

/// select_volume() disk number that means "the last volume of the set".
constexpr uint32_t kLastVolume = 0xFFFFFFFF;

/// Why the reader asks for a volume (the multi-volume reader chooses its prompt by it).
enum class VolumeRequest {
  kLastVolume,      ///< the last volume (it holds the end records)
  kDirectoryStart,  ///< the volume where the central directory begins
  kDirectoryNext,   ///< the next volume while the central directory is read
  kItemData,        ///< the volume that holds an item's local header or data
};

class ArchiveInput {
 public:
  virtual ~ArchiveInput() = default;

  /// Length in bytes of the open volume, or -1 when it cannot be told.
  virtual int64_t length() = 0;

  /// Reads up to @p nbytes at @p offset of the open volume.
  /// @return bytes read (fewer at the end of the volume), or -1 on failure.
  virtual std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes) = 0;

  /// 0-based number of the open volume.  A single archive file is the last
  /// volume of its set: its number is learnt from the end record
  /// (note_last_volume) and is 0 for an ordinary archive.
  virtual uint32_t volume() const { return m_volume; }

  /// Told once the end record is read: the open volume is the last one, number
  /// @p disk.  The default remembers it as the open volume's number.
  virtual void note_last_volume(uint32_t disk) { m_volume = disk; }

  /// Makes volume @p disk the open one.  @return 0, or the unzip result code that
  /// ends the run (48 when the user cancelled a prompt, 29 when a volume cannot
  /// be opened).  A single-volume input holds only its own volume and answers
  /// any other with 26 ("Multi-disk archive, not supported").
  virtual int select_volume(uint32_t disk, VolumeRequest why);

  /// True when the end-record search reads its window in one buffer and
  /// recognises a header signature nearer the end than any end record as "not
  /// the last volume" (split sets, removable and CD-ROM media).
  virtual bool scans_for_last_volume() const { return false; }

 protected:
  uint32_t m_volume = 0;
};

/// An input over one open platform::File (not owned; it must outlive the input).
class FileArchiveInput final : public ArchiveInput {
 public:
  explicit FileArchiveInput(platform::File& file) : m_file(file) {}
  int64_t length() override;
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes) override;

 private:
  platform::File& m_file;
};

/// An input over bytes in memory (not owned).  One volume, or a set of volumes
/// given as several blocks (for tests of the multi-volume walk).
class MemoryArchiveInput final : public ArchiveInput {
 public:
  MemoryArchiveInput(const uint8_t* data, size_t nbytes);
  /// Several volumes; @p count blocks, the last one being the open volume.
  MemoryArchiveInput(const uint8_t* const* volumes, const size_t* nbytes, uint32_t count);

  int64_t length() override;
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes) override;
  void note_last_volume(uint32_t disk) override;
  int select_volume(uint32_t disk, VolumeRequest why) override;
  bool scans_for_last_volume() const override { return m_scan_for_last; }

  /// Opens block @p index of a set as if the user had inserted that disk.
  void set_open_volume(uint32_t index) {
    if (index < m_count) m_index = m_volume = index;
  }
  /// Lets a test choose the buffered end-record search.
  void set_scans_for_last_volume(bool on) { m_scan_for_last = on; }
  /// How many times select_volume() changed the open volume.
  unsigned volume_changes() const { return m_changes; }

 private:
  static constexpr uint32_t kMaxVolumes = 16;
  const uint8_t* m_data[kMaxVolumes] = {};
  size_t m_nbytes[kMaxVolumes] = {};
  uint32_t m_count = 1;
  uint32_t m_index = 0;  // which block is open
  bool m_scan_for_last = false;
  unsigned m_changes = 0;
};

}  // namespace ostrana
