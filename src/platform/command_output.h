/* platform/command_output.h - run a small program and read what it prints.
 *
 * For the questions the program puts to helper commands ("which browser is
 * the default?", "which version are you?").  The command gets no input
 * (/dev/null), its error output is dropped, and what it writes is read up to
 * a limit.  A command that does not finish within the time given is killed
 * (by its own id) and reaped, so a hanging helper can never hang a dialog.
 */
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct CommandOutput {
  bool ran = false;        ///< the program was found and started
  bool timed_out = false;  ///< killed after the time limit
  int exit_status = -1;    ///< its exit status, -1 unless it exited by itself
  std::string text;        ///< its standard output (at most the limit)
};

/// Runs @p argv (argv[0] looked up on PATH unless it holds a "/") and
/// collects its standard output, at most @p max_nbytes (the rest is read and
/// dropped), waiting at most @p timeout_ms for it to end.
CommandOutput run_for_output(const std::vector<std::string>& argv, int timeout_ms,
                             size_t max_nbytes = 64 * 1024);

}  // namespace platform
