/* platform/file.h - files and paths for the engine, over POSIX.
 *
 * A File owns one descriptor and offers exactly what archive work needs:
 * sequential and positioned reads, writes that either write everything or
 * fail, seeking, size, flushing to the disk, truncation.  Every call returns
 * 0 (or a byte count) on success and reports failures as an errno value, so
 * the engine can map each to its own result code.  Every operation passes
 * through the fault-injection check first (platform/fault_injection.h).
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class File {
 public:
  enum class Mode {
    kRead,            ///< existing file, read only
    kReadWrite,       ///< existing file, read and write
    kCreate,          ///< create or truncate, read and write
    kCreateExclusive  ///< create a new file; fails with EEXIST when it exists
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /// Opens @p path; @return 0 or errno.  @p perms applies to created files.
  /// Never waits: a FIFO or a socket is refused with ENXIO, a folder opened
  /// for reading with EISDIR.
  int open(const std::string& path, Mode mode, unsigned perms = 0644);
  /// Creates a file without a name in @p folder (O_TMPFILE): it vanishes with
  /// the process unless link_as() names it.  @return 0, or errno (EOPNOTSUPP
  /// and EISDIR where the file system cannot do it: use a named file then).
  int open_unnamed(const std::string& folder, unsigned perms = 0666);
  /// Gives the open unnamed file the name @p path (which must not exist).
  /// @return 0 or errno.
  int link_as(const std::string& path);
  /// True for a file made by open_unnamed() that has no name yet.
  bool unnamed() const { return m_fd >= 0 && m_unnamed; }

  /// Takes ownership of the open descriptor @p fd (the File's own is closed
  /// first); @p path is what path() reports.
  void adopt(int fd, const std::string& path);
  bool is_open() const { return m_fd >= 0; }
  int fd() const { return m_fd; }
  const std::string& path() const { return m_path; }

  /// Reads up to @p avail bytes at the current position.  @return bytes read
  /// (0 at the end), or -1 with last_error() set.  Retries interrupted calls.
  std::ptrdiff_t read(void* buf, size_t avail);
  /// Reads until @p nbytes are in or the file ends.  @return bytes read, or -1.
  std::ptrdiff_t read_full(void* buf, size_t nbytes);
  /// Positioned read that does not move the file position.  @return bytes read, or -1.
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes);
  /// Writes all @p nbytes.  @return 0 or errno (ENOSPC for a full disk).
  int write(const void* data, size_t nbytes);
  /// Positioned write of all @p nbytes.  @return 0 or errno.
  int write_at(uint64_t offset, const void* data, size_t nbytes);

  int seek(uint64_t offset);           ///< @return 0 or errno
  int64_t tell() const;                ///< current position, or -1
  int64_t size() const;                ///< length of the file, or -1
  int sync();                          ///< fsync; @return 0 or errno
  int truncate(uint64_t length);       ///< @return 0 or errno
  int close();                         ///< @return 0 or errno; a closed File stays closed

  int last_error() const { return m_error; }

 private:
  int m_fd = -1;
  int m_error = 0;
  bool m_unnamed = false;
  std::string m_path;
};

/// Lets open_unnamed() work (the default) or makes it fail with EOPNOTSUPP,
/// as on a file system without O_TMPFILE; for tests of the named fallback.
void allow_unnamed_files(bool allowed);

/// Renames @p from over @p to (atomic on one file system).  @return 0 or errno (EXDEV across file systems).
int rename_path(const std::string& from, const std::string& to);
/// Removes a file.  @return 0 or errno.
int remove_file(const std::string& path);
/// Flushes a folder's entries to the disk (after a rename into it).  @return 0 or errno.
int sync_folder(const std::string& folder);

/// The path a symbolic link @p path finally names (links followed one by one,
/// so a link to a file not yet made names where it will be); @p path itself
/// when it is no link (or the links loop).
std::string followed_link(const std::string& path);

/// True when @p path names a folder entry of any kind, a dangling symbolic link included.
bool path_entry_exists(const std::string& path);

/// The first @p max_nbytes bytes of the file at @p path (all of a shorter
/// one); "" when it cannot be read.  For small text files the system keeps.
std::string read_file_start(const std::string& path, size_t max_nbytes);

/// The permission bits (07777) of @p path.  @return 0 or errno.
int file_mode(const std::string& path, unsigned* mode_ret);
/// Sets the permission bits of @p path (chmod).  @return 0 or errno.
int set_file_mode(const std::string& path, unsigned mode);
/// Sets the last-write time of @p path (seconds since the epoch); the access
/// time is left alone.  @return 0 or errno.
int set_file_mtime(const std::string& path, int64_t mtime);

}  // namespace platform
