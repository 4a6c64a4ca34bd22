/* app/program_start.h - program start: the two run modes and their start-up.
 *
 * ProgramStart runs the start-up sequence once: reset the operation record,
 * read the command line, build the sheet ("Welcome to <product> Wizard", the
 * placement key "WizardPosData", the help paths) and its six pages, and
 * choose the path.
 *
 * Scheduled path (`run mode` 3): the task info file must be named (else
 * message 101), exist as a file (else 630), and be accepted by the protected
 * reader or, when that one cannot open it, by the plain one (else 100; a
 * reader that throws gives 627).  Then event 158 is recorded with the path,
 * the results log takes the task, and the sheet holds only the performing
 * page.  The run of the operation itself is a seam (ScheduledRunner); by
 * default it is the run logic of the performing page (run/operation_run.h).
 * Its result is written to the results log as soon as it ends and decides
 * the exit status.
 *
 * Interactive path: the six pages in order, the name string "PARVELL", and the
 * sheet run modally; it always opens on the welcome page.
 *
 * Headless (no widgets possible, as under cron): no sheet or page is built,
 * start-up messages go to stderr and nothing waits for a user; an interactive
 * start ends with the no-display line.
 *
 * The settings store is left untouched by a scheduled start: the record is
 * marked as a scheduled start before any page exists.
 */
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "core/operation_record.h"
#include "tasks/protected_task_file.h"

namespace tasklog {
class TaskLog;
}
namespace wizard {
class CMyResizePropSheet;
}

namespace app {

using core::OperationRecord;

/// Exit status of the process.
enum ExitStatus : int {
  kExitOk = 0,            ///< the run did what it was asked
  kExitFailed = 1,        ///< the operation did not complete successfully, or the wizard was cancelled
  kExitNoDisplay = 2,     ///< an interactive start without a display
  kExitStartRefused = 3,  ///< a scheduled start ended with a start-up message (101, 630, 100, 627)
};

/// Where start-up messages go.
class StartupMessages {
 public:
  virtual ~StartupMessages() = default;
  /// Shows the string-table message @p id (with an OK button where there is a screen).
  virtual void show(int id) = 0;
};

/// Message boxes (and the same line on stderr) where widgets exist.
std::unique_ptr<StartupMessages> make_dialog_messages();
/// One line on stderr per message.
std::unique_ptr<StartupMessages> make_stderr_messages();

class ProgramStart {
 public:
  enum class Outcome {
    kNotStarted,
    kInteractive,  ///< the sheet holds the six pages
    kScheduled,    ///< the task file was verified; the sheet (if any) holds the performing page
    kEnded,        ///< a start-up message was shown; the program ends
  };

  /// Runs a verified scheduled task and returns the operation's result (0 success).
  using ScheduledRunner =
      std::function<int(OperationRecord& record, tasklog::TaskLog& log, wizard::CMyResizePropSheet* sheet)>;
  /// Reads a task info file in either form; the default is tasks::read_any_task_info_file.
  using TaskFileReader = std::function<tasks::TaskFileVerdict(const std::string& path, OperationRecord* record)>;

  struct Options {
    bool gui = true;                      ///< widgets can be created
    StartupMessages* messages = nullptr;  ///< default: dialogs with gui, stderr without
    ScheduledRunner runner;               ///< default: run::run_scheduled_task_headless
    TaskFileReader reader;                ///< default: protected, then plain
    QString executable_path;              ///< default: QCoreApplication::applicationFilePath()
  };

  ProgramStart(OperationRecord& record, tasklog::TaskLog& log, Options options);
  ~ProgramStart();  ///< destroys the pages and the sheet (the pages store their settings)

  /// Resets the record, reads @p arguments (without the program name), builds
  /// the sheet and its pages and chooses the path; a scheduled start verifies
  /// its task file here.
  Outcome start(const QStringList& arguments);
  /// Runs the chosen path to its end.  @return the exit status.
  int run();

  Outcome outcome() const { return m_outcome; }
  /// The start-up message shown (101, 630, 100, 627, or 0).
  int message_id() const { return m_message_id; }
  wizard::CMyResizePropSheet* sheet() const { return m_sheet.get(); }
  QString title() const { return m_title; }

 private:
  struct Pages;
  void build_sheet();
  Outcome verify_scheduled_start();
  Outcome end_with(int message_id);

  OperationRecord& m_record;
  tasklog::TaskLog& m_log;
  Options m_options;
  std::unique_ptr<StartupMessages> m_own_messages;
  std::unique_ptr<Pages> m_pages;  ///< pages not (yet) handed to the sheet
  std::unique_ptr<wizard::CMyResizePropSheet> m_sheet;
  Outcome m_outcome = Outcome::kNotStarted;
  int m_message_id = 0;
  QString m_title;
};

}  // namespace app
