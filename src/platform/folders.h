/* platform/folders.h - removing emptied folders, and the folder part of a path.
 *
 * After moving files into an archive the engine removes the folders that
 * became empty.  Removal never deletes anything that is still in a folder:
 * rmdir refuses a folder that is not empty.  (Creating folders is
 * make_folder_path, platform/output_tree.h.)
 */
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// Removes the folder @p path when it is empty.  @return 0 or errno (ENOTEMPTY).
int remove_folder(const std::string& path);

/// The folder part of @p path without its trailing "/": "a/b/c" gives "a/b",
/// "/c" gives "/", "c" gives "" (the current folder).
std::string parent_folder(std::string_view path);

}  // namespace platform
