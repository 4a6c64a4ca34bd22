/* platform/folders.h - creating and removing folders, and the folder part of a path.
 *
 * The engine creates the missing folders of an output path (the archive, its
 * temporary file, the engine's log folder) and, after moving files into an
 * archive, removes the folders that became empty.  Removal never deletes
 * anything that is still in a folder: rmdir refuses a folder that is not empty.
 */
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Creates @p path and every missing folder above it (mkdir -p), each with
/// @p mode (less the umask).  @return 0 when @p path is a folder afterwards,
/// else errno (ENOTDIR when something else is in the way).
int make_folders(const std::string& path, unsigned mode = 0777);

/// Removes the folder @p path when it is empty.  @return 0 or errno (ENOTEMPTY).
int remove_folder(const std::string& path);

/// The folder part of @p path without its trailing "/": "a/b/c" gives "a/b",
/// "/c" gives "/", "c" gives "" (the current folder).
std::string parent_folder(std::string_view path);

}  // namespace platform
