/* wizard/scheduler_page.h - the task page: turns the operation into a scheduled task.
 *
 * Shown after the extra-parameters page when monitoring is on.  Its controls:
 * the task name and comment, the starting date and time, an ending date
 * behind a check box, the account and password of the task, the frequency
 * list (Once, Daily, Weekly, Monthly) and "Rep&lace task if it exists".
 *
 * Each time the page is entered from the page before it, the controls get
 * their starting values: the name "Scheduled <NewZIP|UpdateZIP|UnZIP>
 * <archive file name>", the comment "Morvane Scheduled by '...', <weekday in
 * the user's language> at HH:MMM:SS.", today and now (the time shown in the
 * locale's format without its seconds), an ending date of today (checked),
 * the login name, "Once", replace checked; the record's stored operation is
 * set from `run mode`.
 *
 * A user's own crontab needs no password: the password edit is disabled, and
 * the account edit is too, unless we run as the superuser, who may type
 * another account and so schedule into that account's table.  Finish is
 * enabled while the task name is not empty.
 *
 * Finish registers the task and writes its task info file
 * (tasks/task_scheduling.h).  Success: the "MorvaneScheduled" warning, the
 * task_created signal, and on to the performing page.  Failure (after the
 * twenty clone attempts, 200 ms apart, during which the window keeps painting
 * but takes no input): the reason on the page and the "TaskNotScheduled"
 * question; Yes stays on the page, No ends the wizard.  No task info file is
 * left after a failure.
 */
#pragma once

#include <QDateTime>
#include <functional>

#include "wizard/resize_prop_page.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QTimeEdit;

namespace tasks {
struct TaskPageValues;
}

namespace wizard {

class CParvellExplorerMorvaneSchedulerPage : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPageScheduler;
  static constexpr char kCaption[] = "Parvell Wizard - Setting TASK Parameters";
  static constexpr char kHelpTopic[] = "wizard_createtaskpage.html";
  static constexpr char kScheduledValue[] = "MorvaneScheduled";
  static constexpr char kNotScheduledValue[] = "TaskNotScheduled";

  /// The clock of the starting values, and the wait between clone attempts (tests replace both).
  using Clock = std::function<QDateTime()>;
  using Wait = std::function<void(int ms)>;

  explicit CParvellExplorerMorvaneSchedulerPage(core::OperationRecord& record, QWidget* parent = nullptr);

  /// The program the task starts (its full path).
  void set_program_path(const QString& path) { m_program_path = path; }
  void set_clock(Clock clock) { m_clock = std::move(clock); }
  void set_wait(Wait wait) { m_wait = std::move(wait); }

  /// @p format without its seconds: the first time separator followed by
  /// "ss" is removed, else the first separator followed by "s".  The time
  /// zone field is dropped as well (the pickers edit local time).
  static QString time_format_without_seconds(const QString& format);

  /// The controls' values as the registration takes them.
  tasks::TaskPageValues values() const;

  void initializePage() override;
  bool isComplete() const override;
  bool validatePage() override;
  void on_set_active() override;

 signals:
  /// A task was registered (under @p name) and its task info file written.
  void task_created(const QString& name);

 private:
  bool schedule();

  QLineEdit* m_name = nullptr;
  QLineEdit* m_comment = nullptr;
  QDateEdit* m_start_date = nullptr;
  QTimeEdit* m_start_time = nullptr;
  QCheckBox* m_has_end = nullptr;
  QDateEdit* m_end_date = nullptr;
  QLineEdit* m_account = nullptr;
  QLineEdit* m_password = nullptr;
  QListWidget* m_frequency = nullptr;
  QCheckBox* m_replace = nullptr;
  QLabel* m_status = nullptr;
  QString m_program_path;
  Clock m_clock;
  Wait m_wait;
  bool m_busy = false;
};

}  // namespace wizard
