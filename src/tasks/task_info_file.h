/* tasks/task_info_file.h - the task info file: its name and the plain form.
 *
 * Plain form: each line of tasks/task_info_lines.h is one record, a signed
 * 32-bit little-endian length N and the N bytes of the line (no zero byte, no
 * line break), records back to back up to the end of the file.
 *
 * The writer builds the whole file beside its final name and renames it into
 * place, so a failed write (a full disk) never leaves a half-written task file
 * for a scheduled run to act on; it reports such a failure as 0.  The reader
 * stops quietly at a length of 16,384 or more (read unsigned, so negative
 * lengths stop it too) or at a record cut short, keeping what it read.
 *
 * File name: the originating folder, a "/" unless the folder is empty or already
 * ends in "/" or "\", the task name, and ".task_info.txt".  The folder,
 * separator and name are joined in the program's 260-character path buffer;
 * a join that would need more than 259 characters is refused (not cut: a cut
 * name would point the scheduled task at another file).
 */
#pragma once

#include <string>

namespace core {
struct OperationRecord;
}

namespace tasks {

inline constexpr char kTaskFileSuffix[] = ".task_info.txt";
/// Characters the folder-separator-name join may use (a 260-byte buffer with its zero byte).
inline constexpr size_t kTaskPathJoinMax = 259;

/// Builds the task info file name into @p path_ret.
/// @return false (and @p path_ret untouched) when the join would exceed kTaskPathJoinMax.
bool task_info_file_path(const std::string& originating_folder, const std::string& task_name,
                         std::string* path_ret);

/// Writes @p record in the plain form to record->task_file_path.
/// @return 1 when the file was written, 0 when no record was given or the file
/// could not be written completely (then no file is left at the path, an older
/// file there stays as it was).
int write_task_info_file(const core::OperationRecord* record);

/// Reads the plain form at @p path into @p record and stores @p path as the
/// record's command-line task path.  @return 1 when the first record carried
/// the marker, 0 otherwise (missing, unreadable or empty file, wrong marker).
int read_task_info_file(const std::string& path, core::OperationRecord* record);

/// Writes @p bytes to @p path through a temporary file beside it and a rename.
/// @return true when the complete file is in place.
bool write_file_replacing(const std::string& path, const std::string& bytes);

}  // namespace tasks
