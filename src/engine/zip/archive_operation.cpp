/* engine/zip/archive_operation.cpp - setup, selection and the decision for every entry.
 *
 * In order: the pattern list; the existing archive, read and checked; the
 * run's settings (compression, comment, store suffixes); the item selection;
 * then, for every existing entry that the selection marked, whether it is
 * really processed, and which new files are kept.  A run with nothing to do
 * ends here; otherwise the plan goes to the writing part.
 */
#include "engine/zip/archive_operation.h"

#include "engine/common/ascii_case.h"
#include "engine/common/zip_extra.h"
#include "engine/zip/item_selection.h"
#include "engine/zip/zip_output.h"
#include "engine/zip/zip_run.h"
#include "engine/zip/zip_sources.h"
#include "platform/file_info.h"

namespace ostrana {
namespace {

/// Without LargeZIPFilesFlag an archive holds at most this many entries.
constexpr size_t kMaxEntriesWithoutZip64 = 65534;

ZipAction action_of(int32_t function) {
  switch (function) {
    case ZIP_FRESHEN: return ZipAction::kFreshen;
    case ZIP_DELETE: return ZipAction::kDelete;
    case ZIP_UPDATE: return ZipAction::kUpdate;
    default: return ZipAction::kAdd;
  }
}

SelectAction select_action_of(ZipAction a) {
  switch (a) {
    case ZipAction::kFreshen: return SelectAction::kFreshen;
    case ZipAction::kDelete: return SelectAction::kDelete;
    case ZipAction::kUpdate: return SelectAction::kUpdate;
    default: return SelectAction::kAdd;
  }
}

bool passes_date(const ZipRun& run, uint32_t dos_datetime) {
  return !run.after_date || dos_datetime >= run.after_dos_datetime;
}

/// Settles one marked existing entry: processed, or unmarked and copied.
void decide_entry(const ZipRun& run, ZipAction action, OldEntry& e) {
  if (action == ZipAction::kDelete || e.memory_source) return;
  SelectedFile source = e.source;
  if (!e.has_source) {
    // Marked by the pattern list alone: its source is its name, as a path.
    source = SelectedFile{e.shown_name, e.shown_name, 0, 0, 0};
  }
  platform::FileInfo info;
  const bool exists = platform::file_info(source.source_path, &info) == 0 && info.is_folder() == e.is_folder();
  if (!e.has_source && exists) {
    source.dos_datetime = info.dos_datetime;
    source.attributes = info.dos_attributes;
    source.size = info.size;
    source.unix_mode = info.mode;
    source.mtime = info.mtime;
  }
  const bool dated = exists && passes_date(run, source.dos_datetime);
  // An entry's UTC time (0x5455), where both sides have one, is compared in
  // seconds: the DOS date-times of an archive made in another zone are hours off.
  zip::EntryExtras extras;
  const bool utc = source.mtime >= 0 &&
                   zip::scan_entry_extras(e.central.extra.data(), e.central.extra.size(), {}, zip::ExtraScope::kCentral,
                                          &extras) == 0 &&
                   extras.has_mtime;
  const bool newer = action == ZipAction::kAdd ||
                     (utc ? source.mtime > extras.mtime : source.dos_datetime > e.central.dos_datetime());
  if (dated && newer) {
    e.source = source;
    e.has_source = true;
    return;
  }
  e.marked = false;
  e.newer = dated;
}

int setup_settings(ZipRun& run, ArchivePlan& plan) {
  const ZIPCMDSTRUCT& c = run.cmd;
  EntrySettings& s = plan.settings;
  s.compression = run.compression;
  s.large = c.LargeZIPFilesFlag != 0;
  s.dosify = (c.dosifyFlag & 1) != 0;
  s.convert_eol = c.convertLFtoCRLFFlag != 0;
  // Level 9 compresses everything, stored suffixes included.
  if (s.compression.level != 9) {
    const bool own = c.dontCompressTheseSuffixesFlag != 0 && c.lpszStoreSuffixes != nullptr;
    plan.store_suffixes = std::string(store_suffix_list(own, own ? run.store_suffixes.c_str() : nullptr));
  }
  s.store_suffixes = plan.store_suffixes;

  // Encryption: every entry compressed now; copied entries keep theirs.
  if (c.encryptFlag != 0 && plan.action != ZipAction::kDelete) {
    const WriteScheme scheme = !run.aes               ? WriteScheme::kTraditional
                               : run.aes_zip_format ? WriteScheme::kZipAes
                                                    : WriteScheme::kStrongAes;
    int rc = plan.encryption.setup(scheme, run.aes_strength, run.password);
    if (rc == OZ_BAD_PARAMETERS) return zip_report_message(run, rc, kZipMsgGettingPassword);
    if (rc != 0) return zip_report_message(run, OZ_OUT_OF_MEMORY, kZipMsgGettingPassword);
    s.encryption = &plan.encryption;
  }

  if (c.addCommentFlag != 0 && c.lpszComment != nullptr) {
    if (run.comment.size() > zip::kMaxArchiveComment) return zip_report(run, OZ_BAD_COMMENT);
    plan.comment.assign(run.comment.begin(), run.comment.end());
  } else if (plan.fix_level == 0) {
    plan.comment = plan.old.comment();
  }
  return OZ_SUCCESS;
}

int select_items(ZipRun& run, ArchivePlan& plan, const PatternList& patterns) {
  const ZIPCMDSTRUCT& c = run.cmd;
  SelectionOptions options;
  options.action = select_action_of(plan.action);
  options.recurse = c.recurseFlag != 0;
  options.no_directory_names = c.noDirectoryNamesFlag != 0;
  options.no_directory_entries = c.noDirectoryEntriesFlag != 0;
  options.dosify = (c.dosifyFlag & 1) != 0;
  options.include_sys_hidden = c.includeSysHiddenFlag != 0;
  options.include_volume = c.includeVolumeFlag != 0;
  options.ask_questions = !run.quiet;
  options.sub_options = c.wZipSubOptions;
  options.sub_options2 = c.lZipSubOptions2;
  options.never_select = {run.output->archive_path};
  if (!run.output->temp_path.empty()) options.never_select.push_back(run.output->temp_path);
  if (!run.output->first_part.empty()) options.never_select.push_back(run.output->first_part);

  OldEntriesView view(plan.old.entries());
  RunSelectionHooks hooks(run);
  ItemSelection selection(options, patterns, hooks.hooks(&view));
  plan.memory.from_callback = c.Function == ZIP_ADD_FROM_CALLBACK;
  const bool memory_entry =
      plan.action != ZipAction::kDelete && (run.mem_block != nullptr || plan.memory.from_callback);
  std::string detail;
  int rc = selection.select_item_list(run.item_list, &detail, memory_entry ? &plan.memory.name : nullptr);
  if (rc != 0) return zip_report(run, rc, detail.c_str());
  if (plan.action == ZipAction::kUpdate || plan.action == ZipAction::kFreshen) mark_entries_passing(patterns, view);
  rc = selection.finish();
  if (rc != 0) return zip_report_message(run, rc, kZipMsgProcessingList);
  plan.new_files = std::move(selection.found_list());
  plan.unreadable = selection.first_unreadable();
  plan.memory.present = memory_entry;
  return OZ_SUCCESS;
}

/// Which entries are processed and which new files are kept.  @return the
/// number of entries that change.
size_t decide(ZipRun& run, ArchivePlan& plan) {
  std::vector<OldEntry>& entries = plan.old.entries();
  if (plan.memory.present) {
    for (OldEntry& e : entries) {
      if (!ascii_iequal(e.shown_name, plan.memory.name)) continue;
      e.marked = e.memory_source = true;
      plan.memory.replaces_old = true;
      break;
    }
    if (!plan.memory.replaces_old && plan.action == ZipAction::kFreshen) plan.memory.present = false;
  }
  size_t changes = 0;
  for (OldEntry& e : entries) {
    if (!e.marked) continue;
    decide_entry(run, plan.action, e);
    if (e.marked) ++changes;
  }
  if (plan.action == ZipAction::kAdd || plan.action == ZipAction::kUpdate) {
    std::vector<SelectedFile> kept;
    for (SelectedFile& f : plan.new_files)
      if (passes_date(run, f.dos_datetime)) kept.push_back(std::move(f));
    plan.new_files = std::move(kept);
  } else {
    plan.new_files.clear();
  }
  changes += plan.new_files.size();
  if (plan.memory.present && !plan.memory.replaces_old) ++changes;
  return changes;
}

}  // namespace

int run_archive_operation(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  ArchivePlan plan;
  plan.action = action_of(c.Function);
  plan.fix_level = c.fixHarderFlag != 0 ? 2 : c.fixFlag != 0 ? 1 : 0;
  const std::string& archive = run.output->archive_path;

  // The pattern list.
  PatternList patterns;
  StoredNameRules rules{c.noDirectoryNamesFlag != 0, (c.dosifyFlag & 1) != 0};
  if (patterns.build(c.includeOnlyFollowingFlag ? run.include_patterns.c_str() : nullptr,
                     c.excludeFollowingFlag ? run.exclude_patterns.c_str() : nullptr, rules,
                     (c.lZipSubOptions2 & ZIP_OPT2_MATCH_WHOLE_PATH) != 0) != 0)
    return zip_report_message(run, OZ_OUT_OF_MEMORY, kZipMsgPatternList);

  // The existing archive.
  OldArchiveOptions read_options;
  read_options.large = c.LargeZIPFilesFlag != 0;
  read_options.fix_level = plan.fix_level;
  read_options.names_utf8 = (c.wZipSubOptions & ZIP_OPT_ANSI_NAMES) != 0;
  // A multi-volume archive is always made anew: the old one is not read.
  std::string detail;
  if (!run.output->multi_volume) {
    int rc = plan.old.read(archive, read_options, run.messages,
                           [&run](const std::string& text) { zip_warning(run, text); }, &detail);
    if (rc != 0) return zip_report(run, rc, detail.c_str());
  }
  if (int rc2 = setup_settings(run, plan)) return rc2;

  // The items.
  if (int rc2 = select_items(run, plan, patterns)) return rc2;
  if (plan.old.entries().empty() && (plan.action != ZipAction::kAdd || c.growExistingFlag != 0))
    zip_warning(run, archive + run.messages.text(kZipMsgNotFoundOrEmpty, 1));

  // What changes.
  const size_t changes = decide(run, plan);
  if (int rc2 = run.status.major_poll()) return zip_report(run, rc2);
  const bool has_entries = !plan.old.entries().empty();
  if (changes == 0) {
    if (plan.action == ZipAction::kUpdate || plan.action == ZipAction::kFreshen) {
      // Nothing newer; but an item that could not be read is still said.
      if (!plan.unreadable.empty()) return zip_report(run, OZ_NOT_FOUND, plan.unreadable.c_str());
      return OZ_SUCCESS;
    }
    const bool rewrite = plan.fix_level > 0 || c.oldAsLatestFlag != 0;
    if (!has_entries && rewrite) return zip_report(run, OZ_MISSING_ARCHIVE, archive.c_str());
    if (!rewrite) return zip_report(run, OZ_NOTHING_TO_DO);
  }
  size_t processed_old = 0, kept = 0;
  for (const OldEntry& e : plan.old.entries()) {
    if (e.marked) ++processed_old;
    if (!(e.marked && plan.action == ZipAction::kDelete)) ++kept;
  }
  // A repaired archive has no directory of its own to append to.
  plan.append = c.growExistingFlag != 0 && processed_old == 0 && has_entries && plan.fix_level == 0;
  const size_t new_count = plan.new_files.size() + (plan.memory.present && !plan.memory.replaces_old ? 1 : 0);
  if (kept + new_count > kMaxEntriesWithoutZip64 && c.LargeZIPFilesFlag == 0)
    return zip_report_too_big(run);
  plan.to_compress = new_count + (plan.action == ZipAction::kDelete ? 0 : processed_old);
  return write_archive(run, plan);
}

}  // namespace ostrana
