/* wizard/page_help.h - the help of a wizard page: a local page, else the online one.
 *
 * Every page names its help topic ("wizard_welcomepage.html", ...).  The
 * topics are HTML pages in the help folder (platform/qt/data_folders.h:
 * build/bin/help in the build tree, share/parvell/help when installed).
 *   1. The topic's file in the help folder (the folder's index.html when a
 *      page has no topic) exists: it opens in the user's browser as a file URL.
 *   2. Otherwise the online help opens: the online help address, then
 *      "parvellwizard/", then the topic.  It is tried with the verb "open" and,
 *      when that fails, with "explore" (both hand the address to the desktop);
 *      the first failure is quiet, the second shows its error box.
 */
#pragma once

#include <QString>

class QWidget;

namespace wizard {

/// What the online address is followed by before the topic.
inline constexpr char kOnlineHelpPrefix[] = "parvellwizard/";

/// The online help address used when none is set.
QString default_online_help_address();

/// The local file of @p topic in @p help_folder, or "" when it does not exist.
QString local_help_page(const QString& help_folder, const QString& topic);

/// The online address of @p topic under @p online_base.
QString online_help_url(const QString& online_base, const QString& topic);

/// Opens the help of @p topic.  @return true when the desktop took a page.
bool show_help_topic(QWidget* parent, const QString& help_folder, const QString& topic, const QString& online_base);

}  // namespace wizard
