/* cli/commands.h - the table of `ostrana` commands.
 *
 * A command is one row: its name, the words it takes, a one-line summary, a
 * longer description for `ostrana COMMAND --help`, the options it accepts and
 * its handler.  Adding a command is adding a row (and its handler); main.cpp
 * does the rest: help, option checks, argument counts, exit status.
 *
 * Exit status: the engine's result code (0 success).  A command line that
 * cannot be run at all (unknown command or option, wrong number of words)
 * exits with kUsageError and never calls the engine.
 */
#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"

namespace cli {

/// Exit status of a command line that could not be run (sysexits' EX_USAGE);
/// no engine result code is this high.
inline constexpr int kUsageError = 64;

struct Command {
  const char* name;
  const char* words;        ///< "ARCHIVE [PATTERN...]"
  int min_words;            ///< words after the command name
  int max_words;            ///< -1: no limit
  const char* summary;      ///< one line for the command list
  const char* description;  ///< the rest of `ostrana COMMAND --help`
  std::vector<Opt> options; ///< accepted besides --help
  /// Runs the command with its words (the command name excluded).
  /// @return the exit status.
  int (*run)(const std::vector<std::string>& words, const CommandLine& line);
};

const std::vector<Command>& command_table();
const Command* find_command(const std::string& name);

/* ---- handlers ---- */
int run_list(const std::vector<std::string>& words, const CommandLine& line);
int run_comment(const std::vector<std::string>& words, const CommandLine& line);
int run_count(const std::vector<std::string>& words, const CommandLine& line);
int run_extract(const std::vector<std::string>& words, const CommandLine& line);
int run_test(const std::vector<std::string>& words, const CommandLine& line);
int run_add(const std::vector<std::string>& words, const CommandLine& line);
int run_update(const std::vector<std::string>& words, const CommandLine& line);
int run_freshen(const std::vector<std::string>& words, const CommandLine& line);
int run_delete(const std::vector<std::string>& words, const CommandLine& line);

}  // namespace cli
