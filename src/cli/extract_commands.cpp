/* cli/extract_commands.cpp - `ostrana extract` and `ostrana test`.
 *
 * Both run the unzip entry's function 8 once.  Without patterns every item is
 * taken, folder entries included ("*.*" with recursion), so that empty
 * folders are made again.  Patterns select as the engine's patterns do ("*"
 * files only, "*.*" folders too, no folder part: top level only unless -r).
 * The destination is made absolute first (the engine requires it).
 *
 * An archive without items gives "0 items" and 0 when no pattern was given.
 *
 * Exit status: the engine's result.  Its rule is that a run's result is the
 * code of the last item it handled: 49 ("User skipped this operation") when
 * that item was skipped; items skipped earlier are reported on stderr but
 * leave the status alone.
 */
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal.h"
#include "cli/terminal_session.h"
#include "ostrana.h"

namespace cli {
namespace {

int run_function_8(const std::string& archive, const std::string* destination, const std::vector<std::string>& patterns,
                   const CommandLine& line) {
  TerminalSession::Settings settings;
  settings.quiet = line.has(Opt::kQuiet);
  settings.never_overwrite = line.has(Opt::kNeverOverwrite);
  settings.progress = stdout_is_terminal();
  settings.interactive = stdin_is_terminal();
  TerminalSession session(archive, settings);

  UNZIPCMDSTRUCT cmd = session.record(UNZIP_EXTRACT);
  const std::string filespec = patterns.empty() ? "*.*" : filespec_of(patterns);
  cmd.lpszFilespec = filespec.c_str();
  cmd.recurseFlag = patterns.empty() || line.has(Opt::kRecurse) ? 1 : 0;
  std::string dest;
  if (destination != nullptr) {
    dest = absolute_path(*destination);
    cmd.lpszDestination = dest.c_str();
  } else {
    cmd.testFlag = 1;
  }
  cmd.overWriteFlag = line.has(Opt::kOverwrite) ? 1 : 0;
  cmd.noDirectoryNamesFlag = line.has(Opt::kJunkPaths) ? 1 : 0;
  cmd.freshenFlag = line.has(Opt::kFreshen) ? 1 : 0;
  cmd.updateFlag = line.has(Opt::kUpdate) ? 1 : 0;
  cmd.textOutputFlag = line.has(Opt::kText) ? 1 : 0;
  std::string password;
  if (line.has(Opt::kPassword)) {
    password = line.value(Opt::kPassword);
    cmd.decryptFlag = 1;
    cmd.lpszDecryptCode = password.c_str();
  }
  int rc = session.run(&cmd);
  session.finish();
  if (rc == OU_NOTHING_TO_DO && patterns.empty()) {
    // An archive of no items (only an end record) is a good archive: every
    // other reader says so.  11 stays for patterns that match nothing.
    UNZIPCMDSTRUCT count = session.record(UNZIP_COUNT_ITEMS);
    if (session.run(&count) == OU_SUCCESS && count.returnCount == 0) {
      rc = OU_SUCCESS;
      cmd.returnCount = 0;
      if (!settings.quiet && destination != nullptr) std::printf("%s: 0 items\n", archive.c_str());
    }
  }
  if (rc != OU_SUCCESS) {
    session.print_error(rc);
  } else if (!settings.quiet && destination == nullptr) {
    std::printf("%s: %d items tested, no errors\n", archive.c_str(), cmd.returnCount);
  }
  std::fflush(stdout);
  return rc;
}

}  // namespace

int run_extract(const std::vector<std::string>& words, const CommandLine& line) {
  std::vector<std::string> patterns(words.begin() + 2, words.end());
  return run_function_8(words[0], &words[1], patterns, line);
}

int run_test(const std::vector<std::string>& words, const CommandLine& line) {
  std::vector<std::string> patterns(words.begin() + 1, words.end());
  return run_function_8(words[0], nullptr, patterns, line);
}

}  // namespace cli
