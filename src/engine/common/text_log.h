/* engine/common/text_log.h - where the engine's text logs are written, and how.
 *
 * The engine's logs are named by its message tables ("\OSTRANA.LOG"), so a
 * caller can rename or move them through the text offer.  Placement: a name
 * that is an absolute path is used as it stands; any other name is put in the
 * engine's log folder (platform/log_folder.h), its backslashes read as folder
 * separators.  A log that cannot be written is skipped without any report: no
 * log failure ever changes a run's result.
 */
#pragma once

#include <string>

namespace ostrana {

/// The file a log named @p name goes to; "" when there is nowhere to put it.
std::string resolve_log_path(const std::string& name);

/// Appends @p text to the log at @p path (opened, appended, closed).  Failures
/// are ignored.
void append_log(const std::string& path, const std::string& text);

/// The local date "MM/DD/YY" and time "HH:MM:SS" of the version lines.
struct LogTimestamp {
  std::string date;
  std::string time;
};
LogTimestamp log_timestamp_now();

}  // namespace ostrana
