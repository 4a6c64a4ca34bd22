/* zip/item_selection.cpp - turning the item list into the files of a zip run.
 *
 * Sections: the item-list pass; selecting for add/update/freshen (the item's
 * parts, the walk, collecting from one folder); the new-name procedure; delete.
 */
#include "engine/zip/item_selection.h"

#include <cerrno>
#include <new>
#include <set>
#include <utility>

#include "engine/common/ascii_case.h"
#include "engine/common/short_name.h"
#include "ostrana_results.h"
#include "platform/file.h"
#include "platform/folder_search.h"

namespace ostrana {

namespace {

/// How many files of a folder pass between two cancel polls (and event pumps).
constexpr unsigned kFilesPerPoll = 256;

/// An item split into its folder part (up to and including the last "/") and
/// the pattern after it.
struct ItemParts {
  std::string folder;
  std::string pattern;
};

ItemParts split_item(std::string_view item) {
  size_t slash = item.rfind('/');
  if (slash == std::string_view::npos) return ItemParts{std::string(), std::string(item)};
  return ItemParts{std::string(item.substr(0, slash + 1)), std::string(item.substr(slash + 1))};
}

/// The folder to search: the folder part without its trailing "/", except that
/// the root stays "/"; "" is the current folder.
std::string search_folder_of(const std::string& folder) {
  size_t end = folder.size();
  while (end > 1 && folder[end - 1] == '/') --end;
  return folder.substr(0, end);
}

/// True for a folder path longer than the root: it names a folder, not "/" or "".
bool longer_than_root(std::string_view folder) {
  return folder.find_first_not_of('/') != std::string_view::npos;
}

}  // namespace

ItemSelection::ItemSelection(SelectionOptions options, const PatternList& patterns, SelectionHooks hooks)
    : m_options(std::move(options)), m_patterns(patterns), m_hooks(hooks) {
  m_rules.no_directory_names = m_options.no_directory_names;
  m_rules.dosify = m_options.dosify;
}

int ItemSelection::poll_now() {
  m_since_poll = 0;
  if (m_hooks.progress == nullptr) return 0;
  m_hooks.progress->pump();
  if (m_hooks.progress->poll() != 0) return OZ_INTERRUPTED;
  return 0;
}

int ItemSelection::poll_sometimes() {
  return ++m_since_poll >= kFilesPerPoll ? poll_now() : 0;
}

// ---- the item-list pass --------------------------------------------------------

int ItemSelection::select_item_list(std::string_view item_list, std::string* detail_ret,
                                    std::string* memory_entry_ret) {
  if (m_hooks.progress != nullptr && m_hooks.progress->major_status(kProcessingItemListText, 0) != 0) {
    return OZ_INTERRUPTED;
  }
  std::vector<std::string> items;
  try {
    items = split_item_list(item_list);
  } catch (const std::bad_alloc&) {
    return OZ_OUT_OF_MEMORY;
  }
  size_t first = 0;
  if (memory_entry_ret != nullptr) {
    if (items.empty()) return OZ_BAD_PARAMETERS;
    try {
      *memory_entry_ret = stored_name_form(items[0], m_rules);
    } catch (const std::bad_alloc&) {
      return OZ_OUT_OF_MEMORY;
    }
    if (memory_entry_ret->empty()) {
      if (detail_ret) *detail_ret = items[0];
      return OZ_BAD_PARAMETERS;
    }
    first = 1;
  }
  for (size_t i = first; i < items.size(); ++i) {
    int r = select_item(items[i]);
    if (r == kSelectNoMatch) {
      if (m_options.ask_questions && m_hooks.messages != nullptr) {
        m_hooks.messages->display(kDisplayWarning, kStyleOk, kNameNotMatchedText + items[i]);
      }
      continue;
    }
    if (r != 0) {
      if (detail_ret) *detail_ret = items[i];
      return r;
    }
  }
  return 0;
}

int ItemSelection::select_item(std::string_view item) {
  try {
    if (m_options.action == SelectAction::kDelete) return select_for_delete(item);
    return select_files(item);
  } catch (const std::bad_alloc&) {
    return OZ_OUT_OF_MEMORY;
  }
}

int ItemSelection::finish() {
  try {
    if (!m_pending.empty() && m_hooks.existing != nullptr) {
      resolve_existing_entries(m_pending, m_index, *m_hooks.existing, m_patterns, &m_found);
    }
    return sort_found_list(&m_found, m_hooks.progress);
  } catch (const std::bad_alloc&) {
    return OZ_OUT_OF_MEMORY;
  }
}

// ---- add, update, freshen -------------------------------------------------------

bool ItemSelection::named_item_usable(std::string_view item) {
  if (m_options.action != SelectAction::kAdd && m_options.action != SelectAction::kUpdate) return true;
  if (item.find_first_of("*?") != std::string_view::npos) return true;
  const std::string path(item);
  // The entry itself, not what a link points to: a link is the search's to
  // store or follow, a dangling one included.
  platform::FileInfo info;
  const int err = platform::link_info(path, &info);
  if (err == 0 && !info.is_special()) return true;
  // A name that is not there, cannot be examined, or is a FIFO, socket or
  // device is left out, and the run ends with 18 naming the first of them.
  if (m_unreadable.empty()) m_unreadable = path;
  if (err == 0 && m_hooks.messages != nullptr) {
    m_hooks.messages->display(kDisplayWarning, kStyleOk,
                              path + ": skipped, a " + platform::file_kind_text(info.kind) + " is not a file to store");
  }
  return false;
}

int ItemSelection::select_files(std::string_view item) {
  if (!named_item_usable(item)) return 0;
  if (!m_index_built && !has(kSubNoLookup)) {
    m_index.build(m_hooks.existing);
    m_index_built = true;
  }
  // The archive (or the temporary file) may have come into being since the
  // last item: look the identities up again.
  m_never.clear();
  for (const std::string& path : m_options.never_select) {
    platform::FileInfo info;
    if (platform::file_info(path, &info) == 0) m_never.push_back(info);
  }

  ItemParts parts = split_item(item);
  m_root = ascii_lower(stored_name_form(parts.folder, StoredNameRules{}));
  if (!m_root.empty() && m_root.back() != '/') m_root += '/';
  std::string search = search_folder_of(parts.folder);

  if (m_options.recurse) {
    // A file named without wildcards is that file, looked for in its own
    // folder only: walking the tree below it would add every folder there as
    // an entry, and every file of the same name in them.
    if (names_one_file(item, parts.pattern)) return collect_from_folder(search, parts.pattern, nullptr);
    const size_t before = m_found.size() + m_pending.size();
    if (int r = walk(search, parts.pattern)) return r;
    // A folder's whole content that held nothing to store is the folder
    // itself: a chosen empty folder is kept as its entry, not lost.
    const bool whole_content = parts.pattern == "*.*" || parts.pattern == "*";
    if (whole_content && m_found.size() + m_pending.size() == before && !m_options.no_directory_entries &&
        longer_than_root(search)) {
      platform::FileInfo info;
      if (platform::file_info(search, &info) == 0 && info.is_folder()) return take(search, info);
    }
    return 0;
  }

  if (!m_options.no_directory_entries && longer_than_root(search)) {
    platform::FileInfo info;
    if (platform::file_info(search, &info) == 0 && info.is_folder()) {
      if (int r = take(search, info)) return r;
    }
  }
  if (has(kSubRelativeToRoot)) {
    if (int r = select_include_folders(search, parts.pattern)) return r;
  }
  return collect_from_folder(search, parts.pattern, nullptr);
}

bool ItemSelection::names_one_file(std::string_view item, std::string_view pattern) const {
  if (pattern.empty() || pattern.find_first_of("*?") != std::string_view::npos) return false;
  platform::FileInfo info;
  const std::string path(item);
  if (platform::link_info(path, &info) != 0) return false;
  // A link the run follows is what it points to.
  if (info.is_link() && link_policy() == platform::LinkPolicy::kFollowAll && platform::file_info(path, &info) != 0) {
    return true;  // dangling: stored as the link it is, never walked
  }
  return !info.is_folder();
}

int ItemSelection::walk(const std::string& search_folder, std::string_view pattern) {
  std::vector<std::string> stack{search_folder};
  // A bind mount, or a followed link, could show a folder twice.
  std::set<std::pair<uint64_t, uint64_t>>& visited = m_visited;
  visited.clear();
  std::vector<std::string> subfolders;
  while (!stack.empty()) {
    std::string folder = std::move(stack.back());
    stack.pop_back();
    platform::FileInfo info;
    if (platform::file_info(folder, &info) != 0 || !info.is_folder()) continue;
    if (!visited.insert({info.device, info.inode}).second) continue;
    subfolders.clear();
    if (int r = collect_from_folder(folder, pattern, &subfolders)) return r;
    for (std::string& sub : subfolders) stack.push_back(std::move(sub));
    if (int r = poll_now()) return r;
  }
  return 0;
}

int ItemSelection::select_include_folders(const std::string& search_folder, std::string_view pattern) {
  for (const PatternList::Pattern& p : m_patterns.patterns()) {
    if (p.exclude) continue;
    ItemParts in = split_item(p.text);
    platform::FolderSearch search(link_policy());
    if (!open_search(search, platform::join_path(search_folder, search_folder_of(in.folder)))) continue;
    platform::FolderEntry e;
    while (search.next("", true, &e)) {
      if (!e.info.is_folder() || !platform::name_matches(in.pattern, e.name)) continue;
      if ((e.info.dos_attributes & (platform::kDosHidden | platform::kDosSystem)) && !m_options.include_sys_hidden) {
        continue;
      }
      if (!m_options.no_directory_entries) {
        if (int r = take(e.path, e.info)) return r;
      }
      if (int r = collect_from_folder(e.path, pattern, nullptr)) return r;
    }
  }
  return 0;
}

platform::LinkPolicy ItemSelection::link_policy() const {
  return (m_options.sub_options2 & kSub2FollowLinks) ? platform::LinkPolicy::kFollowAll
                                                     : platform::LinkPolicy::kKeepLinks;
}

bool ItemSelection::open_search(platform::FolderSearch& search, const std::string& folder) {
  const int err = search.open(folder);
  // A folder that is not there simply holds nothing; one that is there but
  // cannot be listed hides files the user asked for, which must not pass
  // silently.
  if (err != 0 && err != ENOENT && err != ENOTDIR && m_unreadable.empty())
    m_unreadable = folder.empty() ? "." : folder;
  return err == 0;
}

int ItemSelection::collect_from_folder(const std::string& folder, std::string_view pattern,
                                       std::vector<std::string>* subfolders_ret) {
  platform::FolderSearch search(link_policy());
  if (!open_search(search, folder)) return 0;  // cannot be searched: nothing from here
  const bool dotless_only = !pattern.empty() && pattern.back() == '.';
  const uint32_t skip_bits = m_options.include_sys_hidden
                                 ? platform::kDosVolumeLabel
                                 : platform::kDosHidden | platform::kDosSystem | platform::kDosVolumeLabel;
  platform::FolderEntry e;
  while (search.next(pattern, subfolders_ret != nullptr, &e)) {
    if (int r = poll_sometimes()) return r;
    if (e.info.is_folder()) {
      if (e.info.dos_attributes & (platform::kDosHidden | platform::kDosSystem) && !m_options.include_sys_hidden) {
        continue;
      }
      if (m_visited.count({e.info.device, e.info.inode}) != 0) continue;  // a followed link back up
      subfolders_ret->push_back(e.path);
      if (!m_options.no_directory_entries && longer_than_root(e.path)) {
        if (int r = take(e.path, e.info)) return r;
      }
      continue;
    }
    if (dotless_only && e.name.find('.') != std::string::npos) continue;
    if (e.info.dos_attributes & skip_bits) continue;
    if (has(kSubCheckReadable)) {
      bool readable = false;
      if (int r = check_readable(e.path, &readable)) return r;
      if (!readable) continue;
    }
    if (has(kSubArchiveBitOnly)) {
      if ((e.info.dos_attributes & platform::kDosArchive) == 0) continue;
      if (has(kSubClearArchiveBit)) e.info.dos_attributes &= ~platform::kDosArchive;
    }
    if (int r = take(e.path, e.info)) return r;
  }
  return 0;
}

int ItemSelection::check_readable(const std::string& path, bool* take_ret) {
  *take_ret = false;
  for (;;) {
    platform::File file;
    int err = file.open(path, platform::File::Mode::kRead);
    if (err == 0) {
      *take_ret = true;
      return 0;
    }
    if (err == ENOENT || err == ENOTDIR) return 0;  // vanished: nothing to ask about
    int answer = kButtonIgnore;
    if (m_options.ask_questions && m_hooks.messages != nullptr) {
      answer = m_hooks.messages->display(kDisplaySkippingFile, kStyleAbortRetryIgnore, path);
    }
    if (answer == kButtonAbort) return OZ_INTERRUPTED;
    if (answer == kButtonRetry) continue;
    if (m_hooks.activity_log != nullptr) {
      std::string line(kSkippedLogFormat);
      line.replace(line.find("%s"), 2, path);
      m_hooks.activity_log->write_line(line);
    }
    return 0;
  }
}

// ---- the new-name procedure -------------------------------------------------------

bool ItemSelection::never_selected(const platform::FileInfo& info) const {
  for (const platform::FileInfo& never : m_never) {
    if (never.same_file(info)) return true;
  }
  return false;
}

int ItemSelection::take(const std::string& path, const platform::FileInfo& info) {
  if (never_selected(info)) return 0;
  const bool folder = info.is_folder();
  std::string name = stored_name_form(folder ? path + "/" : path, m_rules);
  if (name.empty()) return 0;

  if (has(kSubRelativeToRoot) && !m_root.empty()) {
    // Same length in both cases: case folding is ASCII only.
    if (ascii_lower(name).compare(0, m_root.size(), m_root) == 0) name.erase(0, m_root.size());
    if (name.empty()) return 0;
  }
  if (has(kSubSkipLongNames)) {
    if (!is_short_name(name)) return 0;
  } else if (has(kSubShortenNames)) {
    name = short_name_form(name);
    if (name.empty() || name == "/") return 0;
  }

  SelectedFile node{path, std::move(name), info.dos_datetime, info.dos_attributes, info.size, info.mode, info.mtime};
  if (has(kSubCallRename) && m_hooks.rename != nullptr) {
    RenameRequest request{node.name, static_cast<uint16_t>(node.dos_datetime >> 16),
                          static_cast<uint16_t>(node.dos_datetime & 0xFFFF), node.attributes,
                          node.source_path, node.size};
    m_hooks.rename->rename(request);
    // Whatever the callback wrote, a stored name stays a relative "/" path.
    node.name = stored_name_form(request.name, StoredNameRules{});
    if (node.name.empty()) return 0;
    if (folder && node.name.back() != '/') node.name += '/';
    const uint32_t when = static_cast<uint32_t>(request.dos_date) << 16 | request.dos_time;
    // A date the callback changed is the entry's time in every header.
    if (when != node.dos_datetime) node.mtime = static_cast<int64_t>(platform::time_from_dos_datetime(when));
    node.dos_datetime = when;
    node.attributes = (node.attributes & ~kRenameAttributeMask) | (request.attributes & kRenameAttributeMask);
  }

  if (!has(kSubNoLookup) && m_index.contains(node.name)) {
    m_pending.push_back(std::move(node));  // settled against the entries in finish()
    return 0;
  }
  if (m_patterns.accepts(node.name)) m_found.push_back(std::move(node));
  return 0;
}

// ---- delete -------------------------------------------------------------------------

int ItemSelection::select_for_delete(std::string_view item) {
  std::string pattern = stored_name_form(item, m_rules);
  if (m_hooks.existing == nullptr) return kSelectNoMatch;
  ExistingEntries& entries = *m_hooks.existing;
  bool matched = false;
  for (size_t i = 0; i < entries.entry_count(); ++i) {
    if (int r = poll_sometimes()) return r;
    std::string_view name = entries.entry_name(i);
    if (!match_one_pattern(pattern, name, (m_options.sub_options2 & kSub2WholePathPatterns) != 0)) continue;
    matched = true;
    if (m_patterns.accepts(name)) entries.mark_entry(i);
  }
  return matched ? 0 : kSelectNoMatch;
}

void mark_entries_passing(const PatternList& patterns, ExistingEntries& entries) {
  for (size_t i = 0; i < entries.entry_count(); ++i) {
    if (patterns.accepts(entries.entry_name(i))) entries.mark_entry(i);
  }
}

}  // namespace ostrana
