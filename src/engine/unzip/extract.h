/* engine/unzip/extract.h - the extraction stage behind the unzip entry.
 *
 * The entry (unzip_entry.cpp) checks and decodes the caller's record into the
 * UnzipRun, opens the archive (functions 8, 9 and 11; run.archive) and checks
 * that functions 9 to 11 have their memory block or data callback.  Then it
 * calls unzip_extract() for functions 8 to 11:
 *
 *   8   extract or test the items that run.cmd.lpszFilespec selects
 *       (item_selection.h), or the one item run.cmd.index;
 *   9   the one item into run.cmd.lpMemBlock (run.file_to_memory is set);
 *   10  memory to memory through run.data_proc (no archive file);
 *   11  as 9, or without a memory block out through run.data_proc.
 *
 * The stage reports its failures through unzip_report() (with their details)
 * and returns the run's code; the entry reports any other code than 0 and 44
 * without a detail at the end, copies the record back and writes the result
 * lines.  The loaded directory (state.directory) is reused when it is
 * current for run.archive_path.
 *
 * Functions 8, 9 and 11 are an Extraction (extraction.h); function 10 is
 * memory_to_memory.h.
 */
#pragma once

#include "engine/unzip/unzip_state.h"

namespace ostrana {

int unzip_extract(UnzipThreadState& state);

}  // namespace ostrana
