/* dialogs/send_by_mail.h - a new mail message with a file attached, in the user's mail program.
 *
 * The performing page's "Email" link offers the archive just made this way.
 * send_file_by_mail(owner, path, message, caption):
 *   - no path: 1 at once, nothing is started;
 *   - nothing on this machine can take mail (xdg-email missing or crashed,
 *     or no mail program set up): the message text, when one is given, is
 *     shown in an OK box titled with the caption (the program's name when
 *     there is none), with the reason below it; then 0;
 *   - otherwise xdg-email's status is the result (0 handed over).
 * The performing page passes no message text, so a machine without mail
 * stays silent.
 */
#pragma once

#include <QString>

class QWidget;

namespace dialogs {

int send_file_by_mail(QWidget* owner, const QString& path, const QString& message = QString(),
                      const QString& caption = QString());

}  // namespace dialogs
