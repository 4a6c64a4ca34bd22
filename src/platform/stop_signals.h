/* platform/stop_signals.h - the signals that ask a running operation to stop.
 *
 * While a StopSignals object lives, Ctrl-C (SIGINT), SIGTERM, a hang-up
 * (SIGHUP: the terminal closed, the user logged out) and SIGQUIT no longer end
 * the process: they only note that a stop was asked for, and the operation
 * polls stop_requested() from its progress callbacks and winds down cleanly
 * (temporary files removed, the old archive kept).  The destructor puts the
 * previous handlers back.  One object at a time; not for nested use.
 */
#pragma once

namespace platform {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  /// True once one of the signals arrived since the object was made.
  static bool stop_requested();
  /// The number of the first signal that arrived, or 0.
  static int stop_signal();
};

}  // namespace platform
