/* cli/zip_session.h - calling the zip entry for one `ostrana` command.
 *
 * Fills a ZIPCMDSTRUCT through the public C interface and answers the
 * engine's callbacks the way a command line should: the error report
 * (display type 11) is kept and printed once, naming the archive; warnings
 * (type 12) go to stderr as they come; questions get the safe answer (a
 * file that cannot be opened is skipped).  On a terminal, and unless quiet,
 * progress is one line on stderr, rewritten in place: the overall percent,
 * "Item n of N" and the current item with its own percent.  Ctrl-C asks the
 * engine to stop (code 9), so the temporary archive is removed and the old
 * archive stays as it was.
 *
 * Spanning asks for disks: after ask_for_disks() a disk request (display type
 * 0) or a Retry/Cancel warning is printed and answered from stdin - an empty
 * line is OK (or Retry), anything else or the end of input is Cancel.  Split
 * parts announced (display type 14) are printed unless quiet.
 */
#pragma once

#include <cstdint>
#include <string>

#include "ostrana.h"
#include "platform/stop_signals.h"

namespace cli {

class ZipSession {
 public:
  ZipSession(std::string archive, bool quiet);
  ~ZipSession();
  ZipSession(const ZipSession&) = delete;
  ZipSession& operator=(const ZipSession&) = delete;

  /// A record for @p function on the session's archive with the session's callbacks.
  ZIPCMDSTRUCT record(int function);

  /// Disk requests are asked on the terminal (spanning).
  void ask_for_disks() { m_ask_disks = true; }

  /// Runs @p cmd.  @return the engine's result.
  int run(ZIPCMDSTRUCT* cmd);

  /// "ostrana: ARCHIVE: <the engine's report>" on stderr, for @p code.
  void print_error(int code) const;

 private:
  static int message(int type, uint32_t style, int code, int extra, char* text, char* title, void* user);
  static int major(const char* text, int percent, void* user);
  static int minor(const char* text, int percent, void* user);
  void draw();
  void clear_line();

  platform::StopSignals m_stop_signals;  ///< a stop signal ends the run with code 9
  std::string m_archive;
  bool m_quiet;
  bool m_progress;        ///< stderr is a terminal and not quiet
  bool m_ask_disks = false;
  std::string m_report;   ///< the error report
  std::string m_major;    ///< "Item 3 of 10"
  int m_major_percent = 0;
  std::string m_minor;    ///< the current item
  int m_minor_percent = 0;
  std::string m_drawn;    ///< the line on the terminal now
};

}  // namespace cli
