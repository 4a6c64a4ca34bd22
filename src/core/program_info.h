/* core/program_info.h - what `parvell --help` and `parvell --version` print.
 *
 * Either word is recognised only as the program's only argument: any longer
 * line is the command line of core/command_line.h, so a task info file that
 * happens to be called "--help" still runs when it is named after "/scheduled".
 */
#pragma once

#include <string>
#include <vector>

namespace core {

enum class InfoRequest {
  kNone,     ///< run the program
  kHelp,     ///< print the run modes
  kVersion,  ///< print the product's and the engine's versions
};

/// What @p arguments (without the program name) ask for.
InfoRequest info_request(const std::vector<std::string>& arguments);

/// The version lines: the product, then the engine (@p engine_version as the engine reports it).
std::string version_text(const std::string& engine_version);

/// The run modes and exit statuses, then where the help pages are: @p help_page
/// (the local contents page, "" when none is installed) or @p online_help.
std::string help_text(const std::string& help_page, const std::string& online_help);

}  // namespace core
