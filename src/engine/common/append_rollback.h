/* engine/common/append_rollback.h - undoing an in-place append that did not finish.
 *
 * Appending to an archive in place (the zip side's grow option) overwrites
 * the old central directory with new entries.  Before the first byte of it is
 * overwritten, the writer saves what it takes to undo that - the old length,
 * where the overwriting starts, and the old bytes from there to the end - in
 * a rollback file beside the archive, and flushes it.  Once the new end record
 * is flushed the rollback file is removed.  A run killed in between leaves
 * the rollback file, and whichever run next opens the archive (to update,
 * list, test or extract it) first puts the old bytes back, truncates the
 * archive to its old length and removes the rollback file: the archive is
 * then exactly the old one.  A rollback file that is incomplete (the run was
 * killed while writing it) was never acted on - the archive is untouched -
 * and is simply removed.
 *
 * The rollback file is read as hostile input: every length is checked
 * against the file's own size before anything is allocated, and a record
 * whose check value, archive identity or lengths do not fit is not applied.
 *
 * Layout (little-endian): "OSTRANA-ROLLBACK" (16 bytes), format 1 (4),
 * device (8), inode (8), old length (8), start of the saved bytes (8), their
 * count (8), the saved bytes, CRC-32 of everything before it (4).
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace ostrana {

/// The rollback file of @p archive_path: the archive's name + ".ostrana-rollback".
std::string rollback_path(const std::string& archive_path);

/// Saves the rollback record of @p archive (open, at @p archive_path) before it
/// is overwritten from @p from on; @p old_bytes are its bytes from there to its
/// old end.  The file and its folder are flushed.  @return 0 or errno.
int save_rollback(const std::string& archive_path, const platform::File& archive, uint64_t from,
                  const std::vector<uint8_t>& old_bytes);

/// Removes the rollback file once the new end record is flushed.  @return 0 or errno.
int discard_rollback(const std::string& archive_path);

enum class RollbackOutcome {
  kNone,        ///< no rollback file: nothing to do
  kRestored,    ///< the archive was put back as it was before the append
  kDiscarded,   ///< the rollback file was incomplete or not this archive's: removed, archive untouched
  kFailed       ///< the archive could not be put back; *detail_ret says why (it and the rollback file stay)
};

/// Applies a rollback file left beside @p archive_path, if any.  The caller
/// holds the archive's update lock.
RollbackOutcome restore_from_rollback(const std::string& archive_path, std::string* detail_ret);

}  // namespace ostrana
