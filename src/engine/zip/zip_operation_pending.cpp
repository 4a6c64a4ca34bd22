/* engine/zip/zip_operation_pending.cpp - the zip stages that are not written yet.
 *
 * Stand-ins for the seams of zip_operation.h, so that the entry, its checks
 * and its reports work end to end before the archive writer exists.  They
 * never pretend success for work they do not do: a run that reaches the
 * operation ends with code 5 ("Internal logic error") and says why.  The
 * archive writer and the multi-volume output replace this file.
 */
#include "engine/zip/zip_operation.h"
#include "engine/zip/zip_run.h"

namespace ostrana {

int zip_check_multivolume(ZipRun& run) {
  return zip_report(run, OZ_BAD_MULTIVOLUME, "multi-volume output is not available in this build");
}

int zip_prepare_output(ZipRun&) { return OZ_SUCCESS; }

int zip_run_operation(ZipRun& run) {
  return zip_report(run, OZ_INTERNAL, "archive writing is not available in this build");
}

void zip_finish_output(ZipRun&, int) {}

}  // namespace ostrana
