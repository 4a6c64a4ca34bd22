/* zip/found_list.cpp - ordering the found list and matching new files to existing entries. */
#include "engine/zip/found_list.h"

#include <algorithm>
#include <utility>

#include "engine/common/ascii_case.h"
#include "ostrana_results.h"

namespace ostrana {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

}  // namespace

// ---- existing entries -------------------------------------------------------

void EntryNameIndex::build(const ExistingEntries* entries) {
  m_entries = entries;
  m_sorted.clear();
  if (entries == nullptr) return;
  m_sorted.resize(entries->entry_count());
  for (size_t i = 0; i < m_sorted.size(); ++i) m_sorted[i] = i;
  std::stable_sort(m_sorted.begin(), m_sorted.end(), [entries](size_t a, size_t b) {
    return ascii_icompare(entries->entry_name(a), entries->entry_name(b)) < 0;
  });
}

bool EntryNameIndex::contains(std::string_view name) const {
  if (m_entries == nullptr) return false;
  auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), name, [this](size_t e, std::string_view n) {
    return ascii_icompare(m_entries->entry_name(e), n) < 0;
  });
  return it != m_sorted.end() && ascii_iequal(m_entries->entry_name(*it), name);
}

std::vector<size_t> EntryNameIndex::matches(std::string_view name) const {
  std::vector<size_t> found;
  if (m_entries == nullptr) return found;
  auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), name, [this](size_t e, std::string_view n) {
    return ascii_icompare(m_entries->entry_name(e), n) < 0;
  });
  for (; it != m_sorted.end() && ascii_iequal(m_entries->entry_name(*it), name); ++it) found.push_back(*it);
  return found;
}

void resolve_existing_entries(std::vector<SelectedFile>& pending, const EntryNameIndex& index,
                              ExistingEntries& entries, const PatternList& patterns,
                              std::vector<SelectedFile>* found) {
  std::vector<size_t> claim(entries.entry_count(), kNone);  // entry -> pending file
  std::vector<bool> exact(entries.entry_count(), false);
  std::vector<bool> placed(pending.size(), false);

  // First the exact spellings: a file goes to the entry of exactly its name;
  // of two files with one name the later wins, as in the found list.
  for (size_t i = 0; i < pending.size(); ++i) {
    for (size_t e : index.matches(pending[i].name)) {
      if (entries.entry_name(e) == pending[i].name) {
        claim[e] = i;
        exact[e] = true;
        placed[i] = true;
        break;
      }
    }
  }
  // Then by case alone: an entry nobody claimed exactly, or claimed by the
  // same spelling; anything else is another file and becomes a new entry.
  for (size_t i = 0; i < pending.size(); ++i) {
    if (placed[i]) continue;
    for (size_t e : index.matches(pending[i].name)) {
      if (exact[e]) continue;
      if (claim[e] == kNone || pending[claim[e]].name == pending[i].name) {
        claim[e] = i;
        placed[i] = true;
        break;
      }
    }
    if (!placed[i] && patterns.accepts(pending[i].name)) found->push_back(std::move(pending[i]));
  }
  for (size_t e = 0; e < claim.size(); ++e) {
    if (claim[e] == kNone) continue;
    if (patterns.accepts(entries.entry_name(e))) entries.mark_entry(e);
    entries.set_entry_source(e, pending[claim[e]]);
  }
  pending.clear();
}

// ---- sorting ----------------------------------------------------------------

int sort_found_list(std::vector<SelectedFile>* found, ProgressHook* progress) {
  std::vector<SelectedFile>& nodes = *found;
  const size_t n = nodes.size();
  std::vector<size_t> order(n), merged(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;

  size_t comparisons = 0;
  bool cancelled = false;
  auto less = [&](size_t a, size_t b) {
    if (++comparisons % kSortPollInterval == 0 && progress != nullptr && progress->poll() != 0) cancelled = true;
    return nodes[a].name < nodes[b].name;  // std::string compares bytes as unsigned: strcmp order
  };

  // Bottom-up merge sort of indices: stable, no recursion, and a cancel leaves
  // the nodes untouched.
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      size_t l = lo, r = mid, out = lo;
      while (l < mid && r < hi) {
        merged[out++] = less(order[r], order[l]) ? order[r++] : order[l++];
        if (cancelled) return OZ_INTERRUPTED;
      }
      while (l < mid) merged[out++] = order[l++];
      while (r < hi) merged[out++] = order[r++];
    }
    order.swap(merged);
  }

  std::vector<SelectedFile> sorted;
  sorted.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    // Of two equal names the earlier goes; the later (selected last) stays.
    if (k + 1 < n && nodes[order[k]].name == nodes[order[k + 1]].name) continue;
    sorted.push_back(std::move(nodes[order[k]]));
  }
  nodes.swap(sorted);
  return 0;
}

}  // namespace ostrana
