/* engine/zip/multi_volume_setup.h - a multi-volume run from its checks to its cleanup.
 *
 * The zip entry's stages (zip_operation.h) hand multi-volume runs over here:
 *
 *   check              the drive must be removable unless option bit 7 (or
 *                      bit 14) says otherwise (display type 5); only ZIP_ADD
 *                      without fixing or appending; split output refuses the
 *                      disk bits; spanning refuses items on the target drive
 *                      (display type 6); the directory-first layout (bit
 *                      12) does not go with LargeZIPFilesFlag.  Every
 *                      refusal is 20.
 *   prepare            split: part 1 is named and created (15, 10); spanning:
 *                      the staging file, when a temporary folder on a fixed
 *                      drive with more than 2,097,151 bytes free was given.
 *   write              the piece store for the archive writer; after the
 *                      central directory, the last split part is moved to the
 *                      archive's name (atomically replacing an old archive)
 *                      and announced with display type 14.
 *   cleanup            a failed run deletes the parts it made (and, once it
 *                      started writing, every part 2..999 by name) and the
 *                      file it created on the disk in the drive.  An old
 *                      archive under the archive's own name is left as it was:
 *                      only a complete new set replaces it.
 */
#pragma once

#include <cstdint>
#include <memory>

#include "engine/zip/multi_volume_output.h"
#include "engine/zip/zip_state.h"

namespace ostrana {

/// Checks the multi-volume control bits and the size list against the run.
/// @return 0 or the reported code (20, or 16 for an unreadable size list).
int check_multi_volume(ZipRun& run);

/// Prepares the output of a multi-volume run (parts or the first disk).  @return 0 or the reported code.
int prepare_multi_volume_output(ZipRun& run);

/// The store the writer's MultiVolumeOutput writes into; deletes stale split
/// parts first.
std::unique_ptr<PieceStore> start_multi_volume_pieces(ZipRun& run);

/// After the last piece was closed: puts a split set's last part in place.
/// @return 0 or the reported code.
int complete_multi_volume(ZipRun& run, uint32_t pieces);

/// Cleans up after a multi-volume run (staging, stale parts) once its result is known.
void clean_up_multi_volume(ZipRun& run, int result);

}  // namespace ostrana
