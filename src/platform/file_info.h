/* platform/file_info.h - what the engine knows of a file: DOS attributes, DOS date-time, size.
 *
 * The archive format describes a file the way MS-DOS did: six attribute bits
 * and a 32-bit date-time in local time with 2-second resolution.  On Linux the
 * attributes are derived, not stored: read-only means the owner has no write
 * permission, hidden means the name begins with ".", every regular file carries
 * the archive bit, a directory is a folder; system and volume label never occur.
 * A folder reports size 0 (its st_size is a file-system detail, not content).
 *
 * file_info() follows symbolic links: a link to a file is the file it points
 * to; link_info() describes the link itself.  The folder walk
 * (platform/folder_search.h) decides separately which links it follows.  Device and inode identify a file for "is this the archive
 * being written?" questions, whatever path spelling reached it.
 *
 * The DOS date-time helpers convert through localtime_r/mktime: the DOS format
 * has no time zone, and the system's convention is local time.  Times before
 * 1980 clamp to 1 January 1980 00:00:00, times after 2107 to the last
 * representable second.
 */
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

struct stat;

namespace platform {

// DOS attribute bits as the archive's external attributes carry them.
constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosHidden = 0x02;
constexpr uint32_t kDosSystem = 0x04;
constexpr uint32_t kDosVolumeLabel = 0x08;
constexpr uint32_t kDosFolder = 0x10;
constexpr uint32_t kDosArchive = 0x20;
/// The bits a stored entry keeps: read-only, hidden, system, folder, archive.
constexpr uint32_t kDosStoredMask = 0x37;

/// The smallest DOS date-time: 1 January 1980, 00:00:00.
constexpr uint32_t kDosDateTimeMin = (1u << 5 | 1u) << 16;

/// What a path names.  Only regular files and folders are archive material.
enum class FileKind : uint8_t { kRegular, kFolder, kFifo, kSocket, kDevice };

/// "FIFO", "socket", "device" for the special kinds; "file" or "folder" otherwise.
const char* file_kind_text(FileKind kind);

struct FileInfo {
  uint32_t dos_attributes = 0;  ///< kDos* bits
  uint32_t dos_datetime = 0;    ///< last write, local time; date in the high 16 bits
  uint64_t size = 0;            ///< bytes; 0 for folders
  int64_t mtime = 0;            ///< last write, seconds since the epoch
  uint64_t device = 0;          ///< with inode: the file's identity
  uint64_t inode = 0;
  /// Nanosecond stamps of the last write and the last change of the inode: two
  /// states of a file rewritten within one second differ here.
  int64_t mtime_nsec = 0;
  int64_t change_nsec = 0;
  uint32_t mode = 0;            ///< st_mode: file type and permission bits

  FileKind kind = FileKind::kRegular;

  bool is_folder() const { return (dos_attributes & kDosFolder) != 0; }
  /// True for facts taken of a symbolic link itself (link_info, a search that stores links).
  bool is_link() const { return (mode & 0170000) == 0120000; }
  /// A FIFO, socket or device: nothing to store or to read an archive from.
  bool is_special() const { return kind != FileKind::kRegular && kind != FileKind::kFolder; }
  bool same_file(const FileInfo& other) const { return device == other.device && inode == other.inode; }
  /// The same file, unchanged since @p other was taken (the inode may have
  /// been reused by a new file, so the change stamp is compared too).
  bool same_state(const FileInfo& other) const {
    return same_file(other) && mtime == other.mtime && mtime_nsec == other.mtime_nsec &&
           change_nsec == other.change_nsec && size == other.size;
  }
};

/// Describes @p path, following symbolic links.  The hidden bit comes from the
/// last component of @p path.  @return 0, or errno (ENOENT for a missing file or
/// a dangling link).
int file_info(const std::string& path, FileInfo* info_ret);

class File;

/// Describes the file open in @p file (whatever became of the path it was
/// opened by).  @return 0, or errno (EBADF when it is not open).
int file_info_of(const File& file, FileInfo* info_ret);

/// True when @p path exists (links followed) and is not a folder.
bool is_file_path(const std::string& path);

/// Describes @p path itself: a symbolic link is described as a link (its size
/// the length of its target), anything else as file_info() does.
/// @return 0, or errno.
int link_info(const std::string& path, FileInfo* info_ret);

/// The target of the symbolic link @p path, as stored in the link.
/// @return 0, or errno (EINVAL: not a link; ENAMETOOLONG: beyond 4,095 bytes).
int read_link(const std::string& path, std::string* target_ret);

/// Fills @p info_ret from a stat record of a file whose last component is @p name.
void file_info_from_stat(std::string_view name, const struct stat& st, FileInfo* info_ret);

/// The DOS date-time of @p path's last write in local time, its attributes
/// (masked with kDosStoredMask) and size; 0 when the file does not exist or cannot
/// be examined (then the outputs are 0 too).  Either output may be null.
uint32_t file_dos_datetime(const std::string& path, uint32_t* attributes_ret, uint64_t* size_ret);

/// DOS attributes of a file named @p name (last component) with POSIX mode @p mode.
uint32_t dos_attributes_from_mode(std::string_view name, unsigned mode);

/// True when @p name (one component) is hidden: it begins with "." and is not "." or "..".
bool is_hidden_name(std::string_view name);

/// Packs @p t as a DOS date-time in local time (clamped to 1980..2107).
uint32_t dos_datetime_from_time(time_t t);
/// Packs a broken-down calendar time (tm_year from 1900, tm_mon 0-based), clamped.
uint32_t dos_datetime_from_tm(const struct tm& tm);
/// The local time a DOS date-time stands for (mktime; the DST flag left to the system).
time_t time_from_dos_datetime(uint32_t dos_datetime);

}  // namespace platform
