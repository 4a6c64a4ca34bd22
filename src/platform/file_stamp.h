/* platform/file_stamp.h - what tells one state of a file from another.
 *
 * The engine keeps an archive's loaded directory between calls and must notice
 * when the file behind the same path has changed or been replaced.  A stamp is
 * the file's modification time (nanoseconds), size, device and inode: a file
 * rewritten in place changes its time or size, a file renamed over the path
 * changes its inode, and two paths that differ only in case (distinct files on
 * this platform) never share one.
 */
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class File;

struct FileStamp {
  int64_t mtime_ns = 0;
  uint64_t size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;

  bool operator==(const FileStamp&) const = default;
};

/// Stamp of an open file.  @return 0 or errno.
int file_stamp(const File& file, FileStamp* ret);
/// Stamp of the file at @p path (symbolic links followed).  @return 0 or errno.
int file_stamp(const std::string& path, FileStamp* ret);

}  // namespace platform
