/* engine/zip/zip_run.h - how a zip run reports its result and logs its record.
 *
 * Result report (first failure wins, engine_run.h): the result text of the
 * code, " (" detail ")" when a detail is given, the whole cut to 2,048
 * characters, then "\n".  Messages are shown with run.display() and the
 * diagnostic log is appended with run.append_diagnostic().
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

/// Reports code 6 for an archive or entry beyond what the run may write
/// without Zip64, the detail saying so and how to allow it.
int zip_report_too_big(ZipRun& run);

/// The report text of @p code and @p detail as zip_report() builds it, using
/// @p book for the texts.
std::string zip_report_text(MessageBook& book, int code, const char* detail);

/// Writes the diagnostic log's dump of @p record (the header and every field).
void zip_write_diagnostic_log(ZipRun& run, const ZIPCMDSTRUCT& record);

}  // namespace ostrana
