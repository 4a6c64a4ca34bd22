/* engine/unzip/unzip_functions.h - functions 1 to 7 of the unzip entry: the archive's contents.
 *
 *   1  count the items               5  length of the archive comment
 *   2  next item's information       6  the archive comment
 *   3  count the items that match    7  information on item `index`
 *   4  next matching item's information
 *
 * They read the archive through the loaded central directory kept in the
 * thread state (central_directory.h) and describe items in the caller's zInfo
 * or pZipInfoEx (item_info.h).  Each reports its own failures with a detail.
 */
#pragma once

#include "engine/unzip/item_selection.h"
#include "engine/unzip/unzip_state.h"
#include "engine/unzip/volume_input.h"

namespace ostrana {

/// Opening the archive for the entry: opens run.archive for reading unless @p state's
/// directory is current for the archive and the function only walks it
/// (functions 2 and 4).  A failure is reported with code 9 and the function's
/// detail.  @return 0 or the run's code.
int unzip_open_archive(UnzipThreadState& state);

/// Makes state.directory the loaded directory of the archive open in
/// run.archive: loads it through @p in unless the loaded one is current (then
/// @p in only learns the layout of the set).  Failures are reported with
/// message @p detail_id.  An archive read with a correction for bytes put in
/// front of it is warned about (display type 12) when it is loaded.
/// @return 0 or the run's code.
int unzip_need_directory(UnzipThreadState& state, VolumeInput& in, int detail_id);

/// Runs function 1..7 (run.cmd.Function).  @return the run's code.
int unzip_information_function(UnzipThreadState& state);

/// The selection rules of the run's record (patterns, flags, destination).
SelectionRules selection_rules_of(const UnzipRun& run);

}  // namespace ostrana
