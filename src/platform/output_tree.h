/* platform/output_tree.h - creating folders and files below a destination, safely.
 *
 * An extraction writes what an archive names, and an archive is untrusted:
 * its names are checked by the engine (no "..", no absolute paths), but a
 * folder of the destination may also be a symbolic link - one that was there
 * before, or one that another program put there while the extraction ran -
 * pointing anywhere.  An OutputTree therefore opens the destination once and
 * reaches everything below it component by component with openat() and
 * O_NOFOLLOW: a link met on the way is refused (ELOOP), never followed, so
 * nothing is ever created or written outside the destination.  Links in the
 * destination's own path are followed: that path is the user's choice.
 *
 * Files are never written in place.  A new file is created beside its final
 * name under a temporary name (exclusive create, no link followed) and renamed
 * over the final name once it is complete, so an existing file survives a
 * failed extraction, a link standing at the final name is replaced rather than
 * written through, and a hard link elsewhere never sees the new bytes.
 *
 * Relative paths use "/" and hold no "", "." or ".." components (the engine's
 * output-path rules guarantee that); "" is the root itself.  The last folder
 * reached stays open, so items of one folder cost one openat() each.
 */
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/file.h"

namespace platform {

/// What lies at a path, without following a link there.
struct PathFacts {
  enum class Kind { kMissing, kFile, kFolder, kLink, kOther };
  Kind kind = Kind::kMissing;
  bool read_only = false;  ///< a file without owner write permission
  uint64_t device = 0;     ///< with inode: the file's identity
  uint64_t inode = 0;
};

class OutputTree {
 public:
  OutputTree() = default;
  ~OutputTree();
  OutputTree(const OutputTree&) = delete;
  OutputTree& operator=(const OutputTree&) = delete;

  /// Opens the folder @p root, creating it (and its parents) when missing.
  /// @return 0 or errno.
  int open(const std::string& root);
  void close();
  bool is_open() const { return m_root >= 0; }
  const std::string& root() const { return m_root_path; }

  /// Creates the missing folders of @p folder, from the top down.
  /// @return 0, ELOOP when a component is a symbolic link, ENOTDIR when it
  ///         is not a folder, or another errno.
  int make_folders(const std::string& folder);

  /// What lies at @p relative (kMissing also when a folder above is missing).
  /// @return 0, or errno when a folder above is a link or cannot be read.
  int examine(const std::string& relative, PathFacts* ret);

  /// Gives the file @p relative its owner write permission back.  @return 0 or errno.
  int make_writable(const std::string& relative);
  /// Removes the file or link @p relative.  @return 0 or errno.
  int remove(const std::string& relative);

  /// Creates an empty file in the folder of @p relative (which must exist)
  /// under a temporary name, open for writing; @p temp_ret gets its relative
  /// path for commit() or remove().  @return 0 or errno.
  int create_temp(const std::string& relative, File* file_ret, std::string* temp_ret);
  /// Renames @p temp over @p relative; whatever stood there (a file, a link)
  /// is replaced.  @return 0 or errno (EISDIR when a folder stands there).
  int commit(const std::string& temp, const std::string& relative);

  /// Sets the access and modification times of @p relative (a link there is
  /// not followed).  @return 0 or errno.
  int set_times(const std::string& relative, time_t t);

  /// Gives the folder @p relative the permission bits of @p mode, masked as
  /// apply_mode() says (a link there is refused, ELOOP).  @return 0 or errno.
  int set_folder_mode(const std::string& relative, uint32_t mode);

  /// Makes @p relative a symbolic link to @p target: the link is made under a
  /// temporary name in the same folder and renamed over whatever file or link
  /// stood there.  @return 0 or errno (EISDIR when a folder stands there).
  int make_link(const std::string& relative, const std::string& target);

 private:
  /// Splits @p relative and opens its folder (which must exist).  @return 0 or errno.
  int parent_of(const std::string& relative, std::string* folder_ret, std::string* name_ret, int* dir_ret);
  /// A hidden name of our own for a file being made beside its final name.
  std::string next_temp_name(const char* suffix);
  /// The open folder @p folder (relative); created when missing and @p create.
  int folder_fd(const std::string& folder, bool create, int* fd_ret);

  int m_root = -1;
  std::string m_root_path;
  std::string m_cached_folder;  ///< relative path of m_cached_fd
  int m_cached_fd = -1;
  unsigned m_temp_counter = 0;
};

/// Sets the access and modification times of the open @p file to @p t.
/// @return 0 or errno.
int set_file_times(File& file, time_t t);

/// Gives the open @p file the permissions its item asks for.  With a Unix
/// @p mode (non-zero), its permission bits masked as apply_mode() says;
/// otherwise the DOS attribute: @p read_only takes every write permission
/// away.  @return 0 or errno.
int set_file_permissions(File& file, bool read_only, uint32_t mode);

/// The permission bits an extracted file or folder gets from a stored Unix
/// @p mode: never set-user-id, set-group-id or sticky, and masked by the
/// process's umask, as other archivers do.
uint32_t apply_mode(uint32_t mode);

/// The process's file mode creation mask (read without changing it).
uint32_t process_umask();

/// Creates @p path and its missing parents (links followed), new folders with
/// @p mode.  @return 0, ENOTDIR when something else stands there, or errno.
int make_folder_path(const std::string& path, unsigned mode = 0777);

}  // namespace platform
