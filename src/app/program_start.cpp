/* app/program_start.cpp - program start: the two run modes and their start-up. */
#include "app/program_start.h"

#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>

#include "core/command_line.h"
#include "core/operation_record.h"
#include "core/product.h"
#include "core/strings.h"
#include "dialogs/about_box.h"
#include "dialogs/send_by_mail.h"
#include "dialogs/shell_open.h"
#include "dialogs/ui_text.h"
#include "log/task_log.h"
#include "platform/qt/app_environment.h"
#include "platform/qt/data_folders.h"
#include "run/headless_run.h"
#include "wizard/extra_parameters_page.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/page_help.h"
#include "wizard/performing_page.h"
#include "wizard/pick_unzip_folder_page.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/scheduler_page.h"
#include "wizard/welcome_page.h"

namespace app {
namespace {

using core::OperationRecord;

void print_message(int id) {
  const char* text = core::load_string(id);
  std::fprintf(stderr, "parvell: %s\n", text ? text : "");
}

class StderrMessages final : public StartupMessages {
 public:
  void show(int id) override { print_message(id); }
};

class DialogMessages final : public StartupMessages {
 public:
  void show(int id) override {
    print_message(id);
    QMessageBox box(QMessageBox::Warning, dialogs::load_qstring(core::kIdsStartupCaption), dialogs::load_qstring(id),
                    QMessageBox::Ok);
    box.exec();
  }
};

/// A verified task runs on the performing page alone where there is a screen,
/// else through the same run logic without widgets.
int run_task(OperationRecord& record, tasklog::TaskLog& log, wizard::CMyResizePropSheet* sheet) {
  if (sheet == nullptr) return run::run_scheduled_task_headless(record, log);
  auto* page = qobject_cast<wizard::CTovanelExplWizCallBack*>(sheet->page(wizard::kPagePerforming));
  if (page == nullptr) return run::OperationRun::kNotRun;
  sheet->exec();
  return page->result();
}

}  // namespace

/// The six pages, constructed before the path is chosen.
struct ProgramStart::Pages {
  std::unique_ptr<wizard::CPickZipFileName> pick_zip;
  std::unique_ptr<wizard::CPickUnZipFolderName> pick_folder;
  std::unique_ptr<wizard::CSetExtraParametersPg> extra;
  std::unique_ptr<wizard::CWelcomePage> welcome;
  std::unique_ptr<wizard::CTovanelExplWizCallBack> performing;
  std::unique_ptr<wizard::CParvellExplorerMorvaneSchedulerPage> scheduler;
};

namespace {

template <typename Page>
void hand_to_sheet(wizard::CMyResizePropSheet& sheet, std::unique_ptr<Page>& page) {
  sheet.add_page(page.get());
  page.release();  // the sheet owns it now
}

}  // namespace

std::unique_ptr<StartupMessages> make_dialog_messages() { return std::make_unique<DialogMessages>(); }
std::unique_ptr<StartupMessages> make_stderr_messages() { return std::make_unique<StderrMessages>(); }

ProgramStart::ProgramStart(OperationRecord& record, tasklog::TaskLog& log, Options options)
    : m_record(record), m_log(log), m_options(std::move(options)) {
  if (m_options.messages == nullptr) {
    m_own_messages = m_options.gui ? make_dialog_messages() : make_stderr_messages();
    m_options.messages = m_own_messages.get();
  }
  if (!m_options.runner) m_options.runner = run_task;
  if (!m_options.reader) m_options.reader = tasks::read_any_task_info_file;
  if (m_options.executable_path.isNull()) m_options.executable_path = platform::executable_path();
}

ProgramStart::~ProgramStart() {
  // Pages that never joined the sheet go first, then the sheet with its pages;
  // each page stores its remembered settings as it goes.
  m_pages.reset();
  m_sheet.reset();
  dialogs::set_help_opener({});
}

ProgramStart::Outcome ProgramStart::start(const QStringList& arguments) {
  // A fresh record, then the command line decides the run mode.
  m_record.reset();
  std::vector<std::string> args;
  for (const QString& argument : arguments) args.push_back(argument.toStdString());
  core::parse_command_line(args, m_record);
  m_record.scheduled_start = m_record.run_mode == core::kRunModeScheduled;

  // The title, the help paths, the sheet and its six pages.
  m_title = QString::asprintf("Welcome to %s Wizard", core::kProductName);
  if (m_options.gui) build_sheet();

  // The scheduled path or the interactive one.
  if (m_record.run_mode == core::kRunModeScheduled) {
    m_outcome = verify_scheduled_start();
    return m_outcome;
  }
  if (m_sheet) {
    hand_to_sheet(*m_sheet, m_pages->welcome);
    hand_to_sheet(*m_sheet, m_pages->pick_zip);
    hand_to_sheet(*m_sheet, m_pages->pick_folder);
    hand_to_sheet(*m_sheet, m_pages->extra);
    hand_to_sheet(*m_sheet, m_pages->scheduler);
    hand_to_sheet(*m_sheet, m_pages->performing);
    m_sheet->set_name_string(QString::fromLatin1(core::kProductWord));
    m_sheet->set_framework_start_page(m_record.run_mode != core::kRunModeNone ? 1 : 0);
  }
  m_outcome = Outcome::kInteractive;
  return m_outcome;
}

void ProgramStart::build_sheet() {
  const QFileInfo executable(m_options.executable_path);
  const QString folder = executable.absolutePath();
  const QString help_path = folder + QLatin1Char('/') + executable.completeBaseName() + QStringLiteral(".chm");
  m_sheet = std::make_unique<wizard::CMyResizePropSheet>(m_title, QStringLiteral("WizardPosData"), 0, help_path,
                                                         m_record.scheduled_start);
  // The page help: the help pages beside the program (build tree or installation).
  m_sheet->set_help_folder(platform::help_folder(m_options.executable_path));
  // The about box's help link opens the help's contents page, like the sheet's pages do theirs.
  dialogs::set_help_opener([sheet = m_sheet.get()](QWidget* parent) {
    wizard::show_help_topic(parent, sheet->help_folder(), QString(), sheet->online_help_address());
  });

  m_pages = std::make_unique<Pages>();
  m_pages->pick_zip = std::make_unique<wizard::CPickZipFileName>(m_record);
  m_pages->pick_folder = std::make_unique<wizard::CPickUnZipFolderName>(m_record);
  m_pages->extra = std::make_unique<wizard::CSetExtraParametersPg>(m_record);
  m_pages->welcome = std::make_unique<wizard::CWelcomePage>(m_record);
  m_pages->performing = std::make_unique<wizard::CTovanelExplWizCallBack>(m_record, m_log);
  // "Open" and the extraction folder go to the desktop; a failure is shown over the sheet.
  wizard::CTovanelExplWizCallBack::Services services;
  services.open_path = [sheet = m_sheet.get()](const QString& path) {
    dialogs::shell_open(sheet, QStringLiteral("open"), path);
  };
  // "Email": a new message in the user's mail program with the archive attached.
  services.mail_file = [sheet = m_sheet.get()](const QString& path) { dialogs::send_file_by_mail(sheet, path); };
  m_pages->performing->set_services(std::move(services));
  m_pages->scheduler = std::make_unique<wizard::CParvellExplorerMorvaneSchedulerPage>(m_record);
  m_pages->scheduler->set_program_path(QFileInfo(m_options.executable_path).absoluteFilePath());
}

ProgramStart::Outcome ProgramStart::end_with(int message_id) {
  m_message_id = message_id;
  m_options.messages->show(message_id);
  return Outcome::kEnded;
}

ProgramStart::Outcome ProgramStart::verify_scheduled_start() {
  const std::string path = m_record.cmdline_task_path;
  if (path.empty()) return end_with(core::kIdsParametersFileNotFound);
  if (!platform::is_regular_file(QString::fromStdString(path))) return end_with(core::kIdsTaskFileNotFound);

  tasks::TaskFileVerdict verdict;
  try {
    verdict = m_options.reader(path, &m_record);
  } catch (...) {
    return end_with(core::kIdsReadingTerminated);
  }
  if (verdict != tasks::TaskFileVerdict::kAccepted) return end_with(core::kIdsVerificationFailed);

  m_log.add_entry_from_message(core::kIdsEventVerificationOk, path);
  // Log enabled as the task file says: its own line or, in a file older than
  // that line, whether it names a log file (the readers decide).
  m_log.take_task(m_record);
  if (m_sheet) hand_to_sheet(*m_sheet, m_pages->performing);
  return Outcome::kScheduled;
}

int ProgramStart::run() {
  switch (m_outcome) {
    case Outcome::kNotStarted:
    case Outcome::kEnded:
      return kExitStartRefused;
    case Outcome::kInteractive:
      if (!m_sheet) {
        m_options.messages->show(core::kIdsNoDisplay);
        return kExitNoDisplay;
      }
      return m_sheet->exec() == QDialog::Accepted ? kExitOk : kExitFailed;
    case Outcome::kScheduled: {
      const int result = m_options.runner(m_record, m_log, m_sheet.get());
      m_log.write_log(result);
      return result == 0 ? kExitOk : kExitFailed;
    }
  }
  return kExitFailed;
}

}  // namespace app
