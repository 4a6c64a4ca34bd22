/* platform/event_pump.h - let the application handle its events during long engine work.
 *
 * The engine runs synchronously on the caller's thread, which in the wizard
 * is the user-interface thread.  After each callback and progress report the
 * engine calls this hook so that the application can process its pending
 * events (the Stop button, repaints).  The default does nothing; the wizard
 * installs QCoreApplication::processEvents.
 */
#pragma once

namespace platform {

using PumpHook = void (*)(void* context);

/// Installs @p hook for the whole process; nullptr restores the default (nothing).
void set_pump_hook(PumpHook hook, void* context);

/// Runs the installed hook once.
void pump_events();

}  // namespace platform
