/* platform/qt/desktop_open.h - hand a file, folder or web address to the desktop (xdg-open).
 *
 * The wizard never opens documents itself: help pages, the archive it made
 * and the folder it extracted into go to whatever program the user's desktop
 * associates with them, through `xdg-open TARGET`.  The target is passed as
 * one argument to the program (never through a shell), so blanks, quotes and
 * non-ASCII characters arrive unchanged.
 *
 * xdg-open answers with its exit status: 0 handed over, 1 bad command line,
 * 2 the file does not exist, 3 no program or method found for it, 4 the
 * program it chose failed.  When xdg-open cannot be started at all (not
 * installed), the result is kDesktopOpenNotStarted.
 *
 * Some xdg-open fallbacks run the browser in the foreground and return only
 * when it is closed.  So the wait keeps the application painting (user input
 * is held back meanwhile) and ends after a hand-over time: a program still
 * running then has taken the target, which counts as handed over (0), and it
 * is left running and reaped once it ends.
 *
 * Tests replace the runner (set_desktop_runner) to record what would be
 * opened and to answer with any exit status, or keep the real runner and
 * point BROWSER at a recording script (xdg-open without a desktop session
 * hands the target to $BROWSER and returns its status).
 */
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

/// The helper program could not be started (missing, not executable).
inline constexpr int kDesktopOpenNotStarted = -1;
/// The helper program ended through a signal.
inline constexpr int kDesktopOpenCrashed = -2;

/// Starts @p program with @p arguments and returns its exit status, or one of
/// the two codes above.
using DesktopRunner = std::function<int(const QString& program, const QStringList& arguments)>;

/// Runs `xdg-open @p target` through the installed runner.  @return its exit
/// status (0 handed over), kDesktopOpenNotStarted or kDesktopOpenCrashed.
int desktop_open(const QString& target);

/// Replaces the runner of desktop_open (nullptr restores the real one); for tests.
void set_desktop_runner(DesktopRunner runner);

/// The real runner: starts @p program without a shell and waits for it while
/// the application keeps painting, at most @p hand_over_ms; a program still
/// running then counts as having taken over (0).
int run_and_wait(const QString& program, const QStringList& arguments, int hand_over_ms = 4000);

}  // namespace platform
