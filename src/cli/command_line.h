/* cli/command_line.h - the options of `ostrana` and how a command line is read.
 *
 * `ostrana COMMAND ARCHIVE [ARGS...] [OPTIONS]`: options may stand anywhere on
 * the line (getopt_long with argument permutation); "--" ends the options.
 * Every option of every command is one row of one table, with its long and
 * short spelling, so that two commands never spell the same setting two
 * ways.  A command lists the options it accepts (commands.h); an option it
 * does not accept is an error, not silently ignored.  The spellings are a
 * stable interface: scripts use them.
 */
#pragma once

#include <string>
#include <vector>

namespace cli {

enum class Opt {
  kPassword,        // -p, --password PW
  kLevel,           // -l, --level N
  kRecurse,         // -r, --recurse
  kJunkPaths,       // -j, --junk-paths
  kNoDirEntries,    // -D, --no-dir-entries
  kOverwrite,       // -o, --overwrite
  kNeverOverwrite,  // -n, --never-overwrite
  kQuiet,           // -q, --quiet
  kComment,         // -c, --comment TEXT
  kInclude,         // -i, --include PAT
  kExclude,         // -x, --exclude PAT
  kAes,             // --aes 128|192|256
  kAesFormat,       // --aes-format strong|winzip
  kFollowLinks,     // -L, --follow-links
  kSplit,           // --split SIZE[,SIZE...]
  kSpan,            // --span
  kAnyMedia,        // --any-media
  kWipe,            // --wipe
  kWipeTree,        // --wipe-tree
  kWipeProtected,   // --wipe-protected
  kFormat,          // --format
  kLowDensity,      // --low-density
  kZip64,           // --zip64
  kMove,            // --move
  kGrow,            // --grow
  kFix,             // --fix
  kFixHarder,       // --fix-harder
  kTemp,            // --temp DIR
  kRelative,        // --relative
  kHidden,          // --hidden
  kAfter,           // --after MMDDYY
  kStoreSuffixes,   // --store-suffixes LIST
  kText,            // --text
  kFreshen,         // --freshen
  kUpdate,          // --update
  kHelp,            // -h, --help
  kVersion,         // --version
  kThreads,         // -J, --threads N
  kCount
};

struct OptionSpec {
  Opt id;
  const char* long_name;
  char short_name;       ///< 0 when the option has no short form
  const char* argument;  ///< name of its argument in help texts, nullptr for a switch
  const char* help;
};

/// Every option, in the order help texts list them.
const std::vector<OptionSpec>& option_table();
const OptionSpec& option_spec(Opt id);

/// A parsed command line.
struct CommandLine {
  std::vector<std::string> words;               ///< the command and its arguments, in order
  std::vector<std::vector<std::string>> values; ///< per option: each occurrence's argument ("" for switches)

  bool has(Opt id) const { return !values[static_cast<int>(id)].empty(); }
  /// The last occurrence's argument.
  const std::string& value(Opt id) const { return values[static_cast<int>(id)].back(); }
  const std::vector<std::string>& all(Opt id) const { return values[static_cast<int>(id)]; }
  /// The options given, in table order.
  std::vector<Opt> given() const;
};

/// Reads @p argv.  @return false with @p error_ret set for an unknown option or
/// a missing argument.
bool parse_command_line(int argc, char** argv, CommandLine* ret, std::string* error_ret);

/// "-p, --password PW" (or "    --zip64") for help texts.
std::string option_synopsis(const OptionSpec& option);

}  // namespace cli
