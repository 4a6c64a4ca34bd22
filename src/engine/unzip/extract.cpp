/* engine/unzip/extract.cpp - functions 8, 9 and 11: the run, its selection and its outcome.
 *
 * Function 8 extracts (or tests) the items that the patterns select, in
 * directory order, or the one item `index`.  Before each item the major
 * status callback hears "Item %d of %d"; a non-zero answer stops the run with
 * 48.  Item outcomes: 0 and 49 go on with the next item; 40 and 48 stop the
 * run; 44 stops it when the user cancelled the password question; any other
 * code stops it after a report with "Problem extracting file(s)".  The run's
 * result is the last item's code.
 *
 * Functions 9 and 11 expand the one item that a pattern without wildcards or
 * the index names into the caller's memory block or out through the
 * archive-data callback.
 *
 * Folders made for folder entries get their times at the end of the run,
 * after everything inside them was written.
 */
#include "engine/unzip/extract.h"

#include <algorithm>

#include "engine/common/worker_pool.h"
#include "engine/unzip/extraction.h"
#include "engine/unzip/item_selection.h"
#include "engine/unzip/memory_to_memory.h"
#include "engine/unzip/unzip_functions.h"
#include "engine/unzip/unzip_run.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/folders.h"
#include "platform/volume.h"

namespace ostrana {

Extraction::Extraction(UnzipThreadState& state) : m_state(state), m_run(state.run), m_input(state.run) {}

int Extraction::check_destination() {
  const std::string& d = m_run.destination;
  if (!m_run.destination_given || d.empty()) return unzip_report_message(m_run, OU_SYNTAX, kUnzipMsgNoDestination);
  // run.destination ends with the "/" the entry added; "/" alone is the root.
  std::string given = d.size() > 1 ? d.substr(0, d.size() - 1) : d;
  if (given.size() < 2 && given != "/") return unzip_report_message(m_run, OU_SYNTAX, kUnzipMsgDestinationIncomplete);
  // An absolute path stands in for "a drive letter or \\server".
  if (given[0] != '/') return unzip_report_message(m_run, OU_SYNTAX, kUnzipMsgDestinationNotAbsolute);
  return OU_SUCCESS;
}

int Extraction::same_volume_guard() {
  if (m_mode != Mode::kFiles || !m_input.multi_volume() || !m_input.disk_mode()) return OU_SUCCESS;
  if (!platform::volume_service().same_volume(m_run.archive_path, m_run.destination)) return OU_SUCCESS;
  if (!m_run.quiet) m_run.display(6, OSTRANA_MB_OK, 0, 0);
  return OU_SAME_VOLUME;
}

int Extraction::item_outcome(int rc, bool* stop_ret) {
  *stop_ret = false;
  if (rc == OU_SUCCESS || rc == OU_USER_SKIPPED) return rc;
  *stop_ret = true;
  if (rc == OU_APP_CANCELLED || rc == OU_USER_CANCELLED) return rc;
  if (rc == OU_BAD_PASSWORD) return unzip_report(m_run, rc, m_item.c_str());
  if (!m_item_failure.empty()) return unzip_report(m_run, rc, m_item_failure.c_str());
  // Name the item: "Bad CRC (docs/a.txt)" says where the archive is damaged.
  const std::string detail = m_item + ": " + m_run.messages.text(kUnzipMsgProblemExtracting, 2);
  return unzip_report(m_run, rc, m_item.empty() ? nullptr : detail.c_str());
}

int Extraction::room_guard(uint64_t need) {
  if (m_mode != Mode::kFiles) return OU_SUCCESS;
  // The destination may not exist yet: its nearest existing folder tells.
  std::string folder = m_run.destination;
  while (!folder.empty() && folder.back() == '/' && folder.size() > 1) folder.pop_back();
  while (!folder.empty() && folder != "/" && !platform::path_entry_exists(folder))
    folder = platform::parent_folder(folder);
  uint64_t free_nbytes = 0;
  if (platform::volume_service().free_space(folder.empty() ? "." : folder, &free_nbytes) != 0 || need <= free_nbytes)
    return OU_SUCCESS;
  const std::string detail = (folder.empty() ? std::string(".") : folder) + ": the items take " +
                             std::to_string(need) + " bytes, " + std::to_string(free_nbytes) + " are free";
  return unzip_report(m_run, OU_DISK_FULL, detail.c_str());
}

int Extraction::walk_patterns() {
  const SelectionRules rules = selection_rules_of(m_run);
  if (!rules.patterns.quotes_balanced) return unzip_report_message(m_run, OU_SYNTAX, kUnzipMsgQuotesMismatched);
  const CentralDirectory& dir = m_state.directory;
  // The workers start up while the names are walked; they get their items
  // once the walk is over and the destination has room for them.  A test
  // writes nothing: its workers get the first items during the walk.
  std::unique_ptr<AheadExpander> ahead = create_ahead();
  constexpr size_t kFirstTested = 64;
  size_t handed = 0;  // items of `planned` the workers have
  // One pass over the directory: the count (left in returnCount), the bytes
  // the items take, and the items the workers may expand.
  std::vector<uint64_t> selected;
  std::vector<AheadExpander::Item> planned;
  uint64_t need = 0;
  for (uint64_t i = 0; i < dir.size(); ++i) {
    DirectoryEntry e;
    if (int rc = dir.entry(i, &e)) return unzip_report_message(m_run, rc, kUnzipMsgProblemExtracting);
    if (!item_selected(e, rules)) continue;
    selected.push_back(i);
    need += std::min(e.uncompressed_size(), UINT64_MAX - need);
    if (!ahead) continue;
    add_ahead_item(e, &planned);
    if (handed == 0 && m_mode == Mode::kTest && planned.size() == kFirstTested) {
      ahead->plan(planned);
      handed = planned.size();
    }
  }
  m_run.cmd.returnCount = static_cast<int32_t>(std::min<size_t>(selected.size(), INT32_MAX));
  if (selected.empty()) return unzip_report_message(m_run, OU_NOTHING_TO_DO, kUnzipMsgNoMatch);
  if (int rc = room_guard(need)) return rc;
  if (ahead && (handed != 0 || selected.size() >= 2)) {
    m_ahead = std::move(ahead);
    planned.erase(planned.begin(), planned.begin() + static_cast<std::ptrdiff_t>(handed));
    m_ahead->plan(std::move(planned));
  }

  int result = OU_SUCCESS;
  for (size_t k = 0; k < selected.size(); ++k) {
    std::string line = m_run.messages.format(kUnzipMsgItemOf, 0, static_cast<int>(k + 1),
                                             static_cast<int>(selected.size()));
    if (int rc = m_run.status.major(line.c_str(), item_percent(k + 1, selected.size()))) return rc;
    DirectoryEntry e;
    if (int rc = dir.entry(selected[k], &e)) return unzip_report_message(m_run, rc, kUnzipMsgProblemExtracting);
    bool stop = false;
    result = item_outcome(extract_item(e), &stop);
    if (stop) return result;
  }
  return result;
}

std::unique_ptr<AheadExpander> Extraction::create_ahead() {
  // The workers read the archive file itself: not a set of volumes or pieces.
  if (m_mode == Mode::kMemory || m_input.multi_volume() || m_run.pieces.active()) return nullptr;
  return AheadExpander::create(m_run.archive_path, WorkerPool::default_threads(),
                               m_mode == Mode::kTest ? AheadExpander::Use::kTest : AheadExpander::Use::kExtract);
}

void Extraction::add_ahead_item(const DirectoryEntry& e, std::vector<AheadExpander::Item>* planned) const {
  const bool plain = (e.header.flags & zip::kFlagEncrypted) == 0 && e.method == e.header.method &&
                     expand_supports_method(e.method) &&
                     (e.header.external_attributes & (platform::kDosFolder | platform::kDosVolumeLabel)) == 0;
  // A link's target is expanded into memory and checked there first.
  const bool link = e.header.host_system() == 3 && ((e.header.external_attributes >> 16) & 0170000) == 0120000;
  if (!plain || (link && m_mode != Mode::kTest) || e.raw_name.empty() || e.raw_name.back() == '/') return;
  AheadExpander::Item item;
  item.index = e.index;
  item.local_header_offset = e.local_header_offset();
  item.raw_name = e.raw_name;
  item.method = e.method;
  item.flags = e.header.flags;
  item.crc32 = e.header.crc32;
  item.compressed_nbytes = e.compressed_size();
  item.uncompressed_nbytes = e.uncompressed_size();
  planned->push_back(item);
}

int Extraction::walk_index() {
  const CentralDirectory& dir = m_state.directory;
  m_run.cmd.returnCount = static_cast<int32_t>(std::min<uint64_t>(dir.size(), INT32_MAX));
  if (static_cast<uint64_t>(m_run.cmd.index) >= dir.size())
    return unzip_report_message(m_run, OU_INDEX_OUT_OF_BOUNDS, kUnzipMsgIndexTooHigh);
  DirectoryEntry e;
  if (int rc = dir.entry(static_cast<uint64_t>(m_run.cmd.index), &e))
    return unzip_report_message(m_run, rc, kUnzipMsgProblemExtracting);
  // Freshen and update hold for an item named by its number as well.
  if (!freshen_update_eligible(e, selection_rules_of(m_run)))
    return unzip_report_message(m_run, OU_NOTHING_TO_DO, kUnzipMsgNoMatch);
  if (int rc = room_guard(e.uncompressed_size())) return rc;
  std::string line = m_run.messages.format(kUnzipMsgItemOf, 0, 1, 1);
  if (int rc = m_run.status.major(line.c_str(), 100)) return rc;
  bool stop = false;
  return item_outcome(extract_item(e), &stop);
}

int Extraction::one_for_memory() {
  const CentralDirectory& dir = m_state.directory;
  DirectoryEntry e;
  bool found = false;
  if (m_run.cmd.index >= 0 && !names_single_item(m_run.filespec.c_str())) {
    if (static_cast<uint64_t>(m_run.cmd.index) >= dir.size())
      return unzip_report_message(m_run, OU_INDEX_OUT_OF_BOUNDS, kUnzipMsgIndexTooHigh);
    if (int rc = dir.entry(static_cast<uint64_t>(m_run.cmd.index), &e))
      return unzip_report_message(m_run, rc, kUnzipMsgProblemExtracting);
    found = true;
  } else {
    SelectionRules rules = selection_rules_of(m_run);
    rules.freshen = rules.update = false;  // nothing is written to the destination
    for (uint64_t i = 0; i < dir.size() && !found; ++i) {
      if (int rc = dir.entry(i, &e)) return unzip_report_message(m_run, rc, kUnzipMsgProblemExtracting);
      found = item_selected(e, rules);
    }
  }
  if (!found) return unzip_report_message(m_run, OU_NOTHING_TO_DO, kUnzipMsgNoMatch);
  m_run.cmd.returnCount = 1;
  bool stop = false;
  return item_outcome(extract_item(e), &stop);
}

void Extraction::finish_folders() {
  // Deepest first, so that setting a folder's time is the last change inside its parent.
  std::stable_sort(m_folder_times.begin(), m_folder_times.end(), [](const FolderTime& a, const FolderTime& b) {
    return std::count(a.relative.begin(), a.relative.end(), '/') > std::count(b.relative.begin(), b.relative.end(), '/');
  });
  for (const FolderTime& f : m_folder_times) {
    (void)m_tree.set_times(f.relative, f.when);
    if (f.unix_mode != 0) (void)m_tree.set_folder_mode(f.relative, f.unix_mode);
  }
  m_folder_times.clear();
}

int Extraction::run() {
  const UNZIPCMDSTRUCT& c = m_run.cmd;
  const bool memory = c.Function == UNZIP_FILETOMEM || c.Function == UNZIP_FILETOMEM_CALLBACK;
  m_mode = memory ? Mode::kMemory : c.testFlag ? Mode::kTest : Mode::kFiles;
  const bool by_patterns = !m_run.filespec.empty() && !parse_pattern_list(m_run.filespec.c_str()).patterns.empty();
  if (!memory && !by_patterns && c.index < 0) return unzip_report_message(m_run, OU_SYNTAX, kUnzipMsgNoItemList);
  if (m_mode == Mode::kFiles)
    if (int rc = check_destination()) return rc;

  if (int rc = unzip_need_directory(m_state, m_input, kUnzipMsgProblemReading)) return rc;
  if (int rc = same_volume_guard()) return rc;
  m_log.start((c.wUnzipSubOptions & UNZIP_OPT_ACTIVITY_LOG) != 0, m_run.messages,
              {kUnzipMsgActivityLogName, kUnzipMsgActivityHeader, kUnzipMsgVersion});

  int rc;
  if (memory) rc = one_for_memory();
  else if (by_patterns) rc = walk_patterns();
  else rc = walk_index();
  finish_folders();
  m_log.end();
  return rc;
}

int unzip_extract(UnzipThreadState& state) {
  if (state.run.cmd.Function == UNZIP_MEMTOMEM) return unzip_memory_to_memory(state.run);
  Extraction extraction(state);
  return extraction.run();
}

}  // namespace ostrana
