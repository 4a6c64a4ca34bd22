/* engine/common/activity_log.h - the activity log of one engine run.
 *
 * When the caller's option bit 8 asks for it, a run lists what it did to each
 * item, one line each ("a.txt [Added]"), in a text file named by the side's
 * message table (so a caller can move it through the text offer; placement
 * as for every engine log, text_log.h).  The log is started once per run with
 * its header line, "--- ... Log - <version line> ---"; every line ends with
 * CR LF.  Each line is appended on its own (open, append, close), so a run
 * that is killed leaves every line it wrote and two processes appending to
 * the same log interleave whole lines.  A log that cannot be written is
 * skipped without any report: it never changes a run's result.
 */
#pragma once

#include <string>

#include "engine/common/messages.h"

namespace ostrana {

class ActivityLog {
 public:
  /// Starts the log: the file is named by message @p name_id, and the header
  /// line is message @p header_id ("%s") around message @p version_id ("%s  %s"
  /// with the local date and time).
  void start(MessageBook& book, int name_id, int header_id, int version_id);

  /// Appends @p line and a line end; nothing when the log was not started.
  void write_line(const std::string& line);

  /// Message @p format_id ("%s") around @p name, as one line.
  void write_item(MessageBook& book, int format_id, const std::string& name);

  /// Ends the log of the run; later lines are dropped.
  void stop() { m_path.clear(); }

  bool active() const { return !m_path.empty(); }

 private:
  std::string m_path;
};

}  // namespace ostrana
