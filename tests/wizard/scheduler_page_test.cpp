/* tests/wizard/scheduler_page_test.cpp - the task page, reached and finished as a user does.
 *
 * Risks: starting values that differ from what the user is shown elsewhere
 * (the weekday in another language, a two-digit minute, seconds left in the
 * time format), Finish offered without a name, a failed registration that
 * moves on, waits too little, or leaves a task file; a success that writes
 * the wrong form of the file or leaves the sheet on the page.
 */
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>
#include <filesystem>

#include "platform/crontab.h"
#include "sheet_driver.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_table.h"
#include "wizard/pick_zip_file_page.h"
#include "wizard/scheduler_page.h"

namespace {

using W = QWizard;
using Page = wizard::CParvellExplorerMorvaneSchedulerPage;

const QDateTime kSaturdayMorning(QDate(2024, 6, 1), QTime(3, 5, 7));

class TaskPage : public sheettest::SheetTest {
 protected:
  void TearDown() override {
    QLocale::setDefault(QLocale::c());
    SheetTest::TearDown();
  }
  /// Starts the wizard and goes to the task page (adding to an archive, monitoring on);
  /// the waits between clone attempts are counted instead of waited, unless @p real_waits.
  Page* reach_task_page(bool real_waits = false) {
    if (start() == nullptr) return nullptr;
    page()->set_clock([] { return kSaturdayMorning; });
    if (!real_waits) page()->set_wait([this](int ms) { waited_ms += ms; });
    welcome()->radio(core::kRunModeAdd)->click();
    auto* monitor = welcome()->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"));
    if (!monitor->isChecked()) monitor->click();  // the last run's choice is remembered
    page_named<wizard::CPickZipFileName>("CPickZipFileName")
        ->set_archive_state(QStringLiteral("/home/u/Night Docs.zip"), true);
    for (int i = 0; i < 3; ++i) click(W::NextButton);
    return sheet->currentId() == wizard::kPageScheduler ? page() : nullptr;
  }
  Page* page() const { return page_named<Page>("CParvellExplorerMorvaneSchedulerPage"); }
  template <typename T>
  T* control(const char* name) const {
    return page()->findChild<T*>(QString::fromLatin1(name));
  }
  std::string task_file() const { return docs_folder + "/" + record.task_name + ".task_info.txt"; }

  int waited_ms = 0;
};

TEST_F(TaskPage, StartingValuesForEachOperationAndLanguage) {
  struct Case {
    int run_mode;
    QLocale locale;
    const char* name;
    const char* weekday;
  };
  const Case cases[] = {{0, QLocale(QLocale::English, QLocale::UnitedStates), "Scheduled NewZIP Night Docs.zip", "Saturday"},
                        {1, QLocale(QLocale::German, QLocale::Germany), "Scheduled UpdateZIP Night Docs.zip", "Samstag"},
                        {2, QLocale(QLocale::French, QLocale::France), "Scheduled UnZIP Night Docs.zip", "samedi"}};
  ASSERT_NE(reach_task_page(), nullptr);
  for (const Case& c : cases) {
    QLocale::setDefault(c.locale);
    record.run_mode = c.run_mode;
    page()->initializePage();
    EXPECT_EQ(record.stored_operation, c.run_mode);
    EXPECT_EQ(control<QLineEdit>("editTaskName")->text(), QString::fromUtf8(c.name));
    EXPECT_EQ(control<QLineEdit>("editTaskComment")->text(),
              QStringLiteral("Morvane Scheduled by 'Parvell Ravarave Wizard Module v2.1', %1 at 03:005:07.")
                  .arg(QString::fromUtf8(c.weekday)));
    const QString format = control<QTimeEdit>("timeStart")->displayFormat();
    EXPECT_FALSE(format.contains(QLatin1Char('s'))) << format.toStdString();
    EXPECT_EQ(control<QTimeEdit>("timeStart")->time(), QTime(3, 5));
    EXPECT_EQ(control<QDateEdit>("dateStart")->date(), kSaturdayMorning.date());
    EXPECT_EQ(control<QDateEdit>("dateEnd")->date(), kSaturdayMorning.date());
    EXPECT_TRUE(control<QCheckBox>("checkEndDate")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("checkReplace")->isChecked());
    EXPECT_EQ(control<QListWidget>("listFrequency")->currentItem()->text(), QStringLiteral("Once"));
    EXPECT_EQ(control<QLineEdit>("editAccount")->text(), QString::fromStdString(platform::login_name()));
    EXPECT_EQ(control<QLineEdit>("editAccount")->isEnabled(), platform::running_as_superuser());
    EXPECT_FALSE(control<QLineEdit>("editPassword")->isEnabled());
  }
}

TEST_F(TaskPage, TimeFormatLosesItsSecondsOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"HH:mm:ss", "HH:mm"},      {"h:mm:ss AP t", "h:mm AP"}, {"HH.mm.ss", "HH.mm"}, {"H:mm:s", "H:mm"},
      {"HH:mm", "HH:mm"},         {"ss:HH:mm", "ss:HH:mm"},    {"HH 'h' mm", "HH 'h' mm"},
      {"AP h:mm:ss", "AP h:mm"},
  };
  for (const auto& [format, expected] : cases)
    EXPECT_EQ(Page::time_format_without_seconds(QString::fromLatin1(format)), QString::fromLatin1(expected)) << format;
}

TEST_F(TaskPage, FinishOnlyWithAName) {
  ASSERT_NE(reach_task_page(), nullptr);
  EXPECT_EQ(button_row(), QStringLiteral("BACK FINISH CANCEL HELP"));
  QLineEdit* name = control<QLineEdit>("editTaskName");
  name->selectAll();
  QTest::keyClick(name, Qt::Key_Delete);
  EXPECT_EQ(button_row(), QStringLiteral("BACK finish CANCEL HELP"));
  QTest::keyClicks(name, QStringLiteral("N"));
  EXPECT_EQ(button_row(), QStringLiteral("BACK FINISH CANCEL HELP"));
}

TEST_F(TaskPage, RefusedTableTriesTwentyClonesThenAsks) {
  for (bool yes : {true, false}) {
    answer_yes = yes;
    ASSERT_NE(reach_task_page(yes), nullptr);
    crontab.write_answer = platform::CrontabStatus::kRefused;
    crontab.calls.clear();
    warnings.clear();
    QElapsedTimer clock;
    clock.start();
    click(W::FinishButton);
    if (yes) { EXPECT_GE(clock.elapsed(), 4000); }  // twenty real waits of 200 ms
    else EXPECT_EQ(waited_ms, 20 * 200);
    EXPECT_EQ(crontab.calls.size(), 42u);        // 21 registrations, each a read and a write
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0], QStringLiteral("Scheduled Morvane 'Scheduled UpdateZIP Night Docs.zip' Could Not Be "
                                          "Created/Updated. Please press 'Yes' to Return to check your Morvane "
                                          "parameters..."));
    EXPECT_FALSE(std::filesystem::exists(record.task_file_path));
    EXPECT_EQ(sheet->isVisible(), yes);
    if (yes) {
      EXPECT_EQ(sheet->currentId(), wizard::kPageScheduler);
      EXPECT_TRUE(control<QLabel>("labelStatus")->isVisible());
      EXPECT_EQ(control<QLabel>("labelStatus")->text(),
                QStringLiteral("\"Scheduled UpdateZIP Night Docs.zip\" could not be registered in your crontab: "
                               "refused to install (test)"));
    }
    finish_program();
  }
}

TEST_F(TaskPage, TaskFileThatCannotBeWrittenIsNamedAndNoTaskStays) {
  ASSERT_NE(reach_task_page(), nullptr);
  std::filesystem::remove_all(docs_folder);
  click(W::FinishButton);
  EXPECT_EQ(sheet->currentId(), wizard::kPageScheduler);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, dialogs::BoxIcon::kStop);
  EXPECT_EQ(boxes[0].text, QStringLiteral("The task file \"%1/Scheduled UpdateZIP Night Docs.zip.task_info.txt\" "
                                          "could not be written: No such file or directory.\nThe task was not "
                                          "scheduled.").arg(QString::fromStdString(docs_folder)));
  EXPECT_EQ(warnings.size(), 1);  // then the question whether to return
  EXPECT_TRUE(tasks::CronTable(crontab.tables[""]).tasks().empty());
}

TEST_F(TaskPage, SuccessWritesTheFileInTheFormAskedAndMovesOn) {
  for (int protect : {0, 1}) {
    ASSERT_NE(reach_task_page(), nullptr);
    record.prevent_tampering = protect;
    warnings.clear();
    QSignalSpy created(page(), &Page::task_created);
    control<QListWidget>("listFrequency")->setCurrentRow(2);
    click(W::FinishButton);
    EXPECT_EQ(sheet->currentId(), wizard::kPagePerforming);
    ASSERT_EQ(created.count(), 1);
    EXPECT_EQ(created[0][0].toString(), QStringLiteral("Scheduled UpdateZIP Night Docs.zip"));
    EXPECT_EQ(warnings, QStringList{QStringLiteral("Morvane 'Scheduled UpdateZIP Night Docs.zip' has been "
                                                   "successfully Created(Updated)!")});
    EXPECT_EQ(waited_ms, 0);
    core::OperationRecord back;
    EXPECT_EQ(tasks::read_protected_task_info_file(task_file(), &back),
              protect ? tasks::ProtectedRead::kAccepted : tasks::ProtectedRead::kNotOpened);
    EXPECT_EQ(tasks::read_any_task_info_file(task_file(), &back), tasks::TaskFileVerdict::kAccepted);
    EXPECT_EQ(back.stored_operation, core::kRunModeAdd);
    EXPECT_EQ(back.sched_app_name, "/nonexistent/bin/parvell");
    const auto found = tasks::CronTable(crontab.tables[""]).tasks();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].schedule_line.substr(0, 10), "5 3 * * 6 ");  // Weekly, on the Saturday it begins
    finish_program();
    crontab.tables.clear();
  }
}

}  // namespace
