/* engine/zip/zip_operation.h - the stages the zip entry hands the work to.
 *
 * The entry (zip_entry.cpp) takes the caller's record, checks and decodes it
 * into the ZipRun and then calls these four functions in this order.  They
 * are the seams where the archive writer and the multi-volume output plug in:
 * each receives the checked run, reports its own failures through
 * zip_report() (first report wins) and returns the run's code.
 *
 *   zip_check_multivolume  only when wMultiVolControl bit 15 is set:
 *                          the multi-volume and media checks (code 20).
 *   zip_prepare_output     the temporary archive or the first split
 *                          part, creating missing folders (15, 10).
 *   zip_run_operation      memory-to-memory or the archive operation
 *                          (freshen, delete, update, add), item selection
 *                          included.
 *   zip_finish_output      always after zip_prepare_output succeeded:
 *                          close and delete the temporary file unless output
 *                          was split; after a failed split run delete every
 *                          part, the temporary file and the archive.
 *
 * zip_operation.cpp provides them; multi-volume runs go on into
 * multi_volume_setup.h.
 */
#pragma once

#include "engine/zip/zip_state.h"

namespace ostrana {

int zip_check_multivolume(ZipRun& run);
int zip_prepare_output(ZipRun& run);
int zip_run_operation(ZipRun& run);
void zip_finish_output(ZipRun& run, int result);

}  // namespace ostrana
