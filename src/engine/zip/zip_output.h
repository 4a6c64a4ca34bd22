/* engine/zip/zip_output.h - the archive a zip run writes, between the entry's stages.
 *
 * The entry prepares the output (step 11), runs the operation (step 15) and
 * finishes the output (step 16) in three calls (zip_operation.h); this is
 * what they share.  The temporary archive is made when the output is
 * prepared, so a folder or file that cannot be created fails the run before
 * the old archive is even read; appending in place needs none.  At the finish
 * the temporary file is closed and removed - unless replacing the archive
 * failed, in which case it holds the complete new archive and stays.
 */
#pragma once

#include <string>

#include "platform/file.h"

namespace ostrana {

struct ZipOutputState {
  std::string archive_path;  ///< the archive, ".zip" added to a name without a dot
  std::string temp_path;     ///< the temporary archive ("" when none was made)
  platform::File temp;       ///< open while the run writes it
  bool keep_temp = false;    ///< replacing failed: the new archive is left in temp_path
};

/// The archive's path as the run uses it: ".zip" appended when the last
/// component of @p path has no dot.
std::string archive_path_with_suffix(const std::string& path);

/// The folder of the temporary archive: lpszTempPath when pathForTempFlag is
/// set and the archive is not appended to, otherwise the archive's own.
std::string temp_folder_for(const std::string& archive_path, bool use_temp_path, const std::string& temp_path);

}  // namespace ostrana
