/* platform/disk_preparation.h - wiping a removable disk, and the write test before using one.
 *
 * Spanned output may wipe each new disk before use: the files of its root
 * folder, or with `whole_tree` every file and then every folder, deepest
 * first.  Read-only and hidden files are left alone unless `include_protected`
 * is set; then their write permission is restored first.  Symbolic links are
 * removed as links, never followed, so a wipe cannot leave the disk.  Each
 * deletion is announced to a callback that may cancel.
 *
 * The write test creates a scratch file "~mvXXXXXX" (a unique name) in the
 * disk's root, closes it and deletes it: a write-protected or missing disk
 * fails it.
 */
#pragma once

#include <functional>
#include <string>

namespace platform {

/// Called before each deletion with the path; a non-zero answer stops the
/// wipe and is returned by wipe_disk().
using WipeObserver = std::function<int(const std::string& path)>;

/// Wipes the disk whose tree starts at @p root.  @return 0, the observer's
/// answer, or the errno of the first deletion that failed.
int wipe_disk(const std::string& root, bool whole_tree, bool include_protected, const WipeObserver& observer);

/// Creates, closes and deletes a scratch file in @p root.  @return 0 or errno.
int write_test(const std::string& root);

}  // namespace platform
