/* zip/item_selection.h - turning the item list into the files of a zip run.
 *
 * Before anything is written, the archive operation hands each item of its
 * list to this selection.  For add, update and freshen an item is a path whose
 * last component may hold "*" and "?"; its folder is searched (with recursion,
 * every subfolder below it too, walked with an explicit stack, last pushed
 * first), and each file taken gets its stored name.  A file whose name an
 * existing entry has becomes that entry's new source (the entry is marked);
 * every other file that passes the pattern list becomes a node of the found
 * list.  For delete an item is a pattern that marks the matching entries.
 *
 * Use, per run:
 *     PatternList patterns;  patterns.build(...);            // 4 on failure
 *     ItemSelection selection(options, patterns, hooks);
 *     selection.select_item_list(lpszItemList, &detail);      // or select_item per item
 *     // update/freshen: mark_entries_passing(patterns, entries);
 *     selection.finish();                                     // lookups, sort, de-duplication
 *     selection.found_list();                                 // the new files, in order
 *
 * On Linux the drive root is "/": folder entries are made for folders that
 * have a name (not for "/" or the current folder itself).  Hidden files and
 * folders are those whose name begins with ".".  A symbolic link found in a
 * folder is selected as a link, whatever it points to (a folder, nothing);
 * with kSub2FollowLinks it stands for its target instead, a link to a folder
 * is walked as the folder and only a dangling link stays a link.  A walk
 * never enters a folder twice (device and inode), so no link can make it loop.
 * Files that vanish during the walk, and folders that cannot be listed, are
 * simply not selected.
 */
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "engine/zip/found_list.h"
#include "engine/zip/item_list.h"
#include "engine/zip/selection_hooks.h"
#include "platform/file_info.h"
#include "platform/folder_search.h"

namespace platform {
struct FolderEntry;
}

namespace ostrana {

/// Major status text while the item list is processed.
inline constexpr const char* kProcessingItemListText = "Processing Item List... Please wait.";
/// Warning (display type 12) before an item that matched nothing.
inline constexpr const char* kNameNotMatchedText = "name not matched: ";
/// Activity-log line of a file the user chose to skip ("%s" is its path).
inline constexpr const char* kSkippedLogFormat = "%s [Skipped]";

class ItemSelection {
 public:
  /// @p patterns and every hook object must outlive the selection.
  ItemSelection(SelectionOptions options, const PatternList& patterns, SelectionHooks hooks);

  /// The item-list pass: reports kProcessingItemListText at 0 percent, splits
  /// @p item_list and selects each item in order.  An item that matched nothing
  /// is named in a warning (only when questions are asked) and the pass goes on;
  /// any other failure ends it, with the item in *@p detail_ret.  With
  /// @p memory_entry_ret the first item names the memory entry instead of a file:
  /// its stored-name form goes there (code 16 when it is empty or missing).
  /// @return 0, OZ_OUT_OF_MEMORY, OZ_INTERRUPTED or OZ_BAD_PARAMETERS.
  int select_item_list(std::string_view item_list, std::string* detail_ret,
                       std::string* memory_entry_ret = nullptr);

  /// Selects for one item (already split).  @return 0, OZ_OUT_OF_MEMORY,
  /// OZ_INTERRUPTED, or kSelectNoMatch (delete only: no entry matched).
  int select_item(std::string_view item);

  /// Ends the selection: settles the files found under existing entries' names,
  /// then sorts and de-duplicates the found list.  Call once, after every item.
  /// @return 0, OZ_OUT_OF_MEMORY or OZ_INTERRUPTED.
  int finish();

  /// The new files; in their final order after finish().
  std::vector<SelectedFile>& found_list() { return m_found; }

  /// The root folder of the item processed last (stored-name form, lower case,
  /// ending in "/", or empty): the prefix option bit 0 removes from names.
  const std::string& root_folder() const { return m_root; }

  /// The first named item that is missing, cannot be examined or is a special
  /// file (FIFO, socket, device), or the first folder that exists but could not
  /// be listed (its files are missing from the found list); empty when every
  /// item was usable.  The run reports it as code 18.
  const std::string& first_unreadable() const { return m_unreadable; }

 private:
  platform::LinkPolicy link_policy() const;
  /// Opens @p search on @p folder; a failure other than "no such folder" is remembered.
  bool open_search(platform::FolderSearch& search, const std::string& folder);

  /// False when the named (wildcard-free) item of an add or update cannot be
  /// stored at all; it is then noted for the result.
  bool named_item_usable(std::string_view item);
  int select_files(std::string_view item);
  /// True when @p item names one existing file (or link) without wildcards in @p pattern, its name.
  bool names_one_file(std::string_view item, std::string_view pattern) const;
  int select_for_delete(std::string_view item);
  int walk(const std::string& search_folder, std::string_view pattern);
  int collect_from_folder(const std::string& folder, std::string_view pattern,
                          std::vector<std::string>* subfolders_ret);
  int select_include_folders(const std::string& search_folder, std::string_view pattern);
  int check_readable(const std::string& path, bool* take_ret);
  int take(const std::string& path, const platform::FileInfo& info);
  bool never_selected(const platform::FileInfo& info) const;
  int poll_now();
  int poll_sometimes();
  bool has(uint16_t sub_option) const { return (m_options.sub_options & sub_option) != 0; }

  SelectionOptions m_options;
  const PatternList& m_patterns;
  SelectionHooks m_hooks;
  StoredNameRules m_rules;
  EntryNameIndex m_index;
  bool m_index_built = false;
  std::vector<platform::FileInfo> m_never;  ///< identities of the never_select files that exist
  std::set<std::pair<uint64_t, uint64_t>> m_visited;  ///< folders the walk entered (device, inode)
  std::vector<SelectedFile> m_found;
  std::vector<SelectedFile> m_pending;      ///< files whose name an existing entry has
  std::string m_root;
  std::string m_unreadable;
  unsigned m_since_poll = 0;
};

/// Marks every existing entry whose name passes @p patterns (update and freshen
/// do this after the item-list pass).
void mark_entries_passing(const PatternList& patterns, ExistingEntries& entries);

}  // namespace ostrana
