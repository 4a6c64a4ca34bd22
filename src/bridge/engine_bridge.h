/* bridge/engine_bridge.h - the four archive operations the application runs through the engine.
 *
 * This is the only door from the application to the archive engine.  Each
 * operation builds one command record in a bridge object of its own (on the
 * stack, gone when the call returns), points the engine's callbacks at it,
 * calls the engine synchronously and returns the engine's result code; what
 * the engine reports on the way reaches the caller's UiProgressCallback.  The
 * bridge never reads the operation record: the caller passes every value.
 *
 *   zip_run              create or change an archive (ZIPCMDSTRUCT)
 *   extract_run          extract an archive (UNZIPCMDSTRUCT, function 8)
 *   list_archive         one ArchiveItem per item, plus the listing statistics
 *   archive_comment      the archive comment and the statistics of the last listing
 *   archive_has_encrypted_items  the question the performing page asks
 *   test_archive         expand every item and check it, writing nothing
 *
 * Texts are 8-bit strings (UTF-8), byte for byte as the engine takes them; a
 * null pointer and an empty text mean the same except where said.  Results are
 * the engine's codes (0 success; zip codes for zip_run, unzip codes for the
 * others); -1 means no archive path was given and the engine was not called.
 *
 * One operation runs at a time, on the UI thread.  The engine pumps the
 * application's events while it works, so a Stop button stays usable; an
 * operation started from inside a running one (from a callback or a pumped
 * event) is refused with the engine's busy code (zip 1, unzip 45) and leaves
 * the running one undisturbed.
 */
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/ui_progress.h"

class QWidget;

namespace bridge {

/// The program's instance: where its string table is (the bridge takes the
/// titles of engine messages from it).  The application passes core::load_string.
/// Null: the engine's own titles stay.
using ProgramInstance = const char* (*)(int string_id);

/// The zip side's "Could not create output file".
inline constexpr int32_t kZipCouldNotCreate = 15;

/// The result when no archive path was given: the engine is not called.
inline constexpr int32_t kNoArchivePath = -1;

/// The result of a listing, comment or extraction refused because another
/// operation runs (the unzip side's busy code).
inline constexpr int32_t kUnzipBusy = 45;

/// Function codes a zip run passes on to the engine; any other code runs as kZipAdd.
enum ZipFunction : int32_t {
  kZipFreshen = 1,  ///< replace entries whose file is newer
  kZipUpdate = 3,   ///< replace newer entries, add new files
  kZipAdd = 4,      ///< add or replace
};

/// How a zip run stores folder names.
enum PathMode : int32_t {
  kPathModeFolders = 1,    ///< names keep their folders; relative to the root folder when one is given
  kPathModeNoFolders = 2,  ///< bare file names, no folder entries
};

/// What an extract run does with files that exist already.
enum OverwriteMode : int32_t {
  kOverwriteAsk = 0,      ///< send 272 for every file and let the UI answer
  kOverwriteSkipAll = 2,  ///< report "Skipping '%s'..." for every file
  kOverwriteAll = 3,      ///< report "Overwritting '%s'..." for every file
};

/// Smallest part size of a split archive; a smaller size text is raised to it.
inline constexpr uint32_t kMinimumSplitSize = 65536;

struct ZipRunArguments {
  const char* archive_path = nullptr;  ///< null: the call ends at once with kNoArchivePath
  const char* item_list = nullptr;     ///< names and patterns, blank-separated, "quoted"
  const char* comment = nullptr;       ///< non-empty: becomes the archive comment
  const char* password = nullptr;      ///< non-empty: entries are AES-encrypted with it
  const char* root_folder = nullptr;   ///< non-empty with kPathModeFolders: names relative to the root
  const char* split_size_text = nullptr;  ///< decimal part size; non-empty with kZipAdd: split output
  const char* exclude_list = nullptr;  ///< non-empty: names and patterns that are never stored
  int32_t function_code = kZipAdd;     ///< ZipFunction; anything else runs as kZipAdd
  int32_t path_mode = kPathModeFolders;
  int32_t compression_level = 7;       ///< 0 store .. 9 best
  int32_t recurse = 1;                 ///< descend into the subfolders of selected folders
  bool wide_window = false;            ///< Deflate64 (64 KiB window); the wizard never asks for it
};

struct ExtractRunArguments {
  const char* archive_path = nullptr;  ///< null: the call ends at once with kNoArchivePath
  const char* file_pattern = nullptr;  ///< patterns of the items to extract ("*" for all files)
  const char* destination = nullptr;   ///< folder to extract into
  const char* item_list = nullptr;     ///< non-empty: replaces the pattern (", " separators allowed)
  const char* password = nullptr;      ///< non-empty: decrypts encrypted items
  int32_t recurse = 1;                 ///< patterns match items in any folder
  int32_t unused_word = 0;             ///< kept for the callers' argument list; ignored
  int32_t keep_folders = 1;            ///< 0: every item goes into the destination itself
  int32_t overwrite_mode = kOverwriteAsk;  ///< OverwriteMode
  int32_t* return_count = nullptr;     ///< in/out: given to the engine, receives its count
};

/// One archive item, as the listing shows it.
struct ArchiveItem {
  QString name;             ///< stored name
  QString crc_text;         ///< "0x%08X"
  QString method_name;      ///< "Deflate", "Store", ...
  QString ratio_text;       ///< "62.5%"
  QString attribute_text;   ///< "A-----E "
  QString date_text;        ///< "MM/DD/YYYY  hh:mm:ss"
  QString encryption_text;  ///< "none", "wZip AES-2 [256 bit]", ...
  bool is_folder = false;   ///< attribute bit 0x10
  uint64_t uncompressed_size = 0;
  uint64_t compressed_size = 0;
  int32_t item_number = 0;  ///< 0-based, directory order
};

/// What the most recent listing found.  Reset when a listing starts.
struct ListingStatistics {
  std::string archive_path;        ///< the archive the listing read ("" before any listing)
  uint64_t files = 0;
  uint64_t folders = 0;
  uint64_t total_uncompressed = 0;
  uint64_t total_compressed = 0;
  uint64_t encrypted = 0;          ///< items with attribute bit 0x8000
  uint8_t lowest_version_made_by = 255;  ///< lowest "version made by" number seen
  uint8_t lowest_host_system = 255;      ///< lowest "made by" host system seen
  uint8_t lowest_version_needed = 255;   ///< lowest "version needed to extract" seen
};

/// Result block of archive_comment().
struct ArchiveComment {
  std::string comment;           ///< the archive comment, bytes as stored
  ListingStatistics statistics;  ///< of the most recent listing
};

/// Zip run.  @return the zip entry's code; on success the UI callback's answer to the
/// final 257 report (so a Stop pressed during the last item gives non-zero).
int32_t zip_run(ProgramInstance instance, QWidget* window, const ZipRunArguments& args,
                UiProgressCallback* callback);
int32_t zip_run(ProgramInstance instance, QWidget* window, const char* archive_path,
                const char* item_list, const char* comment, const char* password,
                const char* root_folder, const char* split_size_text, int32_t function_code,
                int32_t path_mode, int32_t compression_level, int32_t recurse,
                UiProgressCallback* callback);

/// Extract run.  @return the unzip entry's code, with 49 (items skipped) counted as
/// success; on success the UI callback's answer to the final 257 report.
int32_t extract_run(ProgramInstance instance, QWidget* window, const ExtractRunArguments& args,
                    UiProgressCallback* callback);
int32_t extract_run(ProgramInstance instance, QWidget* window, const char* archive_path,
                    const char* file_pattern, const char* destination, const char* item_list,
                    const char* password, int32_t recurse, int32_t unused_word,
                    int32_t keep_folders, int32_t overwrite_mode, UiProgressCallback* callback,
                    int32_t* return_count = nullptr);

/// Archive test: every item (or those matching nothing but "*") expanded and its
/// CRC-32 or authentication code checked; nothing is written.  @return the
/// unzip entry's code unchanged (a skipped item, 49, is no success here).
int32_t test_archive(ProgramInstance instance, const char* archive_path, const char* password,
                     UiProgressCallback* callback);

/// The engine's text for a result code of its zip side and of its unzip side ("" when unknown).
const char* zip_result_text(int32_t code);
const char* unzip_result_text(int32_t code);

/// Archive listing: empties @p items, counts the archive's items into *@p count_ret
/// (may be null), then appends one ArchiveItem per item and gathers the statistics.
/// With a callback each change of the progress (0..24) is sent as 288; a non-zero
/// answer stops the listing with 48.  @return 0 or the engine's code.
int32_t list_archive(ProgramInstance instance, QWidget* window, const char* archive_path,
                     std::vector<ArchiveItem>* items, int32_t* count_ret,
                     UiProgressCallback* callback);

/// The archive comment, with the statistics of the most recent listing.
/// @return 0 or the engine's code.
int32_t archive_comment(ProgramInstance instance, QWidget* window, const char* archive_path,
                        ArchiveComment* result);

/// 1 when the most recent listing, made of this same archive, counted encrypted
/// items; else 0 (also when nothing or another archive was listed last).
int32_t archive_has_encrypted_items(ProgramInstance instance, QWidget* window,
                                    const char* archive_path);

/// The statistics of the most recent listing.
const ListingStatistics& listing_statistics();

}  // namespace bridge
