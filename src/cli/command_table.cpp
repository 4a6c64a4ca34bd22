/* cli/command_table.cpp - the rows of the `ostrana` command table. */
#include "cli/commands.h"

namespace cli {

const std::vector<Command>& command_table() {
  static const std::vector<Command> table = {
      {"list", "ARCHIVE", 1, 1, "list the items of an archive",
       "Writes one line per item, its fields separated by tabs:\n"
       "  number (0-based, directory order), name, size, compressed size, method,\n"
       "  CRC-32 (0x%08X), date (MM/DD/YYYY  hh:mm:ss), attributes, encryption,\n"
       "then a total line: \"total\", the number of items, both sizes and the ratio.\n"
       "Control characters in names are written as \\xHH.",
       {},
       run_list},
      {"comment", "ARCHIVE", 1, 1, "print the archive comment",
       "Writes the archive comment (UTF-8 when it is, else read as CP437), followed\n"
       "by a line end unless it is empty or already ends with one.",
       {},
       run_comment},
      {"count", "ARCHIVE [PATTERN...]", 1, -1, "count the items, or those matching the patterns",
       "Without patterns writes the number of items.  With patterns writes the\n"
       "number of items that match any of them: \"*\" and \"*.*\" match any name,\n"
       "\"?\" one character, and characters after a \"*\" are not compared; a pattern\n"
       "without a folder matches items at the top level only, unless --recurse;\n"
       "\"DIR/\" matches the folder and what lies in it.  Case is ignored.",
       {Opt::kRecurse},
       run_count},
      {"extract", "ARCHIVE DEST [PATTERN...]", 2, -1, "extract items into a folder",
       "Writes the items into DEST (made when missing), with their folders, times and\n"
       "read-only attributes.  Without patterns every item is extracted, empty folders\n"
       "included; patterns select as for `count`.  On a terminal a progress line is\n"
       "shown and an existing file brings a question: y(es), n(o), A(ll), N(one),\n"
       "r(ename), c(ancel).  Without a terminal on stdin nothing is asked: existing\n"
       "files are kept unless -o, items the password does not open are skipped.\n"
       "Names that would land outside DEST (\"..\", links) are skipped with a warning.\n"
       "Split archives (NAME.z01, NAME.z02, ..., NAME.zip) are read from the .zip.\n"
       "Exit status: the engine's result; 49 when the last item was skipped.",
       {Opt::kPassword, Opt::kOverwrite, Opt::kNeverOverwrite, Opt::kJunkPaths, Opt::kRecurse, Opt::kFreshen,
        Opt::kUpdate, Opt::kText, Opt::kQuiet},
       run_extract},
      {"test", "ARCHIVE [PATTERN...]", 1, -1, "check the items' data without writing anything",
       "Expands every item (or those matching the patterns) and checks its CRC-32 or\n"
       "AES authentication code; nothing is written.  Prints the number of items\n"
       "tested.  Exit status: the engine's result (39: bad CRC).",
       {Opt::kPassword, Opt::kRecurse, Opt::kQuiet},
       run_test},
      {"add", "ARCHIVE [ITEM...]", 1, -1, "add files to an archive, or create it",
       "Adds the files named by the items (files, folders, wildcard patterns) to\n"
       "ARCHIVE, replacing entries of the same name; \".zip\" is added to an archive\n"
       "name without a dot.  A folder item stands for the folder's whole content\n"
       "(and turns on --recurse).  The new archive is built in a temporary file\n"
       "and put in place only when complete.  Default level 6.\n"
       "--split writes a new archive as parts ARCHIVE.z01, ARCHIVE.z02, ... and the\n"
       "last part as ARCHIVE itself (sizes below 65536 count as 65536).  --span\n"
       "writes a new archive over removable disks at ARCHIVE's path, asking on the\n"
       "terminal for each disk (Enter: ready, anything else: cancel); the disks are\n"
       "labelled \"PKBACK# 001\", ... where the volume keeps labels.  Both make the\n"
       "archive anew; --grow and --fix do not go with them.\n"
       "-p PW encrypts the entries written now with the traditional ZIP cipher;\n"
       "with --aes 128|192|256 as well, with AES: by default PKWARE strong\n"
       "encryption (AES-CBC), which 7-Zip reads; with --aes-format winzip in the\n"
       "WinZip AES format (method 99, AE-2), which 7-Zip, bsdtar and the desktop\n"
       "archivers built on them read.  Python's zipfile reads the traditional cipher\n"
       "only, Java's and Go's readers no encryption at all.  A password is 1 to 128\n"
       "characters.  Entries copied from the archive keep their own encryption.\n"
       "Names are stored in UTF-8 (flag bit 11 when not ASCII), entries as made on\n"
       "Unix with their mode and their UTC modification time (0x5455).  Symbolic\n"
       "links are stored as links; -L stores what they point to instead.  Zip64\n"
       "records need --zip64 and are written only where a value overflows.",
       {Opt::kPassword, Opt::kAes, Opt::kAesFormat, Opt::kFollowLinks, Opt::kLevel, Opt::kRecurse, Opt::kJunkPaths,
        Opt::kNoDirEntries, Opt::kInclude, Opt::kExclude,
        Opt::kAfter, Opt::kComment, Opt::kStoreSuffixes, Opt::kMove, Opt::kGrow, Opt::kFix, Opt::kFixHarder,
        Opt::kZip64, Opt::kTemp, Opt::kRelative, Opt::kHidden, Opt::kText, Opt::kSplit, Opt::kSpan,
        Opt::kAnyMedia, Opt::kWipe, Opt::kWipeTree, Opt::kWipeProtected, Opt::kFormat, Opt::kLowDensity,
        Opt::kThreads, Opt::kQuiet},
       run_add},
      {"update", "ARCHIVE [ITEM...]", 1, -1, "replace entries whose file is newer, add new files",
       "As add, but an entry is replaced only by a file dated later than the entry.",
       {Opt::kPassword, Opt::kAes, Opt::kAesFormat, Opt::kFollowLinks, Opt::kLevel, Opt::kRecurse, Opt::kJunkPaths,
        Opt::kNoDirEntries, Opt::kInclude, Opt::kExclude,
        Opt::kAfter, Opt::kComment, Opt::kStoreSuffixes, Opt::kMove, Opt::kGrow, Opt::kZip64, Opt::kTemp,
        Opt::kRelative, Opt::kHidden, Opt::kText, Opt::kThreads, Opt::kQuiet},
       run_update},
      {"freshen", "ARCHIVE [ITEM...]", 1, -1, "replace entries whose file is newer, add nothing",
       "Replaces entries by their files when the file is dated later than the entry;\n"
       "never adds a file.  Without items every entry is looked at (its name as a path).",
       {Opt::kPassword, Opt::kAes, Opt::kAesFormat, Opt::kFollowLinks, Opt::kLevel, Opt::kRecurse, Opt::kJunkPaths,
        Opt::kNoDirEntries, Opt::kInclude, Opt::kExclude,
        Opt::kAfter, Opt::kComment, Opt::kStoreSuffixes, Opt::kMove, Opt::kZip64, Opt::kTemp,
        Opt::kRelative, Opt::kHidden, Opt::kText, Opt::kThreads, Opt::kQuiet},
       run_freshen},
      {"delete", "ARCHIVE PATTERN...", 2, -1, "remove the entries matching the patterns",
       "Removes every entry whose name matches a pattern (\"*\", \"?\"; a pattern\n"
       "without a folder compares the last part of the name).  Case is ignored.",
       {Opt::kInclude, Opt::kExclude, Opt::kZip64, Opt::kTemp, Opt::kQuiet},
       run_delete},
  };
  return table;
}

const Command* find_command(const std::string& name) {
  for (const Command& c : command_table())
    if (name == c.name) return &c;
  return nullptr;
}

}  // namespace cli
