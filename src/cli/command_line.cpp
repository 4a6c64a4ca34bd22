/* cli/command_line.cpp - the options of `ostrana` and how a command line is read. */
#include "cli/command_line.h"

#include <getopt.h>

namespace cli {
namespace {

// Long options without a short form get values above any character.
constexpr int kLongOnlyBase = 256;

}  // namespace

const std::vector<OptionSpec>& option_table() {
  static const std::vector<OptionSpec> table = {
      {Opt::kPassword, "password", 'p', "PW", "password: of encrypted items, or to encrypt with"},
      {Opt::kLevel, "level", 'l', "N", "compression level 0-19 (0 store, 1-9 deflate, 10-19 Deflate64)"},
      {Opt::kRecurse, "recurse", 'r', nullptr, "patterns match in subfolders too"},
      {Opt::kJunkPaths, "junk-paths", 'j', nullptr, "drop the folder part of names"},
      {Opt::kNoDirEntries, "no-dir-entries", 'D', nullptr, "no separate entries for folders"},
      {Opt::kOverwrite, "overwrite", 'o', nullptr, "overwrite existing files without asking"},
      {Opt::kNeverOverwrite, "never-overwrite", 'n', nullptr, "never overwrite existing files"},
      {Opt::kQuiet, "quiet", 'q', nullptr, "no progress and no questions"},
      {Opt::kComment, "comment", 'c', "TEXT", "set the archive comment"},
      {Opt::kInclude, "include", 'i', "PAT", "only names matching PAT (repeatable)"},
      {Opt::kExclude, "exclude", 'x', "PAT", "leave out names matching PAT (repeatable)"},
      {Opt::kAes, "aes", 0, "128|192|256", "encrypt with AES of this key length"},
      {Opt::kAesFormat, "aes-format", 0, "strong|winzip",
       "AES as PKWARE strong encryption (default; 7-Zip) or WinZip AES (method 99; 7-Zip, bsdtar)"},
      {Opt::kFollowLinks, "follow-links", 'L', nullptr, "store what symbolic links point to, not the links"},
      {Opt::kSplit, "split", 0, "SIZE[,SIZE...]",
       "split into parts of SIZE bytes (k/m/g: x1024); a list sizes parts 1, 2, ..., the first the rest"},
      {Opt::kSpan, "span", 0, nullptr, "span the archive over removable disks, asking for each"},
      {Opt::kAnyMedia, "any-media", 0, nullptr, "allow --span on a drive that is not removable"},
      {Opt::kWipe, "wipe", 0, nullptr, "--span: delete the files in each new disk's root first"},
      {Opt::kWipeTree, "wipe-tree", 0, nullptr, "--span: delete each new disk's whole tree first"},
      {Opt::kWipeProtected, "wipe-protected", 0, nullptr, "--wipe: read-only and hidden files too"},
      {Opt::kFormat, "format", 0, nullptr, "--span: format each new diskette first"},
      {Opt::kLowDensity, "low-density", 0, nullptr, "--format: at the drive's lower density"},
      {Opt::kZip64, "zip64", 0, nullptr, "allow archives and items beyond 4 GiB"},
      {Opt::kMove, "move", 0, nullptr, "delete the files once stored"},
      {Opt::kGrow, "grow", 0, nullptr, "append to the archive in place"},
      {Opt::kFix, "fix", 0, nullptr, "rebuild the central directory"},
      {Opt::kFixHarder, "fix-harder", 0, nullptr, "rebuild it scanning the whole file"},
      {Opt::kTemp, "temp", 0, "DIR", "build the new archive in DIR"},
      {Opt::kRelative, "relative", 0, nullptr, "store names relative to the root folder"},
      {Opt::kHidden, "hidden", 0, nullptr, "include hidden files"},
      {Opt::kAfter, "after", 0, "MMDDYY", "only files dated on or after this day"},
      {Opt::kStoreSuffixes, "store-suffixes", 0, "LIST", "store files with these suffixes uncompressed"},
      {Opt::kText, "text", 0, nullptr, "convert line ends of text files"},
      {Opt::kFreshen, "freshen", 0, nullptr, "only replace existing files that are older"},
      {Opt::kUpdate, "update", 0, nullptr, "replace older files and add missing ones"},
      {Opt::kHelp, "help", 'h', nullptr, "show this help"},
      {Opt::kVersion, "version", 0, nullptr, "show the engine's version"},
      {Opt::kThreads, "threads", 'J', "N", "compress on N threads (default: one per processor; 1: this one only)"},
  };
  return table;
}

const OptionSpec& option_spec(Opt id) {
  for (const OptionSpec& option : option_table())
    if (option.id == id) return option;
  return option_table().back();
}

std::vector<Opt> CommandLine::given() const {
  std::vector<Opt> out;
  for (const OptionSpec& option : option_table())
    if (has(option.id)) out.push_back(option.id);
  return out;
}

bool parse_command_line(int argc, char** argv, CommandLine* ret, std::string* error_ret) {
  const std::vector<OptionSpec>& table = option_table();
  ret->words.clear();
  ret->values.assign(static_cast<size_t>(Opt::kCount), {});
  std::string shorts = ":";  // ':' first: a missing argument is reported as ':'
  std::vector<option> longs;
  for (size_t i = 0; i < table.size(); ++i) {
    const OptionSpec& option = table[i];
    int value = option.short_name ? option.short_name : kLongOnlyBase + static_cast<int>(i);
    longs.push_back({option.long_name, option.argument ? required_argument : no_argument, nullptr, value});
    if (option.short_name) {
      shorts += option.short_name;
      if (option.argument) shorts += ':';
    }
  }
  longs.push_back({nullptr, 0, nullptr, 0});

  opterr = 0;
  optind = 0;  // 0 resets GNU getopt completely
  for (;;) {
    int c = getopt_long(argc, argv, shorts.c_str(), longs.data(), nullptr);
    if (c == -1) break;
    if (c == '?') {
      *error_ret = optopt ? std::string("unknown option '-") + static_cast<char>(optopt) + "'"
                          : std::string("unknown option '") + argv[optind - 1] + "'";
      return false;
    }
    if (c == ':') {
      *error_ret = std::string("option '") + argv[optind - 1] + "' needs an argument";
      return false;
    }
    const OptionSpec* option = nullptr;
    if (c >= kLongOnlyBase) option = &table[static_cast<size_t>(c - kLongOnlyBase)];
    else
      for (const OptionSpec& s : table)
        if (s.short_name == c) option = &s;
    if (option == nullptr) continue;
    ret->values[static_cast<int>(option->id)].push_back(option->argument && optarg ? optarg : "");
  }
  for (int i = optind; i < argc; ++i) ret->words.push_back(argv[i]);
  return true;
}

std::string option_synopsis(const OptionSpec& option) {
  std::string s = option.short_name ? std::string("-") + option.short_name + ", " : std::string("    ");
  s += "--";
  s += option.long_name;
  if (option.argument) {
    s += " ";
    s += option.argument;
  }
  return s;
}

}  // namespace cli
