/* engine/zip/zip_run.h - how a zip run reports its result, shows messages and logs.
 *
 * Result report: only the first failure of a run counts.  Its text is the
 * result text of the code, " (" detail ")" when a detail is given, the whole
 * cut to 2,048 characters, then "\n".  The text goes to the diagnostic log
 * (when on) and, unless quietFlag is set, to the caller with display type 11.
 * Code 0 is recorded silently.
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/zip/zip_state.h"

namespace ostrana {

/// Reports @p code with an optional @p detail (a file name or a text).
/// @return the run's result: @p code, or the code of an earlier report.
int zip_report(ZipRun& run, int code, const char* detail = nullptr);

/// zip_report() with message @p detail_id as the detail.
int zip_report_message(ZipRun& run, int code, int detail_id);

/// The report text of @p code and @p detail as zip_report() builds it, using
/// @p book for the texts.
std::string zip_report_text(MessageBook& book, int code, const char* detail);

/// Shows display @p type (titles and texts: kZipDisplayTable) and returns the
/// answer (message_display.h).
int zip_display(ZipRun& run, int type, uint32_t style, int code, int extra,
                const char* caller_text = nullptr);

/// Appends @p text to the diagnostic log (placed by message 108).
void zip_append_diagnostic(ZipRun& run, const std::string& text);

/// Writes the diagnostic log's dump of @p record (the header and every field).
void zip_write_diagnostic_log(ZipRun& run, const ZIPCMDSTRUCT& record);

}  // namespace ostrana
