/* engine/unzip/unzip_functions.cpp - functions 1 to 7 of the unzip entry: the archive's contents.
 *
 * The loaded directory lasts between calls, so that function 2 (or 4) walks
 * the archive one item per call.  It is reloaded whenever it is not current for
 * the archive named in the record (another path, or the file changed since),
 * and by the counting functions 1 and 3, which also start the walk again from
 * the first item.
 */
#include "engine/unzip/unzip_functions.h"

#include <cerrno>
#include <vector>

#include "engine/common/append_rollback.h"
#include "engine/common/archive_input.h"
#include "engine/common/archive_lock.h"
#include "engine/common/entry_names.h"
#include "engine/unzip/volume_input.h"
#include "engine/common/short_name.h"
#include "engine/unzip/item_info.h"
#include "engine/unzip/unzip_run.h"
#include "platform/file_info.h"

namespace ostrana {
namespace {

constexpr int kOpenAttempts = 5;

DirectoryOptions directory_options(const UnzipRun& run) {
  DirectoryOptions options;
  options.names_in_engine_code_page = (run.cmd.wUnzipSubOptions & UNZIP_OPT_ANSI_NAMES) != 0;
  return options;
}

/// The identity that guards the loaded directory: the archive file's, or for
/// byte pieces the last piece's with the whole chain's length (a piece that
/// went or came changes it).
int archive_identity(const UnzipRun& run, platform::FileInfo* file) {
  if (!run.pieces.active()) return platform::file_info(run.archive_path, file);
  if (int err = platform::file_info(run.pieces.last_piece_path(), file)) return err;
  file->size = static_cast<uint64_t>(run.pieces.length());
  return 0;
}

bool directory_is_current(const UnzipThreadState& state) {
  const UnzipRun& run = state.run;
  if (!state.directory.loaded()) return false;
  platform::FileInfo file;
  if (archive_identity(run, &file) != 0) return false;
  return state.directory.is_current(run.archive_path, file, directory_options(run));
}

// Loads the directory of the open archive afresh; the walk starts at item 0.
int load_directory(UnzipThreadState& state, VolumeInput& in, int detail_id) {
  UnzipRun& run = state.run;
  state.directory.clear();
  platform::FileInfo file;
  if (!run.archive.is_open() || archive_identity(run, &file) != 0)
    return unzip_report_message(run, OU_FILE_NOT_FOUND, detail_id);
  DirectoryFailure why = DirectoryFailure::kNone;
  int rc = state.directory.load(in, directory_options(run), &why);
  if (rc != OU_SUCCESS && why == DirectoryFailure::kEndNotFound && run.pieces.active() && run.pieces.may_continue()) {
    // Pieces of one size and no end record: the cut most likely goes on.
    std::string detail = run.messages.format(kUnzipMsgPieceMissing, 2, run.archive_path.c_str(),
                                             run.pieces.next_piece_name().c_str());
    return unzip_report(run, rc, detail.c_str());
  }
  if (rc != OU_SUCCESS) {
    if (why == DirectoryFailure::kCountMismatch && !run.quiet) run.display(3, OSTRANA_MB_OK, 0, 0);
    if (why == DirectoryFailure::kOverlap) return unzip_report(run, rc, state.directory.failure_detail().c_str());
    return unzip_report_message(run, rc, detail_id);
  }
  state.directory.set_identity(run.archive_path, file);
  state.directory.set_position(0);
  const uint64_t preamble = state.directory.end().preamble_nbytes;
  if (preamble != 0 && !run.quiet) {
    // Bytes were put in front of the archive (a self-extractor stub) without
    // its offsets being moved: it is read with the correction, and said so once.
    std::string text = run.messages.format(kUnzipMsgPreamble, 0, run.archive_path.c_str(), static_cast<long>(preamble));
    run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK, 0, 0, text.c_str());
  }
  return OU_SUCCESS;
}

// Loads the directory unless it is current.
int need_directory(UnzipThreadState& state, int detail_id) {
  if (directory_is_current(state)) return OU_SUCCESS;
  if (!state.run.archive.is_open()) {
    // Functions 2 and 4 skipped the open for a directory that was current then.
    if (int rc = unzip_open_archive(state)) return rc;
  }
  VolumeInput in(state.run);
  return load_directory(state, in, detail_id);
}

// Exactly one of zInfo and pZipInfoEx.
bool has_one_info_record(const UNZIPCMDSTRUCT& c) { return (c.zInfo != nullptr) != (c.pZipInfoEx != nullptr); }

void fill_info(UnzipRun& run, const DirectoryEntry& e) {
  bool short_form = (run.cmd.wUnzipSubOptions & UNZIP_OPT_SHORT_NAMES) != 0;
  if (run.cmd.zInfo != nullptr) fill_zinfo(e, short_form, run.cmd.zInfo);
  else fill_zipinfoex(e, short_form, run.cmd.pZipInfoEx);
}

// The pattern list of lpszFilespec, or a report.
int need_patterns(UnzipRun& run, const SelectionRules& rules) {
  if (!run.filespec_given) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgNoNameOrFilespec);
  if (!rules.patterns.quotes_balanced) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgQuotesMismatched);
  if (rules.patterns.patterns.empty()) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgEmptyNameOrFilespec);
  return OU_SUCCESS;
}

int count_items(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  VolumeInput in(run);
  if (int rc = load_directory(state, in, kUnzipMsgProblemReading)) return rc;
  bool short_only = (run.cmd.wUnzipSubOptions & UNZIP_OPT_SKIP_LONG_NAMES) != 0;
  run.cmd.returnCount = static_cast<int32_t>(state.directory.count(short_only));
  return OU_SUCCESS;
}

int next_item_info(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  if (!has_one_info_record(run.cmd)) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgNoCommandStructure);
  if (!directory_is_current(state)) {
    if (int rc = need_directory(state, kUnzipMsgProblemReading)) return rc;
    bool short_only = (run.cmd.wUnzipSubOptions & UNZIP_OPT_SKIP_LONG_NAMES) != 0;
    if (state.directory.count(short_only) == 0)
      return unzip_report_message(run, OU_UNEXPECTED_EOF, kUnzipMsgNoMoreItems);
  }
  DirectoryEntry e;
  int rc = state.directory.next((run.cmd.wUnzipSubOptions & UNZIP_OPT_SKIP_LONG_NAMES) != 0, &e);
  if (rc == OU_UNEXPECTED_EOF) return unzip_report_message(run, rc, kUnzipMsgNoMoreItems);
  if (rc != OU_SUCCESS) return unzip_report_message(run, rc, kUnzipMsgProblemReading);
  fill_info(run, e);
  return OU_SUCCESS;
}

int count_matches(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  SelectionRules rules = selection_rules_of(run);
  if (int rc = need_patterns(run, rules)) return rc;
  if (int rc = need_directory(state, kUnzipMsgProblemReading)) return rc;
  int32_t matches = 0;
  for (uint64_t i = 0; i < state.directory.size(); ++i) {
    DirectoryEntry e;
    if (int rc = state.directory.entry(i, &e)) return unzip_report_message(run, rc, kUnzipMsgProblemReading);
    if (item_selected(e, rules) && matches < INT32_MAX) ++matches;
  }
  run.cmd.returnCount = matches;
  state.directory.set_position(0);
  return OU_SUCCESS;
}

int next_match_info(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  if (!has_one_info_record(run.cmd)) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgNoCommandStructure);
  SelectionRules rules = selection_rules_of(run);
  if (int rc = need_patterns(run, rules)) return rc;
  if (int rc = need_directory(state, kUnzipMsgProblemReading)) return rc;
  for (;;) {
    DirectoryEntry e;
    int rc = state.directory.next(false, &e);
    if (rc == OU_UNEXPECTED_EOF) return unzip_report_message(run, rc, kUnzipMsgNoMoreItems);
    if (rc != OU_SUCCESS) return unzip_report_message(run, rc, kUnzipMsgProblemReading);
    if (item_selected(e, rules)) {
      fill_info(run, e);
      return OU_SUCCESS;
    }
  }
}

// The archive comment as text: UTF-8 when it is valid UTF-8, else read as CP437
// (the comment has no flag bit to say which); unchanged with option bit 11.
int read_comment_of_archive(UnzipRun& run, std::vector<uint8_t>* comment) {
  VolumeInput in(run);
  int rc = read_comment(in, comment);
  if (rc != OU_SUCCESS) comment->clear();
  if (rc == OU_SUCCESS && !directory_options(run).names_in_engine_code_page) {
    const std::string shown = shown_text(std::string_view(reinterpret_cast<const char*>(comment->data()), comment->size()), false);
    comment->assign(shown.begin(), shown.end());
  }
  return rc;
}

int comment_length(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  std::vector<uint8_t> comment;
  int rc = read_comment_of_archive(run, &comment);
  run.cmd.returnCount = static_cast<int32_t>(comment.size());
  if (rc != OU_SUCCESS) return unzip_report_message(run, rc, kUnzipMsgStructuralProblem);
  return OU_SUCCESS;
}

int comment_text(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  if (run.cmd.lpszReturnString == nullptr) return unzip_report(run, OU_SYNTAX);
  std::vector<uint8_t> comment;
  int rc = read_comment_of_archive(run, &comment);
  run.cmd.returnCount = copy_comment(comment, run.cmd.lpszReturnString, run.cmd.returnCount);
  if (rc != OU_SUCCESS) return unzip_report_message(run, rc, kUnzipMsgStructuralProblem);
  return OU_SUCCESS;
}

int item_info(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  if (!has_one_info_record(run.cmd)) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgNoCommandStructure);
  if (int rc = need_directory(state, kUnzipMsgProblemReading)) return rc;
  if (run.cmd.index < 0 || static_cast<uint64_t>(run.cmd.index) >= state.directory.size())
    return unzip_report_message(run, OU_INDEX_OUT_OF_BOUNDS, kUnzipMsgIndexOutOfRange);
  DirectoryEntry e;
  int rc = state.directory.item(static_cast<uint64_t>(run.cmd.index), &e);
  if (rc != OU_SUCCESS) return unzip_report_message(run, rc, kUnzipMsgProblemReading);
  if ((run.cmd.wUnzipSubOptions & UNZIP_OPT_SKIP_LONG_NAMES) && !is_short_name(e.name))
    return unzip_report_message(run, OU_SYNTAX, kUnzipMsgIndexLongName);
  fill_info(run, e);
  return OU_SUCCESS;
}

}  // namespace

int unzip_need_directory(UnzipThreadState& state, VolumeInput& in, int detail_id) {
  if (directory_is_current(state)) {
    in.adopt_layout(state.directory.end());
    return OU_SUCCESS;
  }
  return load_directory(state, in, detail_id);
}

SelectionRules selection_rules_of(const UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  SelectionRules rules;
  rules.patterns = parse_pattern_list(run.filespec.c_str());
  rules.recurse = c.recurseFlag != 0;
  rules.skip_long_names = (c.wUnzipSubOptions & UNZIP_OPT_SKIP_LONG_NAMES) != 0;
  rules.short_names = (c.wUnzipSubOptions & UNZIP_OPT_SHORT_NAMES) != 0;
  rules.no_directory_items = c.noDirectoryItemsFlag != 0;
  rules.no_directory_names = c.noDirectoryNamesFlag != 0;
  rules.freshen = c.freshenFlag != 0;
  rules.update = c.updateFlag != 0;
  rules.destination = run.destination;
  return rules;
}

namespace {

/// An append that a killed run left unfinished is undone before the archive is
/// read (under the archive's lock: a live appending run is waited for).
int settle_unfinished_append(UnzipRun& run) {
  if (!platform::path_entry_exists(rollback_path(run.archive_path))) return OU_SUCCESS;
  platform::FileLock lock;
  std::string text;
  ArchiveLockHooks hooks;
  hooks.waiting = [&run](const std::string& notice) {
    if (!run.quiet) run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK, 0, 0, notice.c_str());
  };
  if (lock_archive_for_update(run.archive_path, &lock, hooks, &text) != ArchiveLockResult::kLocked)
    return unzip_report(run, OU_BUSY, text.c_str());
  switch (restore_from_rollback(run.archive_path, &text)) {
    case RollbackOutcome::kRestored:
      text = run.archive_path + ": an append that did not finish was undone; the archive is as it was before";
      if (!run.quiet) run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK, 0, 0, text.c_str());
      break;
    case RollbackOutcome::kFailed: return unzip_report(run, OU_ARCHIVE_OPEN_FAILED, text.c_str());
    case RollbackOutcome::kNone:
    case RollbackOutcome::kDiscarded: break;
  }
  return OU_SUCCESS;
}

}  // namespace

int unzip_open_archive(UnzipThreadState& state) {
  UnzipRun& run = state.run;
  const int function = run.cmd.Function;
  if (function == UNZIP_MEMTOMEM) return OU_SUCCESS;
  if ((function == UNZIP_NEXT_ITEM_INFO || function == UNZIP_NEXT_MATCH_INFO) && directory_is_current(state))
    return OU_SUCCESS;
  if (int rc = settle_unfinished_append(run)) return rc;
  int err = 0;
  platform::FileInfo info;
  if (platform::file_info(run.archive_path, &info) == 0 && info.is_special()) {
    // A FIFO would block the reader, a device is no archive: refused at once.
    const std::string detail = run.archive_path + ": a " + platform::file_kind_text(info.kind) + ", not an archive file";
    return unzip_report(run, OU_FILE_NOT_FOUND, detail.c_str());
  }
  const std::string first = PieceChain::first_piece_of(run.archive_path);
  if (!first.empty()) {
    // NAME.zip.001, .002, ...: read as one file from here on, named by its first piece.
    std::string missing;
    if (run.pieces.open(first, &missing) != 0) {
      if (missing.empty()) return unzip_report(run, OU_FILE_NOT_FOUND, first.c_str());
      std::string detail = run.messages.format(kUnzipMsgPieceMissing, 2, first.c_str(), missing.c_str());
      return unzip_report(run, OU_FILE_NOT_FOUND, detail.c_str());
    }
    run.archive_path = first;
  }
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    err = run.archive.open(run.archive_path, platform::File::Mode::kRead);
    if (err == 0) return OU_SUCCESS;
    if (err == ENOENT || err == ENOTDIR || err == EACCES || err == EISDIR || err == ENAMETOOLONG ||
        err == ELOOP || err == ENXIO)
      break;  // a retry cannot change these
  }
  int detail = function == UNZIP_COUNT_ITEMS ? kUnzipMsgNoValidZip
               : function == UNZIP_COMMENT_SIZE || function == UNZIP_COMMENT ? kUnzipMsgProblemOpening
                                                                              : kUnzipMsgProblemReading;
  return unzip_report_message(run, OU_FILE_NOT_FOUND, detail);
}

int unzip_information_function(UnzipThreadState& state) {
  switch (state.run.cmd.Function) {
    case UNZIP_COUNT_ITEMS: return count_items(state);
    case UNZIP_NEXT_ITEM_INFO: return next_item_info(state);
    case UNZIP_COUNT_MATCHES: return count_matches(state);
    case UNZIP_NEXT_MATCH_INFO: return next_match_info(state);
    case UNZIP_COMMENT_SIZE: return comment_length(state);
    case UNZIP_COMMENT: return comment_text(state);
    case UNZIP_ITEM_INFO: return item_info(state);
    default: return unzip_report_message(state.run, OU_SYNTAX, kUnzipMsgUnknownFunction);
  }
}

}  // namespace ostrana
