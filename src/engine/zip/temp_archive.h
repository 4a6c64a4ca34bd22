/* engine/zip/temp_archive.h - the temporary archive and how it replaces the old one.
 *
 * A new archive is built in a temporary file, "@@XXXXXX": the first two
 * characters come from the thread id (its remainder and quotient by 37 in
 * "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_"), the last five are its last five
 * decimal digits, and the third is the first letter a..z that gives a name
 * not yet present.  The file is created exclusively, so two runs can never
 * share it, and its writer holds a lock on it for as long as it is open.
 *
 * Where the file system allows, the temporary archive has no name at all
 * while it is written (O_TMPFILE): a run that is killed leaves nothing
 * behind.  It gets its "@@" name only just before it is renamed over the
 * archive.  Elsewhere it is named from the start; a run killed then leaves
 * it, and the next run on an archive in that folder removes every "@@" file
 * that no live writer holds locked.
 *
 * Replacing: the complete, flushed temporary file takes the archive's
 * permissions and is renamed over the archive; the folder is flushed too.  A
 * rename is atomic, so at every moment the archive path holds either the
 * whole old archive or the whole new one.  When the two lie on different file
 * systems (EXDEV), the new archive is first copied to a second temporary file
 * beside the archive, flushed, and that one renamed over the archive; the
 * temporary file is removed only once the copy is in place.  (The older way,
 * deleting the old archive and then moving the new one in, left a moment with
 * no archive at all and is not used.)
 */
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"

namespace ostrana {

/// The temporary name for @p thread_id with letter @p letter ('a'..'z').
std::string temp_archive_name(uint64_t thread_id, char letter);

/// Creates the temporary file in @p folder ("" the current folder), creating
/// missing folders.  @return 0; OZ_CREATE_FAILED when a folder cannot be
/// made; OZ_TEMP_FAILED when the file cannot be created; OZ_OUT_OF_MEMORY when
/// all 26 names exist (detail "allocating temp filename").
/// With @p unnamed_ok the file may be made without a name (then *@p path_ret
/// is "" until name_temp_archive()).
int create_temp_archive(const std::string& folder, platform::File* file_ret, std::string* path_ret,
                        bool unnamed_ok = false);

/// Gives the unnamed temporary @p file in @p folder its "@@" name.  @return 0 or OZ_TEMP_FAILED.
int name_temp_archive(const std::string& folder, platform::File* file, std::string* path_ret);

/// True when @p name has the form of a temporary archive name.
bool is_temp_archive_name(const std::string& name);

/// Removes the temporary archives in @p folder that no live run holds
/// (leftovers of runs that were killed).  @return how many were removed.
int remove_leftover_temp_archives(const std::string& folder);

/// Puts the complete temporary file @p temp_path (closed) at @p archive_path,
/// with permissions @p mode (negative: leave as created).  @return 0, or 10
/// (the temporary file cannot be read for the copy), 15 (the archive cannot
/// be created or replaced), 11 (read failure while copying), 14 (write
/// failure while copying).  On failure the temporary file is still there,
/// complete, and the archive path is as it was.
int replace_archive(const std::string& temp_path, const std::string& archive_path, int mode);

}  // namespace ostrana
