/* cli/zip_commands.cpp - `ostrana add`, `update`, `freshen` and `delete`.
 *
 * Each fills one ZIPCMDSTRUCT from the command line and runs the zip entry.
 * Items are files, folders or wildcard patterns; an item that names a folder
 * stands for that folder's whole content: it becomes FOLDER + "/" + "*.*" and the run
 * descends into subfolders (recursion is one setting of the run, so it then
 * applies to every item).  For delete the items are patterns of entry names.
 * Repeated --include and --exclude patterns are joined into the engine's
 * blank-separated lists, quoted where a pattern holds a blank.  -p encrypts
 * every entry written now with the traditional cipher, or with --aes with
 * PKWARE strong encryption (AES); entries copied from the archive keep
 * whatever encryption they had.
 */
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/zip_session.h"
#include "ostrana.h"

namespace cli {
namespace {

/// Compression level when -l is not given (the wizard uses 7 for "faster").
constexpr int kDefaultLevel = 6;

void append_item(std::string* list, const std::string& item) {
  if (!list->empty()) *list += ' ';
  if (item.find(' ') != std::string::npos) *list += '"' + item + '"';
  else *list += item;
}

bool is_folder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// --aes 128|192|256 as the key strength 1..3.
bool parse_aes(const std::string& text, int* strength_ret) {
  static const char* const kBits[] = {"128", "192", "256"};
  for (int i = 0; i < 3; ++i)
    if (text == kBits[i]) {
      *strength_ret = i + 1;
      return true;
    }
  return false;
}

bool parse_level(const std::string& text, int* level_ret) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 19) return false;
  *level_ret = static_cast<int>(v);
  return true;
}

int run_zip_command(int function, const std::vector<std::string>& words, const CommandLine& line) {
  ZipSession session(words[0], line.has(Opt::kQuiet));
  ZIPCMDSTRUCT cmd = session.record(function);

  std::string items;
  bool folder_item = false;
  for (size_t i = 1; i < words.size(); ++i) {
    std::string item = words[i];
    if (function != ZIP_DELETE && is_folder(item)) {
      while (item.size() > 1 && item.back() == '/') item.pop_back();
      item += item == "/" ? "*.*" : "/*.*";
      folder_item = true;
    }
    append_item(&items, item);
  }
  cmd.lpszItemList = items.c_str();

  int level = kDefaultLevel;
  if (line.has(Opt::kLevel) && !parse_level(line.value(Opt::kLevel), &level)) {
    std::fprintf(stderr, "ostrana: level must be a number from 0 to 19, not '%s'\n",
                 line.value(Opt::kLevel).c_str());
    return kUsageError;
  }
  cmd.compFactor = level;
  if (line.has(Opt::kAes) && !line.has(Opt::kPassword)) {
    std::fprintf(stderr, "ostrana: --aes needs a password (-p PW)\n");
    return kUsageError;
  }
  if (line.has(Opt::kPassword)) {
    cmd.encryptFlag = 1;
    cmd.lpszEncryptCode = line.value(Opt::kPassword).c_str();
  }
  if (line.has(Opt::kAes)) {
    int strength = 0;
    if (!parse_aes(line.value(Opt::kAes), &strength)) {
      std::fprintf(stderr, "ostrana: --aes takes 128, 192 or 256, not '%s'\n", line.value(Opt::kAes).c_str());
      return kUsageError;
    }
    cmd.lZipSubOptions2 |= ZIP_OPT2_AES;
    cmd.lSEInfo = strength;
  }
  cmd.recurseFlag = line.has(Opt::kRecurse) || folder_item ? 1 : 0;
  cmd.noDirectoryNamesFlag = line.has(Opt::kJunkPaths) ? 1 : 0;
  cmd.noDirectoryEntriesFlag = line.has(Opt::kNoDirEntries) ? 1 : 0;
  cmd.deleteOriginalFlag = line.has(Opt::kMove) ? 1 : 0;
  cmd.growExistingFlag = line.has(Opt::kGrow) ? 1 : 0;
  cmd.fixFlag = line.has(Opt::kFix) || line.has(Opt::kFixHarder) ? 1 : 0;
  cmd.fixHarderFlag = line.has(Opt::kFixHarder) ? 1 : 0;
  cmd.LargeZIPFilesFlag = line.has(Opt::kZip64) ? 1 : 0;
  cmd.includeSysHiddenFlag = line.has(Opt::kHidden) ? 1 : 0;
  cmd.convertLFtoCRLFFlag = line.has(Opt::kText) ? 1 : 0;
  if (line.has(Opt::kRelative)) cmd.wZipSubOptions |= ZIP_OPT_RELATIVE_TO_ROOT;

  std::string includes, excludes;
  for (const std::string& p : line.all(Opt::kInclude)) append_item(&includes, p);
  for (const std::string& p : line.all(Opt::kExclude)) append_item(&excludes, p);
  cmd.includeOnlyFollowingFlag = includes.empty() ? 0 : 1;
  cmd.lpszIncludeFollowing = includes.c_str();
  cmd.excludeFollowingFlag = excludes.empty() ? 0 : 1;
  cmd.lpszExludeFollowing = excludes.c_str();
  if (line.has(Opt::kComment)) {
    cmd.addCommentFlag = 1;
    cmd.lpszComment = line.value(Opt::kComment).c_str();
  }
  if (line.has(Opt::kAfter)) {
    cmd.afterDateFlag = 1;
    cmd.lpszDate = line.value(Opt::kAfter).c_str();
  }
  if (line.has(Opt::kStoreSuffixes)) {
    cmd.dontCompressTheseSuffixesFlag = 1;
    cmd.lpszStoreSuffixes = line.value(Opt::kStoreSuffixes).c_str();
  }
  if (line.has(Opt::kTemp)) {
    cmd.pathForTempFlag = 1;
    cmd.lpszTempPath = line.value(Opt::kTemp).c_str();
  }

  int rc = session.run(&cmd);
  if (rc != 0) session.print_error(rc);
  return rc;
}

}  // namespace

int run_add(const std::vector<std::string>& words, const CommandLine& line) {
  return run_zip_command(ZIP_ADD, words, line);
}

int run_update(const std::vector<std::string>& words, const CommandLine& line) {
  return run_zip_command(ZIP_UPDATE, words, line);
}

int run_freshen(const std::vector<std::string>& words, const CommandLine& line) {
  return run_zip_command(ZIP_FRESHEN, words, line);
}

int run_delete(const std::vector<std::string>& words, const CommandLine& line) {
  return run_zip_command(ZIP_DELETE, words, line);
}

}  // namespace cli
