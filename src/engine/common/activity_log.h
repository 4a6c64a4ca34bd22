/* engine/common/activity_log.h - the activity log of one run: what was done to each item.
 *
 * When the caller's option bit 8 asks for it, a run lists what it did to each
 * item ("%s [Extracted]", "%s [Added]", ...) in its side's activity log.  The
 * log is named, headed and versioned by three messages of the side's table, so
 * a caller can rename or move it through the text offer.  The header line goes
 * out at the start of the run; every line ends with CR LF.  Each line is
 * appended on its own (the file is opened in append mode for the write), so
 * two runs writing to one log interleave whole lines.  A log that cannot be
 * written is skipped without a report: it never changes a run's result.
 */
#pragma once

#include <string>

#include "engine/common/messages.h"

namespace ostrana {

class ActivityLog {
 public:
  /// The messages that name the log file, head it ("--- ... Log - %s ---")
  /// and make its version line ("... Version: ... - %s  %s", date and time).
  struct Messages {
    int name_id;
    int header_id;
    int version_id;
  };

  /// Starts a run's log: when @p enabled, resolves the file and writes the
  /// header.  Uses slots 0 and 1 of @p book.
  void start(bool enabled, MessageBook& book, const Messages& ids);

  /// Appends @p text and a line end (nothing when the log is off).
  void line(const std::string& text);

  bool enabled() const { return !m_path.empty(); }

  /// Ends the run's log.
  void end() { m_path.clear(); }

 private:
  std::string m_path;
};

}  // namespace ostrana
