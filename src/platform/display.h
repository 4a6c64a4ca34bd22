/* platform/display.h - is there a display a window could appear on?
 *
 * Decided from the environment alone, before any Qt application object exists:
 * a Qt Widgets program that starts without a usable display aborts in a way that
 * cannot be caught, and cron starts scheduled runs with no display at all.
 */
#pragma once

namespace platform {

/// True when DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set and not empty.
bool display_available();

}  // namespace platform
