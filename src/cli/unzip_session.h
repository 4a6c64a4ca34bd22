/* cli/unzip_session.h - calling the unzip entry for one `ostrana` command.
 *
 * Each call fills a fresh UNZIPCMDSTRUCT through the public C interface.  The
 * engine's error report (display type 11) is caught by a message callback
 * and kept, so the command can print it once, naming the archive; questions
 * are answered with the safe button, since `ostrana` asks nothing yet.
 */
#pragma once

#include <string>

#include "ostrana.h"

namespace cli {

class UnzipSession {
 public:
  explicit UnzipSession(std::string archive);

  /// A record for @p function on the session's archive, with the session's
  /// message callback (and nothing else set).
  UNZIPCMDSTRUCT record(int function);

  /// Runs @p cmd.  @return the engine's result.
  int run(UNZIPCMDSTRUCT* cmd);

  /// "ostrana: ARCHIVE: <the engine's report>" on stderr, for @p code.
  void print_error(int code) const;

  const std::string& archive() const { return m_archive; }

 private:
  static int message(int type, uint32_t style, int code, int extra, char* text, char* title, void* user);

  std::string m_archive;
  std::string m_report;  ///< the last error report, its title removed
};

}  // namespace cli
