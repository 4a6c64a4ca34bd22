/* wizard/performing_page.h - the performing page: runs the operation and shows its progress.
 *
 * CTovanelExplWizCallBack (dialog 301) is the last page of the wizard and the
 * only page of a scheduled run with a display.  Its rules are those of
 * run::OperationRun; the page shows what the run reports (the RunPresenter
 * side) and answers its questions with the overwrite dialog, the password
 * dialog and the "EmptytZipStillNoPassword" warning.
 *
 * On its first activation the page prepares the run and starts it from a
 * 30 ms timer; the sheet's Finish button reads "Stop" while it runs (Stop asks
 * first, then tells the engine to stop at its next report) and "Done" after.
 * Closing the window or pressing Esc during a run is Stop as well: the sheet
 * never closes under a running engine.  At the end the links "Email" and
 * "Open" appear after a zip run, a successful extraction hands its folder to
 * the file manager, and a scheduled run (or a declined password) closes the
 * sheet by itself.
 *
 * Opening a file or folder and mailing the archive go through Services, so
 * the page holds no desktop calls of its own and tests see what was asked.
 *
 * The button row holds the Finish button alone (with Help): nothing goes back
 * from a run.
 */
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "run/operation_run.h"
#include "run/run_presenter.h"
#include "wizard/resize_prop_page.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tasklog {
class TaskLog;
}

namespace wizard {

class CTovanelExplWizCallBack : public CMyResizePropPage, public run::RunPresenter {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePerforming;
  static constexpr char kCaption[] = "Parvell Wizard - Performing Operation";
  static constexpr char kHelpTopic[] = "wizard_operationpage.html";

  /// What the page asks of the desktop.  An empty function: nothing is handed over.
  struct Services {
    std::function<void(const QString& path)> open_path;  ///< the shell's "open" on a file or folder
    std::function<void(const QString& path)> mail_file;  ///< a new mail with the file attached
    run::RunSeams run_seams;                             ///< the run's own seams (tests)
  };

  CTovanelExplWizCallBack(core::OperationRecord& record, tasklog::TaskLog& log, QWidget* parent = nullptr);
  ~CTovanelExplWizCallBack() override;

  void set_services(Services services) { m_services = std::move(services); }

  void initializePage() override;
  bool validatePage() override;
  bool isComplete() const override { return true; }
  QList<QWizard::WizardButton> button_layout() const override;

  /// The operation result (1 before any run).
  int32_t result() const { return m_run ? m_run->result() : run::OperationRun::kNotRun; }
  /// True once the run has ended (Finish reads "Done").
  bool completed() const { return m_completed; }
  const run::OperationRun* operation() const { return m_run.get(); }

  // RunPresenter
  void show_line(run::RunLine line, const std::string& text, bool bold) override;
  void show_item(const std::string& name, int percent) override;
  void show_total(int percent) override;
  std::optional<std::string> ask_password() override;
  bool continue_without_password() override;
  run::OverwriteChoice ask_overwrite(const bridge::OverwriteInfo& info) override;
  void pump_events() override;

 signals:
  /// The run has ended and the page shows its outcome.
  void run_completed(int result);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void run_now();
  void ask_stop();
  void close_sheet();
  void set_finish_text(const QString& text);
  QLabel* line_label(run::RunLine line) const;

  tasklog::TaskLog& m_log;
  Services m_services;
  std::unique_ptr<run::OperationRun> m_run;
  bool m_started = false;
  bool m_running = false;
  bool m_completed = false;

  QLabel* m_title = nullptr;
  QLabel* m_wait = nullptr;
  QLabel* m_monitoring = nullptr;
  QLabel* m_label = nullptr;
  QLabel* m_item_name = nullptr;
  QLabel* m_item_percent = nullptr;
  QLabel* m_total_percent = nullptr;
  QProgressBar* m_total_bar = nullptr;
  QLabel* m_counter = nullptr;
  QLabel* m_note = nullptr;
  QLabel* m_hint = nullptr;
  QPushButton* m_email = nullptr;
  QPushButton* m_open = nullptr;
};

}  // namespace wizard
