/* engine/zip/zip_output.h - the archive a zip run writes, between the entry's stages.
 *
 * The entry prepares the output, runs the operation and
 * finishes the output in three calls (zip_operation.h); this is
 * what they share.  The temporary archive is made when the output is
 * prepared, so a folder or file that cannot be created fails the run before
 * the old archive is even read; appending in place needs none.  At the finish
 * the temporary file is closed and removed - unless replacing the archive
 * failed, in which case it holds the complete new archive and stays.
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/zip/split_names.h"
#include "platform/file.h"
#include "platform/file_lock.h"

namespace ostrana {

struct ZipOutputState {
  std::string archive_path;  ///< the archive, ".zip" added to a name without a dot
  platform::FileLock lock;   ///< the archive's update lock, held for the whole run
  std::string temp_folder;   ///< where the temporary archive is made
  std::string temp_path;     ///< the temporary archive ("" when none was made, or while it has no name)
  platform::File temp;       ///< open while the run writes it
  bool keep_temp = false;    ///< replacing failed: the new archive is left in temp_path

  // Multi-volume output (wMultiVolControl bit 15); the temporary file above
  // is then the staging file of spanning, when there is one.
  bool multi_volume = false;
  bool split = false;          ///< bit 14: numbered parts in one folder
  uint16_t control = 0;        ///< wMultiVolControl
  VolumeSizes sizes;           ///< split part sizes
  std::string first_part;      ///< split: the name of part 1 ("" before it is made)
  platform::File first_part_file;  ///< split: part 1, created when the output is prepared
  bool started = false;        ///< writing began: parts or a disk file of this run exist
  bool completed = false;      ///< the multi-volume archive is in place
};

/// The archive's path as the run uses it: ".zip" appended when the last
/// component of @p path has no dot.
std::string archive_path_with_suffix(const std::string& path);

/// The folder of the temporary archive: lpszTempPath when pathForTempFlag is
/// set and the archive is not appended to, otherwise the archive's own.
std::string temp_folder_for(const std::string& archive_path, bool use_temp_path, const std::string& temp_path);

}  // namespace ostrana
