/* engine/unzip/unzip_run.h - how an unzip run reports, shows messages and logs.
 *
 * Result report (first failure wins, engine_run.h): "%s %s (%s)\n" (message
 * 66, the result text, the detail) or "%s %s \n" without a detail.  Messages
 * are shown with run.display(), the log appended with run.append_diagnostic().
 *
 * Result lines: a run that is not reported as a failure (0, 44, and every run
 * of functions 1 to 7) ends its diagnostic log entry with "%s %d %s \r\n"
 * (message 67, the code, its text), "returnCount: %d" and a line end, and
 * "%s %lx \r\n" with "lpszReturnString:" and the pointer.
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/unzip/unzip_state.h"

namespace ostrana {

/// Reports @p code with an optional @p detail.  @return the run's result.
int unzip_report(UnzipRun& run, int code, const char* detail = nullptr);

/// Shows and logs the report text of @p code with @p detail as unzip_report()
/// does, for an item that is skipped while the run goes on: the run's first
/// report (and so its result) is left alone.
void unzip_warn(UnzipRun& run, int code, const char* detail);

/// unzip_report() with message @p detail_id as the detail.
int unzip_report_message(UnzipRun& run, int code, int detail_id);

/// The report text of @p code and @p detail, using @p book for the texts.
std::string unzip_report_text(MessageBook& book, int code, const char* detail);

/// Writes the diagnostic log's dump of @p record.
void unzip_write_diagnostic_log(UnzipRun& run, const UNZIPCMDSTRUCT& record);

/// Appends the result lines of @p code to the diagnostic log.
void unzip_write_result_lines(UnzipRun& run, int code);

}  // namespace ostrana
