/* zip/selection_hooks.h - what the item selection needs from its caller, and what it gives back.
 *
 * The selection is a library that knows nothing of the command record or the
 * engine's thread state.  Its caller (the archive operation) fills a plain
 * options struct from the record and hands in small hook interfaces for every
 * service that belongs to the run: the major-status poll that may cancel, the
 * message display, the activity log, the rename callback, and a view of the
 * existing entries of the archive being updated.  Every hook may be left null:
 * then nothing is polled, no question is asked (the default answer is taken),
 * nothing is logged, nothing is renamed, and there are no existing entries.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrana {

// ---- option bits the selection reads ---------------------------------------

/// `wZipSubOptions` bits.
enum ZipSubOption : uint16_t {
  kSubRelativeToRoot = 1u << 0,   ///< names lose the item's root folder
  kSubSkipLongNames = 1u << 4,    ///< leave out files whose name is not 8.3
  kSubShortenNames = 1u << 5,     ///< shorten names to 8.3 form
  kSubCheckReadable = 1u << 6,    ///< a file must open for reading; ask Abort/Retry/Ignore
  kSubArchiveBitOnly = 1u << 9,   ///< only files with the archive attribute
  kSubClearArchiveBit = 1u << 10, ///< with bit 9: store without the archive attribute
  kSubCallRename = 1u << 13,      ///< call the rename callback for each selected file
  kSubNoLookup = 1u << 15         ///< do not look names up among the existing entries
};

/// `lZipSubOptions2` bits.
enum ZipSubOption2 : uint32_t {
  kSub2WholePathPatterns = 1u << 0,  ///< include/exclude patterns match the whole stored path
  kSub2ExtendedRename = 1u << 1,     ///< the extended rename record is used
  kSub2FollowLinks = 1u << 4         ///< symbolic links stand for what they point to
};

enum class SelectAction { kAdd, kUpdate, kFreshen, kDelete };

/// The options of one run, filled by the caller.  The defaults are the engine's
/// defaults before a run: folder parts kept, folder entries on, questions asked,
/// no recursion, no dosify, hidden and system files left out.
struct SelectionOptions {
  SelectAction action = SelectAction::kAdd;
  bool recurse = false;               ///< `recurseFlag`
  bool no_directory_names = false;    ///< `noDirectoryNamesFlag`
  bool no_directory_entries = false;  ///< `noDirectoryEntriesFlag`
  bool dosify = false;                ///< `dosifyFlag` bit 0
  bool include_sys_hidden = false;    ///< `includeSysHiddenFlag`
  /// `includeVolumeFlag`.  Linux volumes carry no label a file search reports,
  /// so this adds nothing; it is kept so the record's meaning stays whole.
  bool include_volume = false;
  bool ask_questions = true;          ///< not `quietFlag`
  uint16_t sub_options = 0;           ///< `wZipSubOptions`
  uint32_t sub_options2 = 0;          ///< `lZipSubOptions2`
  /// Files never selected whatever their name: the archive being written and
  /// the run's temporary file.  Compared by identity (device and inode), so any
  /// spelling of the path, a link to it or a hard link is caught.
  std::vector<std::string> never_select;
};

/// One selected file or folder: a node of the found list, or the new source of
/// an existing entry.
struct SelectedFile {
  std::string source_path;  ///< the file as the engine opens it
  std::string name;         ///< stored name ("/" separators; folders end in "/")
  uint32_t dos_datetime = 0;///< date in the high 16 bits, time in the low 16, local time
  uint32_t attributes = 0;  ///< DOS attributes (platform/file_info.h kDos*)
  uint64_t size = 0;        ///< bytes; 0 for folders; a link's: its target's length
  uint32_t unix_mode = 0;   ///< st_mode (0: not known); S_IFLNK: a symbolic link, stored as one
  int64_t mtime = -1;       ///< last write in UTC seconds; negative: not known

  bool is_folder() const { return (attributes & 0x10) != 0; }
};

/// A result of select_item that is not an engine code: a delete item that
/// matched no entry.  The item-list pass turns it into a warning.
constexpr int kSelectNoMatch = -1;

// ---- hooks -----------------------------------------------------------------

/// Major status: progress texts and the cancel poll.
class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  /// Reports @p text at @p percent; non-zero cancels the run.
  virtual int major_status(const char* text, int percent) = 0;
  /// Repeats the last report so the caller can cancel; non-zero cancels.
  virtual int poll() = 0;
  /// Lets the application handle its waiting events (the caller skips it with option bit 14).
  virtual void pump() {}
};

/// Display types and message-box styles the selection uses.
constexpr int kDisplayWarning = 12;       ///< "Ostrana Secure Zip Warning"
constexpr int kDisplaySkippingFile = 16;  ///< "Ostrana Secure Zip Skipping File"
constexpr unsigned kStyleOk = 0;
constexpr unsigned kStyleAbortRetryIgnore = 2;
constexpr int kButtonAbort = 3;
constexpr int kButtonRetry = 4;
constexpr int kButtonIgnore = 5;

/// Shows a message or asks a question; the caller validates the answer against
/// the style (and falls back to its own box) before returning it.
class MessageHook {
 public:
  virtual ~MessageHook() = default;
  /// @return the button id chosen (1 OK, 3 Abort, 4 Retry, 5 Ignore, ...).
  virtual int display(int type, unsigned style, const std::string& text) = 0;
};

/// One line of the run's activity log.
class ActivityLogHook {
 public:
  virtual ~ActivityLogHook() = default;
  virtual void write_line(const std::string& line) = 0;
};

/// What the rename callback may change for a selected file.
struct RenameRequest {
  std::string name;         ///< in/out: the stored name
  uint16_t dos_date = 0;    ///< in/out
  uint16_t dos_time = 0;    ///< in/out
  uint32_t attributes = 0;  ///< in/out; only the bits in kRenameAttributeMask are taken back
  std::string source_path;  ///< in
  uint64_t size = 0;        ///< in
};

/// Read-only, hidden, system and archive: the attribute bits a rename callback may change.
constexpr uint32_t kRenameAttributeMask = 0x27;

class RenameHook {
 public:
  virtual ~RenameHook() = default;
  virtual void rename(RenameRequest& request) = 0;
};

/// The existing entries of the archive, as the caller keeps them.
class ExistingEntries {
 public:
  virtual ~ExistingEntries() = default;
  virtual size_t entry_count() const = 0;
  /// The stored name of entry @p index.
  virtual std::string_view entry_name(size_t index) const = 0;
  /// Marks entry @p index: it is to be replaced (add/update/freshen) or deleted.
  virtual void mark_entry(size_t index) = 0;
  /// @p file becomes the new source of entry @p index.
  virtual void set_entry_source(size_t index, const SelectedFile& file) = 0;
};

/// The hooks of one run; any may be null.
struct SelectionHooks {
  ProgressHook* progress = nullptr;
  MessageHook* messages = nullptr;
  ActivityLogHook* activity_log = nullptr;
  RenameHook* rename = nullptr;  ///< called only with kSubCallRename
  ExistingEntries* existing = nullptr;
};

}  // namespace ostrana
