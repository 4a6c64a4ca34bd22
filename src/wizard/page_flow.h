/* wizard/page_flow.h - which page follows which: the wizard's transition rules in one place.
 *
 * Pages are named by their dialog ids, which are the sheet's page ids.  Two
 * questions decide every move forward:
 *   next_page    where Next leads (-1: the page has no Next; it offers Finish
 *                or is the last page);
 *   finish_page  where Finish leads without closing the sheet (-1: Finish
 *                closes the sheet).
 * Whether the user may leave at all (the add-files dialog answered OK, a
 * valid archive, the delete question answered Yes) is each page's
 * validatePage(); Back always returns to the page the user came from, which
 * for every page is the one these rules led there from.
 *
 *   welcome          -> pick-archive
 *   pick-archive     -> extraction: pick-folder when "Continue with Picking an
 *                       UnZip Folder" is checked, else performing;
 *                       zip runs: extra-parameters
 *   pick-folder      -> performing
 *   extra-parameters -> monitoring on: Next to the task page;
 *                       monitoring off: Finish to the performing page
 *   task page        -> Finish to the performing page
 *   performing       -> Finish closes the sheet
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

/// What the rules look at.
struct FlowState {
  int run_mode = -1;                ///< the record's `run mode`
  bool monitoring = false;          ///< the record's monitoring
  bool continue_to_folder = true;   ///< the pick-archive page's check box (extraction)
};

/// Where Next leads from @p page, or -1 when the page has no Next.
/// Pages the rules do not know give -2: follow the sheet's order.
int next_page(int page, const FlowState& state);

/// Where Finish leads from @p page without closing the sheet, or -1 when it closes it.
int finish_page(int page, const FlowState& state);

/// True for the zip runs (`run mode` 0 and 1), which pass through the add-files dialog.
bool is_zip_run(int run_mode);

}  // namespace wizard
