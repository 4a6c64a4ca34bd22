/* bridge/command_records.h - the command records a zip run and an extract run hand the engine.
 *
 * Each record is built by one function from the operation's arguments, into
 * the bridge object, without calling the engine, so that tests can pin every
 * field.  The functions zero the record and set its size first; the texts the
 * record points to (the trimmed item list, the patterns) are kept in the bridge
 * object, the split size in the process-wide split-size array.  The callers
 * have checked that the archive path is not null.
 */
#pragma once

#include <cstdint>
#include <string>

#include "bridge/bridge_state.h"
#include "bridge/engine_bridge.h"

namespace bridge {

/// The function code a zip run sends: 1, 3 and 4 as given, anything else 4.
int32_t zip_function_of(int32_t function_code);

/// The zip item list without one leading blank, then without one trailing blank.
std::string zip_item_list_text(const char* item_list);

/// The extraction patterns: the item list when one is given, with every ", "
/// turned into " " and all trailing blanks removed; otherwise the pattern
/// without one leading and one trailing blank.
std::string extract_filespec_text(const char* file_pattern, const char* item_list);

/// The part size of a split archive: the text's leading decimal digits (after
/// blanks and an optional sign, as atol reads them; no digits read as 0, a
/// negative or too large value as the nearest end of 0..0xFFFFFFFF), raised to
/// at least kMinimumSplitSize.
uint32_t split_size_of(const char* text);

/// Fills bridge.zip for a zip run; callbacks and user data are the bridge's.
void build_zip_record(const ZipRunArguments& args, EngineBridge& bridge);

/// Fills bridge.unzip for an extract run (function 8).
void build_extract_record(const ExtractRunArguments& args, EngineBridge& bridge);

/// Zeroes bridge.unzip, sets its size and the fields every information call
/// shares (quiet, no index) and the function and archive.
void build_info_record(int32_t function, const char* archive_path, EngineBridge& bridge);

}  // namespace bridge
