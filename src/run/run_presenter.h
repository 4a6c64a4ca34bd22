/* run/run_presenter.h - what a running operation shows and asks, wherever it runs.
 *
 * OperationRun (run/operation_run.h) holds the rules of a run; it never
 * touches a widget.  Everything a person would see or answer goes through
 * this interface instead: the performing page implements it with its labels,
 * progress bar and dialogs, the headless scheduled run with lines on stderr
 * and answers that never wait for anybody.
 *
 * Every method has a default that shows nothing and answers the safe way
 * (no password, do not continue, keep the existing file, do not stop), so a
 * presenter states only what it does differently.
 */
#pragma once

#include <optional>
#include <string>

#include "bridge/ui_progress.h"

namespace run {

/// The lines of the performing page, by what they say.
enum class RunLine {
  kTitle,       ///< "Adding Files to ZIP '%s'." and its two siblings
  kPleaseWait,  ///< "Please wait for the operation to complete or press Stop to cancel."
  kMonitoring,  ///< the monitoring status line
  kLabel,       ///< "Preparing..." until the first report, then "Processing:"
  kCounter,     ///< "Processed so far: %d files. "
  kOutcome,     ///< one of the three outcome texts
  kNote,        ///< a line the run adds after the outcome (delete after refused, say)
  kHint,        ///< "You can Email the ZIP File, Open it ..."
};

/// The overwrite dialog's answer: the answer code and, for Rename, the new name.
struct OverwriteChoice {
  int32_t answer = bridge::kAnswerNo;
  std::string new_name;  ///< empty: no new name
};

class RunPresenter {
 public:
  virtual ~RunPresenter() = default;

  /// Sets one line; @p bold for the outcome and the active monitoring line.
  virtual void show_line(RunLine, const std::string& /*text*/, bool /*bold*/) {}
  /// The current item and its percent.
  virtual void show_item(const std::string& /*name*/, int /*percent*/) {}
  /// The whole run's percent (the total bar).
  virtual void show_total(int /*percent*/) {}

  /// The password dialog.  @return the typed text; nothing for Cancel.
  virtual std::optional<std::string> ask_password() { return std::nullopt; }
  /// The "EmptytZipStillNoPassword" warning.  @return true for Yes (run without one).
  virtual bool continue_without_password() { return false; }
  /// The overwrite dialog for the file about to be written.
  virtual OverwriteChoice ask_overwrite(const bridge::OverwriteInfo&) { return {}; }

  /// Lets waiting events run (the Stop button, repaints) before each report.
  virtual void pump_events() {}
};

}  // namespace run
