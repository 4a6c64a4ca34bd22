/* platform/qt/app_environment.h - what the program asks of its surroundings at start.
 *
 * Whether a window can appear, where the executable lies and whether a named
 * file is there: the few questions program start puts to the system, kept in
 * one place.  A Qt Widgets program whose application object starts without a
 * usable display aborts in a way that cannot be caught (and cron starts
 * scheduled runs with no display at all), so the display is judged from the
 * environment before that object exists, and Qt is asked to fall back to its
 * offscreen platform should the named display turn out to be dead.
 */
#pragma once

#include <QString>

namespace platform {

/// True when DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM names a display.
bool display_named();

/// Chooses the platform the application object starts on.  Built before the
/// QApplication: unless the user chose a platform, asks for the named display
/// with the offscreen platform as fallback.  After the application object
/// exists, fell_back() tells whether Qt had to take the fallback.
class DisplayFallback {
 public:
  DisplayFallback();
  /// Call once the QApplication exists; forgets the choice for child processes.
  bool fell_back();

 private:
  bool m_chosen_here;
};

/// Absolute path of the running executable ("" before the application object exists).
QString executable_path();

/// True when @p path names a regular file (after following links).
bool is_regular_file(const QString& path);

}  // namespace platform
