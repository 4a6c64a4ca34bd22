/* tests/wizard/sheet_driver.h - the real wizard, built by program start and driven as a user would.
 *
 * SheetTest starts the program (empty settings unless a test stores some
 * first), shows its sheet offscreen, and gives the tests the pages by their
 * objectName, the buttons of the button row, and stand-ins that answer for
 * the user: the add-files dialog, the message boxes and the warning box (each
 * records what it was asked), the about box and the desktop runner (records
 * what would have been opened and answers with a chosen exit status), and an
 * in-memory crontab, so a Finish on the task page never reaches a real table.
 */
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QRadioButton>
#include <QSettings>
#include <QStringList>
#include <memory>
#include <ostream>
#include <vector>

#include "app/program_start.h"
#include "crontab_stand_ins.h"
#include "test_env.h"
#include "core/operation_record.h"
#include "dialogs/message_boxes.h"
#include "dialogs/warn_message_box.h"
#include "log/task_log.h"
#include "platform/qt/desktop_open.h"
#include "platform/qt/settings_store.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/welcome_page.h"

/// gtest shows texts as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace sheettest {

class SheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_settings();
    docs_folder = testenv::make_temp_dir("docs");
    dialogs::set_box_presenter([this](QWidget*, const dialogs::BoxRequest& request) {
      boxes.push_back(request);
      return request.buttons == dialogs::BoxButtons::kYesNo ? (answer_yes ? dialogs::kBoxYes : dialogs::kBoxNo)
                                                           : dialogs::kBoxOk;
    });
    dialogs::CWarnMessageBoxOnOff::set_presenter([this](QWidget*, const QString&, const QString& text) {
      warnings.push_back(text);
      return dialogs::CWarnMessageBoxOnOff::Reply{answer_yes, do_not_show_again};
    });
    platform::set_desktop_runner([this](const QString& program, const QStringList& arguments) {
      opened.push_back(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
      const int status = desktop_statuses.empty() ? 0 : desktop_statuses.front();
      if (!desktop_statuses.empty()) desktop_statuses.erase(desktop_statuses.begin());
      return status;
    });
  }
  void TearDown() override {
    m_start.reset();
    dialogs::set_box_presenter(nullptr);
    dialogs::CWarnMessageBoxOnOff::set_presenter(nullptr);
    platform::set_desktop_runner(nullptr);
  }

  static void clear_settings() {
    QSettings raw(QStringLiteral("Parvell"), platform::SettingsStore::application_name());
    raw.clear();
    raw.sync();
  }
  static void store_int(const char* section, const char* name, int value) {
    platform::SettingsStore store(false);
    store.write_int(QString::fromLatin1(section), QString::fromLatin1(name), value);
    store.flush();
  }

  /// Starts the program with @p arguments and shows the interactive sheet.
  wizard::CMyResizePropSheet* start(const QStringList& arguments = {}, bool show = true) {
    app::ProgramStart::Options options;
    options.executable_path = QStringLiteral("/nonexistent/bin/parvell");
    options.messages = nullptr;
    m_start = std::make_unique<app::ProgramStart>(record, log, options);
    m_start->start(arguments);
    sheet = m_start->sheet();
    if (sheet == nullptr) return nullptr;
    welcome()->set_add_files_hook([this](QWidget*, core::OperationRecord& r) {
      ++add_files_shown;
      folder_seen_by_dialog = r.originating_folder;
      if (add_files_ok) r.originating_folder = docs_folder;
      return add_files_ok;
    });
    sheet->set_about_handler([this](QWidget*) { ++about_shown; });
    if (show) sheet->show();
    return sheet;
  }
  /// Destroys the sheet and its pages (they store their settings).
  void finish_program() { m_start.reset(); sheet = nullptr; }

  template <typename Page = QWidget>
  Page* page_named(const char* name) const {
    return sheet->findChild<Page*>(QString::fromLatin1(name));
  }
  wizard::CWelcomePage* welcome() const { return page_named<wizard::CWelcomePage>("CWelcomePage"); }
  QAbstractButton* button(QWizard::WizardButton which) const { return sheet->button(which); }
  /// Clicks @p which when the user could (shown and enabled); @return whether it was clicked.
  bool click(QWizard::WizardButton which) {
    QAbstractButton* b = button(which);
    if (!b->isVisible() || !b->isEnabled()) return false;
    b->click();
    return true;
  }
  /// The buttons a user sees, enabled ones in capitals: "back NEXT CANCEL HELP".
  QString button_row() const;

  core::OperationRecord record;
  tasklog::TaskLog log;
  testenv::FakeCrontab crontab;
  std::string docs_folder;  ///< the folder the add-files stand-in chooses
  wizard::CMyResizePropSheet* sheet = nullptr;

  // What the stand-ins answer and what they were asked.
  bool add_files_ok = true;
  bool answer_yes = true;
  bool do_not_show_again = false;
  std::vector<int> desktop_statuses;  ///< exit statuses the desktop answers, in turn (then 0)
  int add_files_shown = 0;
  std::string folder_seen_by_dialog = "unset";
  int about_shown = 0;
  std::vector<dialogs::BoxRequest> boxes;
  QStringList warnings;
  QStringList opened;

 private:
  std::unique_ptr<app::ProgramStart> m_start;
};

inline QString SheetTest::button_row() const {
  const struct {
    QWizard::WizardButton which;
    const char* name;
  } row[] = {{QWizard::CustomButton1, "about"}, {QWizard::BackButton, "back"}, {QWizard::NextButton, "next"},
             {QWizard::FinishButton, "finish"}, {QWizard::CancelButton, "cancel"}, {QWizard::HelpButton, "help"}};
  QStringList shown;
  for (const auto& b : row) {
    const QAbstractButton* widget = sheet->button(b.which);
    if (!widget->isVisible()) continue;
    const QString name = QString::fromLatin1(b.name);
    shown << (widget->isEnabled() ? name.toUpper() : name);
  }
  return shown.join(QLatin1Char(' '));
}

}  // namespace sheettest
