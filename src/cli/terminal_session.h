/* cli/terminal_session.h - an extraction or a test on the command line.
 *
 * Adds to the plain session what a run that writes files needs:
 *   - a one-line progress display ("[3/10] 45% Extracting: name") when
 *     standard output is a terminal, redrawn at most ten times a second;
 *   - the engine's questions answered on the terminal when standard input is
 *     one: the overwrite question (y/n/A(ll)/N(one)/r(ename)/c(ancel); Rename
 *     asks for the new name through the engine's save-dialog hook), the
 *     wrong-password question (s(kip)/c(ancel)) and disk prompts
 *     (Enter/c(ancel));
 *   - without a terminal on standard input, or with -q, nothing is asked and
 *     nothing waits: existing files are kept (unless -o), an encrypted item
 *     the password does not open ends the run with 44 (with -q it is skipped,
 *     49), disk prompts are cancelled.
 */
#pragma once

#include <chrono>
#include <string>

#include "cli/unzip_session.h"

namespace cli {

class TerminalSession final : public UnzipSession {
 public:
  struct Settings {
    bool quiet = false;            ///< -q: the engine's quietFlag; no progress
    bool never_overwrite = false;  ///< -n
    bool progress = false;         ///< draw the progress line (a terminal on stdout)
    bool interactive = false;      ///< ask on the terminal (a terminal on stdin)
  };

  TerminalSession(std::string archive, const Settings& settings);
  ~TerminalSession() override;

  /// A record with the session's callbacks, progress included.
  UNZIPCMDSTRUCT record(int function);

  /// Clears the progress line.
  void finish();

 protected:
  int ask(int type, uint32_t style, int code, int extra, char* text) override;
  void before_output() override;

 private:
  static int major_status(const char* text, int percent, void* user);
  static int minor_status(const char* text, int percent, void* user);
  static int save_dialog(const char* title, const char* filter, const char* start_path, char* path_ret,
                         size_t path_avail, void* context);

  /// Writes @p question to stderr and reads the answer; false at end of input.
  bool prompt(const std::string& question, std::string* answer_ret);
  int overwrite_answer(uint32_t style, const char* text);
  void draw(bool force);

  Settings m_settings;
  bool m_overwrite_none = false;  ///< "N(one)" was answered
  bool m_line_shown = false;
  std::string m_major;            ///< "Item 3 of 10"
  std::string m_minor;            ///< "Extracting: name"
  int m_percent = 0;
  std::chrono::steady_clock::time_point m_last_draw;
};

}  // namespace cli
