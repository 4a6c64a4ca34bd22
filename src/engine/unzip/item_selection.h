/* engine/unzip/item_selection.h - which items of an archive an unzip command selects.
 *
 * The counting and walking functions (3 and 4) and extraction choose items by
 * the same rules, applied to each item in directory order:
 *   1. with option bit 4 items with long (non-8.3) names are invisible; with
 *      bit 5 an item is matched by its 8.3 form;
 *   2. with noDirectoryItemsFlag folder entries are passed over; volume-label
 *      items are always passed over;
 *   3. freshen and update: the would-be output file (destination + the name,
 *      or + the base name with noDirectoryNamesFlag) decides.  A missing file
 *      makes the item eligible for update only; an existing one makes it
 *      eligible only when its modification time, as a local DOS date-time, is
 *      strictly earlier than the item's.  An item whose stored date or time is
 *      out of range is never eligible;
 *   4. the item must match one of the patterns (pattern_match.h).
 */
#pragma once

#include <string>

#include "engine/unzip/central_directory.h"
#include "engine/unzip/pattern_match.h"

namespace ostrana {

struct SelectionRules {
  FilespecPatterns patterns;
  bool recurse = false;
  bool skip_long_names = false;     ///< option bit 4
  bool short_names = false;         ///< option bit 5
  bool no_directory_items = false;  ///< noDirectoryItemsFlag
  bool no_directory_names = false;  ///< noDirectoryNamesFlag
  bool freshen = false;
  bool update = false;
  std::string destination;          ///< ends with "/" when not empty
};

/// True when @p entry is selected by @p rules.
bool item_selected(const DirectoryEntry& entry, const SelectionRules& rules);

/// The freshen/update test alone: true when @p entry may be written under freshen or update
/// (always true when neither is asked for).
bool freshen_update_eligible(const DirectoryEntry& entry, const SelectionRules& rules);

}  // namespace ostrana
