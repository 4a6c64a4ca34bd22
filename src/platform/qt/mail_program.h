/* platform/qt/mail_program.h - hand a file to the user's mail program as an attachment (xdg-email).
 *
 * The wizard does not send mail itself: it opens a new message in whatever
 * mail program the desktop is set up with, the file attached, and the user
 * addresses and sends it there.  `xdg-email --attach PATH` does that; the
 * path is made absolute (the mail program may run in another folder) and is
 * passed as one argument, never through a shell, so blanks, quotes and
 * non-ASCII characters arrive unchanged.
 *
 * xdg-email answers with its exit status: 0 handed over (not sent: the user
 * may still discard the message), 1 bad command line, 2 the file does not
 * exist, 3 no mail program is set up (also what it says without a desktop
 * session), 4 the mail program failed.  xdg-email not installed gives
 * kDesktopOpenNotStarted.  The wait is desktop_open's: the window keeps
 * painting, and a mail program still running after the hand-over time has
 * taken the message.
 *
 * Tests replace the runner (set_mail_runner) or put a recording xdg-email
 * first on PATH.
 */
#pragma once

#include <QString>

#include "platform/qt/desktop_open.h"

namespace platform {

/// xdg-email's status for "no mail program is set up".
inline constexpr int kMailNoProgram = 3;

/// Runs `xdg-email --attach <absolute @p path>`.  @return xdg-email's exit
/// status (0 handed over), kDesktopOpenNotStarted or kDesktopOpenCrashed.
int send_by_mail(const QString& path);

/// True when @p status means nothing on this machine can take mail: xdg-email
/// missing or crashed, or no mail program set up.
bool mail_system_missing(int status);

/// Why the mail could not be handed over, for status @p status (not 0).
QString mail_failure_reason(int status);

/// Replaces the runner of send_by_mail (nullptr restores the real one); for tests.
void set_mail_runner(DesktopRunner runner);

}  // namespace platform
