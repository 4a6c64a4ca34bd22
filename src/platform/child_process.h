/* platform/child_process.h - running a helper program directly, without a shell.
 *
 * A few services stand on small system programs (the user's cron table is
 * read and written through `crontab`).  They are started with posix_spawn and
 * an argument vector, never through /bin/sh, so no name or path handed to them
 * is ever interpreted as shell syntax.  The program's standard input is fed
 * from a string and its standard output and error are collected, all three
 * through one poll loop, so a program that writes much before it reads its
 * input cannot deadlock us.  Output is capped: a program that writes more than
 * its caller allows is stopped and the run reported as E2BIG.
 *
 * A program that stops reading its input early would raise SIGPIPE in this
 * process; the signal is held back in the calling thread while the input is
 * written, and a SIGPIPE that this run caused is taken away afterwards.
 */
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

/// What a program that ran left behind.
struct ProgramRun {
  int exit_status = -1;  ///< its exit status; -1 when a signal ended it
  std::string output;    ///< everything it wrote to standard output
  std::string errors;    ///< everything it wrote to standard error
};

/// Runs @p argv (argv[0] is searched in PATH when it holds no "/"), with
/// @p input as its standard input, and waits for it to end.
/// @return 0 when the program ran (its exit status is in @p run_ret),
///         ENOENT when it cannot be found, EACCES when it cannot be started,
///         E2BIG when it wrote more than @p max_output_nbytes to either stream
///         (it is then stopped), EINVAL for an empty @p argv, or another errno.
int run_program(const std::vector<std::string>& argv, const std::string& input, size_t max_output_nbytes,
                ProgramRun* run_ret);

}  // namespace platform
