/* cli/unzip_session.h - calling the unzip entry for one `ostrana` command.
 *
 * Each call fills a fresh UNZIPCMDSTRUCT through the public C interface.  The
 * engine's error report (display type 11) is caught by a message callback
 * and kept, so the command can print it once, naming the archive; a warning
 * (display type 12, and the report of an item skipped while the run goes on)
 * is printed at once.  Questions go to ask(): the session answers them with
 * the safe button; the extraction's terminal session asks the user.  The
 * question for a split part's name (type 15) is left to the engine's own
 * lookup.
 */
#pragma once

#include <string>
#include <vector>

#include "ostrana.h"

namespace cli {

/// @p text on one line: line ends turned into blanks, trailing blanks dropped.
std::string one_line(const char* text);

/// Patterns as lpszFilespec wants them: separated by blanks, a pattern that
/// holds a blank in double quotes.
std::string filespec_of(const std::vector<std::string>& patterns);

class UnzipSession {
 public:
  explicit UnzipSession(std::string archive);
  virtual ~UnzipSession() = default;

  /// A record for @p function on the session's archive, with the session's
  /// message callback (and nothing else set).
  UNZIPCMDSTRUCT record(int function);

  /// Runs @p cmd.  @return the engine's result.
  int run(UNZIPCMDSTRUCT* cmd);

  /// "ostrana: ARCHIVE: <the engine's report>" on stderr, for @p code.
  void print_error(int code) const;

  const std::string& archive() const { return m_archive; }

 protected:
  /// Answers a question or acknowledges a message the engine shows (every
  /// display type but 11, 12, 13 and 15).  Default: the style's safe button.
  virtual int ask(int type, uint32_t style, int code, int extra, char* text);
  /// Called before anything is written to stderr (a progress line is cleared).
  virtual void before_output() {}

 private:
  static int message(int type, uint32_t style, int code, int extra, char* text, char* title, void* user);

  std::string m_archive;
  std::string m_report;  ///< the last error report, its title removed
};

}  // namespace cli
