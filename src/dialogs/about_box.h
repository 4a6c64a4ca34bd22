/* dialogs/about_box.h - the about box of the wizard.
 *
 * Opened from the wizard's About entry.  For now it names the product and the
 * engine; the full box (versions, build, where settings and logs are kept,
 * the help link and the system information report) is built on this entry
 * point.
 */
#pragma once

class QWidget;

namespace dialogs {

/// Shows the about box modally over @p parent.
void show_about_box(QWidget* parent);

}  // namespace dialogs
