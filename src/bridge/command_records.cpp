/* bridge/command_records.cpp - the command records a zip run and an extract run hand the engine.
 *
 * The values are those the wizard has always sent: quiet runs (the wizard
 * shows its own outcome), the minor callback allowed to cancel, AES-256 for a
 * password on a new entry, extracted items given to the extended rename
 * callback (which is how the overwrite question reaches the UI), and output
 * of failed items kept (0x242: bits 1, 6 and 9).
 *
 * One value is mended: a zip run allows Zip64 (LargeZIPFilesFlag 1), which
 * the wizard's runs once never asked for, so a file of 4 GiB or more, or a
 * folder of more than 65,534 files, could not be archived at all.  The engine
 * writes Zip64 records only where a value overflows its field, so every other
 * archive comes out as it did before.
 */
#include "bridge/command_records.h"

#include <cctype>
#include <cstring>

#include "bridge/bridge_callbacks.h"

namespace bridge {
namespace {

bool is_empty(const char* text) { return text == nullptr || *text == '\0'; }

// wUnzipSubOptions of an extract run: the minor callback may cancel (bit 1),
// a failed item's output is kept (bit 6), no label check on multi-volume
// disks (bit 9).
constexpr uint16_t kExtractSubOptions = UNZIP_OPT_MINOR_CANCELS | UNZIP_OPT_KEEP_FAILED |
                                        UNZIP_OPT_NO_LABEL_CHECK;
static_assert(kExtractSubOptions == 0x242);

// wMultiVolControl of a split run: multi-volume output (bit 15) as split files (bit 14).
constexpr uint16_t kSplitVolumeControl = 0xC000;

// lSEInfo with a password: every bit set, so the key strength bits say 3 (256 bits).
constexpr int32_t kAesStrongest = -1;

}  // namespace

int32_t zip_function_of(int32_t function_code) {
  switch (function_code) {
    case kZipFreshen:
    case kZipUpdate:
    case kZipAdd:
      return function_code;
    default:
      return kZipAdd;
  }
}

std::string zip_item_list_text(const char* item_list) {
  std::string text = item_list ? item_list : "";
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string extract_filespec_text(const char* file_pattern, const char* item_list) {
  std::string text;
  if (!is_empty(item_list)) {
    text = item_list;
    for (size_t at = text.find(", "); at != std::string::npos; at = text.find(", ", at + 1))
      text.replace(at, 2, " ");
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  text = file_pattern ? file_pattern : "";
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

uint32_t split_size_of(const char* text) {
  uint64_t value = 0;
  if (text != nullptr) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    for (; std::isdigit(static_cast<unsigned char>(*p)) && value <= 0xFFFFFFFFu; ++p)
      value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (negative) value = 0;
    if (value > 0xFFFFFFFFu) value = 0xFFFFFFFFu;
  }
  return value < kMinimumSplitSize ? kMinimumSplitSize : static_cast<uint32_t>(value);
}

void build_zip_record(const ZipRunArguments& args, EngineBridge& bridge) {
  ZIPCMDSTRUCT& r = bridge.zip;
  std::memset(&r, 0, sizeof r);
  r.structSize = ZIPCMDSTRUCT_SIZE_L600;

  r.Function = zip_function_of(args.function_code);
  r.lpszZIPFile = args.archive_path;
  bridge.record_text = zip_item_list_text(args.item_list);
  r.lpszItemList = bridge.record_text.c_str();
  r.lpMajorStatus = major_status;
  r.lpMajorUserData = &bridge;
  r.lpMinorStatus = minor_status;
  r.lpMinorUserData = &bridge;
  r.recurseFlag = args.recurse;
  r.compFactor = args.compression_level + (args.wide_window ? 10 : 0);
  r.quietFlag = 1;
  const int32_t no_folders = args.path_mode == kPathModeNoFolders ? 1 : 0;
  r.noDirectoryNamesFlag = no_folders;
  r.noDirectoryEntriesFlag = no_folders;
  r.addCommentFlag = is_empty(args.comment) ? 0 : 1;
  r.lpszComment = args.comment;
  r.LargeZIPFilesFlag = 1;  // Zip64 where a value overflows, nowhere else

  if (!is_empty(args.exclude_list)) {
    r.excludeFollowingFlag = 1;
    r.lpszExludeFollowing = args.exclude_list;
  }

  r.lZipSubOptions2 = ZIP_OPT2_MATCH_WHOLE_PATH;
  if (!is_empty(args.password)) {
    r.encryptFlag = 1;
    r.lpszEncryptCode = args.password;
    r.lSEInfo = kAesStrongest;
    r.lZipSubOptions2 |= ZIP_OPT2_AES;
  }
  r.wZipSubOptions = ZIP_OPT_MINOR_CANCELS;
  if (args.path_mode == kPathModeFolders && !is_empty(args.root_folder))
    r.wZipSubOptions |= ZIP_OPT_RELATIVE_TO_ROOT;

  BridgeState& state = bridge_state();
  if (r.Function == kZipAdd && !is_empty(args.split_size_text)) {
    state.split_sizes[0] = split_size_of(args.split_size_text);
    state.split_sizes[1] = 0;
    r.wMultiVolControl = kSplitVolumeControl;
    r.pulFileSizeArray = state.split_sizes;
  }
}

void build_extract_record(const ExtractRunArguments& args, EngineBridge& bridge) {
  UNZIPCMDSTRUCT& r = bridge.unzip;
  std::memset(&r, 0, sizeof r);
  r.structSize = UNZIPCMDSTRUCT_SIZE_L600;

  r.Function = UNZIP_EXTRACT;
  r.lpszZIPFile = args.archive_path;
  r.lpszDestination = args.destination;
  bridge.record_text = extract_filespec_text(args.file_pattern, args.item_list);
  r.lpszFilespec = bridge.record_text.c_str();
  r.index = -1;
  r.zInfo = nullptr;
  r.quietFlag = 1;
  r.recurseFlag = args.recurse;
  const int32_t flat = args.keep_folders == 0 ? 1 : 0;
  r.noDirectoryNamesFlag = flat;
  r.noDirectoryItemsFlag = flat;
  r.decryptFlag = is_empty(args.password) ? 0 : 1;
  r.lpszDecryptCode = args.password;
  r.lpMajorStatus = major_status;
  r.lpMajorUserData = &bridge;
  r.lpMinorStatus = minor_status;
  r.lpMinorUserData = &bridge;
  r.lpMessageDisplay = message_display;
  r.lpMessageDisplayData = &bridge;
  r.wUnzipSubOptions = kExtractSubOptions;
  r.lUnZipSubOptions2 = UNZIP_OPT2_RENAME_EX;
  r.lpRenameProc = nullptr;
  r.lpRenameProcEX = overwrite_request;
  r.lpRenameUserData = &bridge;
  r.pZipInfoEx = &bridge.info;
  if (args.return_count != nullptr) r.returnCount = *args.return_count;
}

void build_info_record(int32_t function, const char* archive_path, EngineBridge& bridge) {
  UNZIPCMDSTRUCT& r = bridge.unzip;
  std::memset(&r, 0, sizeof r);
  r.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  r.Function = function;
  r.lpszZIPFile = archive_path;
  r.index = -1;
  r.quietFlag = 1;  // a listing that fails is the page's verdict line, never a message box
}

}  // namespace bridge
