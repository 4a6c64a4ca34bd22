/* engine/unzip/extract_pending.cpp - the extraction stage, not written yet.
 *
 * Stands in for extract.h so that the entry, its checks and its reports work
 * end to end before extraction exists.  It never pretends success: functions
 * 8 to 11 end with code 47 and say why.  The extraction replaces this file.
 */
#include "engine/unzip/extract.h"
#include "engine/unzip/unzip_run.h"

namespace ostrana {

int unzip_extract(UnzipThreadState& state) {
  return unzip_report(state.run, OU_SYNTAX, "extraction is not available in this build");
}

}  // namespace ostrana
