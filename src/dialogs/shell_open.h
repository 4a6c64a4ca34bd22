/* dialogs/shell_open.h - open a file, folder or web address in the user's program for it.
 *
 * The one place the wizard hands something to the desktop and tells the user
 * when that failed: help pages, the "Open" link of the performing page, the
 * extraction folder.  The desktop does the opening (platform/qt/desktop_open.h,
 * xdg-open); this side turns its answer into the shell result the wizard has
 * always judged (32 or less is a failure) and shows the failure's text in an
 * error box with the stop icon.
 *
 * The verbs "open" and "explore" both mean xdg-open of the target on Linux;
 * the verb is kept so callers read as they always did.
 *
 * Only xdg-open's 0 is a hand-over; every other status is a failure, shown
 * with the text of the nearest shell result:
 *   2 -> "The specified file was not found."
 *   3 and xdg-open missing -> "There is no application associated with ..."
 *   anything else (1, 4, 127, a crash) -> "An unknown error number %d occured."
 *   with xdg-open's number.
 */
#pragma once

#include <QString>

class QWidget;

namespace dialogs {

enum class ShellOpenResult { kFailed, kDone };

/// Opens @p target (a path or a URL) with @p verb; on failure shows the stop
/// box over @p parent.  @return kDone when the desktop took it.
ShellOpenResult shell_open(QWidget* parent, const QString& verb, const QString& target);

/// The same without the box: for a first try that is followed by another.
/// @p failure_text_ret receives the failure's text.
ShellOpenResult shell_open_quietly(const QString& verb, const QString& target, QString* failure_text_ret = nullptr);

/// The text of shell result @p shell_result (32 or less); an unlisted one
/// gives "An unknown error number %d occured." with the number.
QString shell_failure_text(int shell_result);

/// The failure text for xdg-open's exit status @p desktop_status (not 0) or
/// a desktop_open code.
QString desktop_failure_text(int desktop_status);

}  // namespace dialogs
