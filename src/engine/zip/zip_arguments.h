/* engine/zip/zip_arguments.h - decoding and checking the zip record's settings.
 *
 * Pure functions over the values of a ZIPCMDSTRUCT, so that each rule can be
 * tested on its own: the compression factor, the date of afterDateFlag, and
 * the options that ZIP_DELETE refuses.  The entry applies them; the stages
 * after it read the decoded values from the ZipRun.
 */
#pragma once

#include <cstdint>

#include "engine/zip/zip_state.h"

namespace ostrana {

/// compFactor clamped into 0..19: 0 stores, 1..9 deflate at that level,
/// 10..19 Deflate64 (method 9) at level factor - 10 (10 compresses as level 1).
/// For ZIP_ADD_FROM_CALLBACK and ZIP_MEMORY_TO_MEMORY a factor below 1 is 1.
CompressionChoice decode_comp_factor(int32_t comp_factor, int32_t function);

/// lpszDate ("MMDDYY": exactly six digits, month 1..12, day 1..31, years
/// below 80 in the 2000s) as the DOS date-time of that day at 00:00:00; years
/// before 1980 give 1 January 1980.  @return false for a bad date.
bool parse_after_date(const char* text, uint32_t* dos_datetime_ret);

/// True when @p cmd asks ZIP_DELETE for something delete refuses: deleting the
/// originals, recursion, a password or a comment.
bool delete_options_refused(const ZIPCMDSTRUCT& cmd);

}  // namespace ostrana
