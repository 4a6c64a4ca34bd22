/* bridge/archive_listing.h - turning the engine's item information into listing rows and statistics.
 *
 * The archive listing asks the engine for one extended item-information
 * record per item and makes of each an ArchiveItem, whose texts come from the
 * engine's listing helpers (ostrana_listing.h), so that every listing of the
 * system reads the same.  Sizes are taken with all 64 bits.
 */
#pragma once

#include <cstdint>

#include "bridge/engine_bridge.h"
#include "ostrana.h"

namespace bridge {

/// The listing row of one item.
ArchiveItem make_archive_item(const ZIPINFOEX& info);

/// Counts the item into @p statistics: file or folder, the two size totals,
/// encrypted items, the lowest version bytes.
void add_to_statistics(ListingStatistics& statistics, const ZIPINFOEX& info);

/// Listing progress of the item @p index (0-based) of @p count: 0..24.
int32_t listing_progress(int64_t index, int64_t count);

}  // namespace bridge
