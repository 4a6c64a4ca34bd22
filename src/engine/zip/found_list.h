/* zip/found_list.h - ordering the found list and matching new files to existing entries.
 *
 * After the item list has been walked, two things remain to be settled before
 * the archive is written:
 *
 * Existing entries.  A selected file whose stored name equals an existing
 * entry's name (without regard to case) becomes that entry's new source instead
 * of a new entry, and the entry is marked when its name passes the pattern list.
 * The lookup is a binary search over the entry names sorted without regard to
 * case.  Linux file names are case sensitive, so "a.txt" and "A.txt" may be two
 * files: an entry whose name matches a file exactly goes to that file, and a
 * file that matches only by case takes an entry no other spelling claimed;
 * otherwise it becomes a new entry.  No selected file is silently lost.
 *
 * Order.  New files are sorted by stored name in byte order (strcmp, which is
 * strcoll in the C locale: the same on every machine, whatever its locale); the
 * cancel poll runs every 1,000th comparison.  The sort is stable, and of two
 * nodes with equal names the earlier is removed, so the file selected last wins
 * (for example two same-named files of different folders stored without folder
 * names).  Names that differ only by case are different files on Linux and are
 * both kept.
 */
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/zip/item_list.h"
#include "engine/zip/selection_hooks.h"

namespace ostrana {

/// How many comparisons pass between two cancel polls while sorting.
constexpr size_t kSortPollInterval = 1000;

/// Case-insensitive index of the existing entries' names.
class EntryNameIndex {
 public:
  /// Indexes every name of @p entries (null: no entries).  May throw std::bad_alloc.
  void build(const ExistingEntries* entries);
  /// True when some entry's name equals @p name without regard to case.
  bool contains(std::string_view name) const;
  /// Indices of the entries whose name equals @p name without regard to case,
  /// in archive order.
  std::vector<size_t> matches(std::string_view name) const;

 private:
  const ExistingEntries* m_entries = nullptr;
  std::vector<size_t> m_sorted;  ///< entry indices by name, case ignored; archive order among equals
};

/// Settles @p pending (selected files whose name an entry has, in selection
/// order) against the entries: each entry claimed becomes marked (when its name
/// passes @p patterns) and gets its new source; pending files that claimed no
/// entry and pass @p patterns are appended to @p found.
void resolve_existing_entries(std::vector<SelectedFile>& pending, const EntryNameIndex& index,
                              ExistingEntries& entries, const PatternList& patterns,
                              std::vector<SelectedFile>* found);

/// Sorts @p found by name (byte order, stable) and removes the earlier of two
/// nodes with equal names.  @p progress (may be null) is polled every
/// kSortPollInterval comparisons.  @return 0, or OZ_INTERRUPTED when the poll
/// cancelled (then @p found is left as it was).
int sort_found_list(std::vector<SelectedFile>* found, ProgressHook* progress);

}  // namespace ostrana
