/* cli/zip_commands.cpp - `ostrana add`, `update`, `freshen` and `delete`.
 *
 * Each fills one ZIPCMDSTRUCT from the command line and runs the zip entry.
 * Items are files, folders or wildcard patterns; an item that names a folder
 * stands for that folder's whole content: it becomes FOLDER + "/" + "*.*" and the run
 * descends into subfolders (recursion is one setting of the run, so it then
 * applies to every item).  For delete the items are patterns of entry names.
 * Repeated --include and --exclude patterns are joined into the engine's
 * blank-separated lists, quoted where a pattern holds a blank.  An add or
 * update item that names nothing on the disk is named in a warning first.  -p encrypts
 * every entry written now with the traditional cipher, or with --aes with
 * PKWARE strong encryption (AES); entries copied from the archive keep
 * whatever encryption they had.
 *
 * --split SIZE[,SIZE...] becomes the engine's volume size list: the first
 * size is element 0 (every part without its own) and also part 1's, the
 * following ones parts 2, 3, ...; split parts may lie on any drive.  --span
 * lets the session answer the engine's disk requests from the terminal.
 */

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/zip_session.h"
#include "ostrana.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/processors.h"

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
  platform::FileInfo info;
  return platform::file_info(path, &info) == 0 && info.is_folder();
}

/// An item that names no file and holds no wildcard cannot match anything:
/// the engine only learns "nothing to do" (12) or leaves it out, so the user
/// is told which name it was.
void warn_if_missing(const std::string& item) {
  if (item.find_first_of("*?") == std::string::npos && !platform::path_entry_exists(item))
    std::fprintf(stderr, "ostrana: %s: no such file or folder\n", item.c_str());
}

/// "1000000", "64k", "1m" (1024-based units).  @return false for anything else.
bool parse_size(const std::string& text, uint64_t* size_ret) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || end == text.c_str() || text[0] == '-') return false;
  uint64_t unit = 1;
  if (*end == 'k' || *end == 'K') unit = 1024, ++end;
  else if (*end == 'm' || *end == 'M') unit = 1024 * 1024, ++end;
  else if (*end == 'g' || *end == 'G') unit = 1024ull * 1024 * 1024, ++end;
  if (*end != '\0' || v == 0 || v > (UINT64_MAX >> 1) / unit) return false;
  *size_ret = v * unit;
  return true;
}

/// The engine's size list (64-bit words, low first, zero-terminated) from
/// "SIZE[,SIZE...]".  @return false for a bad size.
bool parse_size_list(const std::string& text, std::vector<uint32_t>* words_ret) {
  std::vector<uint64_t> sizes;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    uint64_t size = 0;
    if (!parse_size(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), &size))
      return false;
    sizes.push_back(size);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  sizes.insert(sizes.begin(), sizes.front());  // element 0: the parts without their own
  words_ret->clear();
  for (uint64_t s : sizes) {
    words_ret->push_back(static_cast<uint32_t>(s));
    words_ret->push_back(static_cast<uint32_t>(s >> 32));
  }
  words_ret->push_back(0);
  words_ret->push_back(0);
  return true;
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

/// A whole number from @p lo to @p hi.
bool parse_number(const std::string& text, long lo, long hi, int* value_ret) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < lo || v > hi) return false;
  *value_ret = static_cast<int>(v);
  return true;
}

bool parse_level(const std::string& text, int* level_ret) { return parse_number(text, 0, 19, level_ret); }
bool parse_threads(const std::string& text, int* threads_ret) { return parse_number(text, 1, 256, threads_ret); }

int run_zip_command(int function, const std::vector<std::string>& words, const CommandLine& line) {
  ZipSession session(words[0], line.has(Opt::kQuiet));
  ZIPCMDSTRUCT cmd = session.record(function);

  std::string items;
  bool folder_item = false;
  for (size_t i = 1; i < words.size(); ++i) {
    std::string item = words[i];
    if ((function == ZIP_ADD || function == ZIP_UPDATE) && !line.has(Opt::kQuiet)) warn_if_missing(item);
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
  if (line.has(Opt::kThreads)) {
    int threads = 0;
    if (!parse_threads(line.value(Opt::kThreads), &threads)) {
      std::fprintf(stderr, "ostrana: --threads takes a number from 1 to 256, not '%s'\n",
                   line.value(Opt::kThreads).c_str());
      return kUsageError;
    }
    if (threads == 1) cmd.lZipSubOptions2 |= ZIP_OPT2_ONE_THREAD;
    else platform::set_threads_setting(threads);
  }
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
  if (line.has(Opt::kAesFormat)) {
    const std::string& format = line.value(Opt::kAesFormat);
    if (!line.has(Opt::kAes) || (format != "strong" && format != "winzip")) {
      std::fprintf(stderr, "ostrana: --aes-format takes strong or winzip, with --aes, not '%s'\n", format.c_str());
      return kUsageError;
    }
    if (format == "winzip") cmd.lZipSubOptions2 |= ZIP_OPT2_AES_ZIP_FORMAT;
  }
  if (line.has(Opt::kFollowLinks)) cmd.lZipSubOptions2 |= ZIP_OPT2_FOLLOW_LINKS;
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

  std::vector<uint32_t> sizes;
  if (line.has(Opt::kSplit) && line.has(Opt::kSpan)) {
    std::fprintf(stderr, "ostrana: --split and --span do not go together\n");
    return kUsageError;
  }
  if (line.has(Opt::kSplit)) {
    if (!parse_size_list(line.value(Opt::kSplit), &sizes)) {
      std::fprintf(stderr, "ostrana: --split takes sizes such as 1000000, 64k or 1m,2m, not '%s'\n",
                   line.value(Opt::kSplit).c_str());
      return kUsageError;
    }
    cmd.wMultiVolControl = ZIP_MV_ENABLED | ZIP_MV_SPLIT | ZIP_MV_64BIT_SIZES;
    cmd.pulFileSizeArray = sizes.data();
    cmd.wZipSubOptions |= ZIP_OPT_ANY_MEDIA;
  }
  if (line.has(Opt::kSpan)) {
    cmd.wMultiVolControl = ZIP_MV_ENABLED;
    if (line.has(Opt::kWipe) || line.has(Opt::kWipeTree)) cmd.wMultiVolControl |= ZIP_MV_WIPE;
    if (line.has(Opt::kWipeTree)) cmd.wMultiVolControl |= ZIP_MV_WIPE_TREE;
    if (line.has(Opt::kWipeProtected)) cmd.wMultiVolControl |= ZIP_MV_WIPE_PROTECTED;
    if (line.has(Opt::kFormat)) cmd.wMultiVolControl |= ZIP_MV_FORMAT;
    if (line.has(Opt::kLowDensity)) cmd.wMultiVolControl |= ZIP_MV_LOW_DENSITY;
    // The engine also waives the removable-drive check when event pumping is
    // off (option bit 14); pumping is a no-op here, so the bit is cleared and
    // --any-media alone decides.
    cmd.wZipSubOptions &= static_cast<uint16_t>(~ZIP_OPT_NO_PUMP);
    if (line.has(Opt::kAnyMedia)) cmd.wZipSubOptions |= ZIP_OPT_ANY_MEDIA;
    session.ask_for_disks();
  } else if (line.has(Opt::kWipe) || line.has(Opt::kWipeTree) || line.has(Opt::kWipeProtected) ||
             line.has(Opt::kFormat) || line.has(Opt::kLowDensity) || line.has(Opt::kAnyMedia)) {
    std::fprintf(stderr, "ostrana: the disk options go with --span only\n");
    return kUsageError;
  }

  int rc = session.run(&cmd);
  if (rc != 0) session.print_error(rc);
  if (rc == OZ_TOO_BIG && cmd.LargeZIPFilesFlag == 0)
    std::fprintf(stderr, "ostrana: run the command again with --zip64 to write Zip64 records\n");
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
