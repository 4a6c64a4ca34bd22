/* tests/app/program_start_test.cpp - program start, offscreen.
 *
 * Both paths from the command line: the interactive wizard with its pages in
 * order and the remembered operation preselected, and the scheduled start with
 * its four start-up checks (101, 630, 100, 627), the verification event, the
 * one-page sheet, the results log and the exit status.  A scheduled start must
 * leave the configuration file byte for byte as it was.
 */
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "core/operation_record.h"
#include "app/program_start.h"
#include "platform/qt/app_environment.h"
#include "platform/qt/settings_store.h"
#include "core/strings.h"
#include "log/task_log.h"
#include "../tasks/task_file_util.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_info_file.h"
#include "test_env.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/resize_prop_page.h"
#include "wizard/welcome_page.h"

namespace {

using app::ProgramStart;
using Outcome = app::ProgramStart::Outcome;

class RecordedMessages : public app::StartupMessages {
 public:
  std::vector<int> shown;
  void show(int id) override { shown.push_back(id); }
};

class ProgramStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::make_temp_dir("program-start");
    QSettings raw(QStringLiteral("Parvell"), platform::SettingsStore::application_name());
    raw.clear();
    raw.sync();
    m_log.set_current_folder([this] { return m_dir; });
  }
  ProgramStart::Options options(bool gui = true) {
    ProgramStart::Options o;
    o.gui = gui;
    o.messages = &m_messages;
    o.executable_path = QStringLiteral("/opt/parvell/bin/parvell");
    o.runner = [this](core::OperationRecord& record, tasklog::TaskLog&, wizard::CMyResizePropSheet* sheet) {
      ++m_runs;
      m_run_sheet = sheet;
      m_run_operation = record.stored_operation;
      return m_run_result;
    };
    return o;
  }
  std::string plain_task_file(const std::string& name = "plain.task_info.txt") {
    core::OperationRecord r = tasktest::sample_record(m_dir + "/" + name);
    r.log_file_name = m_dir + "/run.log";
    EXPECT_EQ(tasks::write_task_info_file(&r), 1);
    return r.task_file_path;
  }
  std::string protected_task_file() {
    core::OperationRecord r = tasktest::sample_record(m_dir + "/protected.task_info.txt");
    r.stored_operation = 0;
    EXPECT_EQ(tasks::write_protected_task_info_file(&r), 1);
    return r.task_file_path;
  }
  void remember_operation(int operation) {
    core::OperationRecord settings_record;
    settings_record.reset();
    platform::SettingsStore store(false);
    store.write_int("Settings", "WizardOperationRdButon", operation);
    store.flush();
  }

  std::string m_dir;
  core::OperationRecord m_record;
  tasklog::TaskLog m_log;
  RecordedMessages m_messages;
  int m_runs = 0;
  int m_run_result = 0;
  int m_run_operation = -2;
  wizard::CMyResizePropSheet* m_run_sheet = nullptr;
};

QList<int> page_ids(const wizard::CMyResizePropSheet* sheet) { return sheet ? QList<int>(sheet->page_order()) : QList<int>{}; }

// ---- interactive path ---------------------------------------------------------------

TEST_F(ProgramStartTest, NoArgumentsOpensTheWizardWithNothingRemembered) {
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({}), Outcome::kInteractive);
  EXPECT_EQ(m_record.run_mode, 0);  // the remembered operation; 0 when none
  EXPECT_EQ(m_record.monitoring, 0);
  EXPECT_FALSE(m_record.scheduled_start);
  EXPECT_EQ(start.title(), QStringLiteral("Welcome to Parvell Ravarave v2.1 Wizard"));
  auto* sheet = start.sheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->windowTitle(), start.title());
  EXPECT_EQ(page_ids(sheet), (QList<int>{131, 140, 134, 138, 363, 301}));
  EXPECT_EQ(sheet->name_string(), QStringLiteral("PARVELL"));
  EXPECT_EQ(sheet->placement_key(), QStringLiteral("WizardPosData"));
  EXPECT_EQ(sheet->help_path(), QStringLiteral("/opt/parvell/bin/parvell.chm"));
  EXPECT_EQ(sheet->help_folder(), QString());  // no help pages beside /opt/parvell/bin/parvell
  EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ProgramStartTest, PagesCarryCaptionsAndTopics) {
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({}), Outcome::kInteractive);
  const struct {
    int id;
    const char* caption;
    const char* topic;
  } expected[] = {
      {131, "Welcome to Parvell Ravarave Wizard!", "wizard_welcomepage.html"},
      {140, "Parvell Wizard - Chose ZIP File Name", "wizard_pickzipfile.html"},
      {134, "Parvell Wizard - Chose ZIP File Extraction Destination", "wizard_pickunzipfile.html"},
      {138, "Parvell Wizard - Additional ZIP Parameters", "wizard_addparampage.html"},
      {363, "Parvell Wizard - Setting TASK Parameters", "wizard_createtaskpage.html"},
      {301, "Parvell Wizard - Performing Operation", "wizard_operationpage.html"},
  };
  for (const auto& e : expected) {
    auto* page = qobject_cast<wizard::CMyResizePropPage*>(start.sheet()->page(e.id));
    ASSERT_NE(page, nullptr) << e.id;
    EXPECT_EQ(page->title(), QString::fromUtf8(e.caption));
    EXPECT_EQ(page->help_topic(), QString::fromUtf8(e.topic));
  }
}

TEST_F(ProgramStartTest, UpdateStillPreselectsTheRememberedOperation) {
  {
    ProgramStart start(m_record, m_log, options());
    ASSERT_EQ(start.start({"update"}), Outcome::kInteractive);
    EXPECT_EQ(m_record.run_mode, 0);
    EXPECT_EQ(start.sheet()->framework_start_page(), 1);
  }
  remember_operation(2);
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({"/update"}), Outcome::kInteractive);
  EXPECT_EQ(m_record.run_mode, 2);
}

TEST_F(ProgramStartTest, PathFollowedByNewStartsTheWizard) {
  const std::string path = plain_task_file();
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({QString::fromStdString(path), "new"}), Outcome::kInteractive);
  EXPECT_EQ(page_ids(start.sheet()).size(), 6);
  EXPECT_TRUE(m_log.entries().empty());
}

TEST_F(ProgramStartTest, WizardOpensOnTheWelcomePageAndRemembersItsPlacement) {
  {
    ProgramStart start(m_record, m_log, options());
    ASSERT_EQ(start.start({"extract"}), Outcome::kInteractive);
    auto* sheet = start.sheet();
    sheet->setStartId(wizard::kPagePickZipFile);  // as if the framework started on page 1
    qobject_cast<wizard::CWelcomePage*>(sheet->page(wizard::kPageWelcome))
        ->set_add_files_hook([](QWidget*, core::OperationRecord&) { return true; });
    QTimer::singleShot(0, sheet, [sheet] {
      EXPECT_EQ(sheet->currentId(), wizard::kPageWelcome);
      sheet->next();
      sheet->reject();
    });
    EXPECT_EQ(start.run(), app::kExitFailed);  // cancelled
    EXPECT_EQ(sheet->active_page_at_close(), 1);
  }
  core::OperationRecord fresh;
  fresh.reset();
  platform::SettingsStore store(false);
  EXPECT_EQ(store.read_int("WizardPosData", "CurrentPageIndx", -1), 1);
  EXPECT_FALSE(store.read_bytes("WizardPosData", "WindowPlacement").isEmpty());
  EXPECT_EQ(store.read_int("Settings", "WizardOperationRdButon", -1), 0);  // written at page destruction
}

TEST_F(ProgramStartTest, HeadlessInteractiveStartEndsWithTheNoDisplayLine) {
  ProgramStart start(m_record, m_log, options(false));
  ASSERT_EQ(start.start({}), Outcome::kInteractive);
  EXPECT_EQ(start.sheet(), nullptr);
  EXPECT_EQ(start.run(), app::kExitNoDisplay);
  EXPECT_EQ(m_messages.shown, std::vector<int>{core::kIdsNoDisplay});
}

// ---- scheduled path ----------------------------------------------------------------------

TEST_F(ProgramStartTest, ScheduledAloneGives101AndNoPage) {
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({"scheduled"}), Outcome::kEnded);
  EXPECT_EQ(m_messages.shown, std::vector<int>{101});
  EXPECT_TRUE(page_ids(start.sheet()).isEmpty());
  EXPECT_EQ(start.run(), app::kExitStartRefused);
  EXPECT_EQ(m_runs, 0);
}

TEST_F(ProgramStartTest, FolderOrMissingFileGives630) {
  for (const std::string& path : {m_dir, m_dir + "/missing.task_info.txt"}) {
    m_messages.shown.clear();
    ProgramStart start(m_record, m_log, options());
    ASSERT_EQ(start.start({"/scheduled", QString::fromStdString(path)}), Outcome::kEnded);
    EXPECT_EQ(m_messages.shown, std::vector<int>{630});
    EXPECT_EQ(start.run(), app::kExitStartRefused);
  }
  EXPECT_TRUE(m_log.entries().empty());
}

TEST_F(ProgramStartTest, NeitherValidProtectedNorPlainGives100) {
  tasktest::write_bytes(m_dir + "/bad.task_info.txt", tasktest::plain_record("PRJ_TAG = SOMETHING_ELSE"));
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({QString::fromStdString(m_dir + "/bad.task_info.txt")}), Outcome::kEnded);
  EXPECT_EQ(m_messages.shown, std::vector<int>{100});
  EXPECT_TRUE(m_log.entries().empty());
}

TEST_F(ProgramStartTest, ReaderThatThrowsGives627) {
  const std::string path = plain_task_file();
  ProgramStart::Options o = options();
  o.reader = [](const std::string&, core::OperationRecord*) -> tasks::TaskFileVerdict {
    throw std::runtime_error("disk vanished");
  };
  ProgramStart start(m_record, m_log, o);
  ASSERT_EQ(start.start({"/scheduled", QString::fromStdString(path)}), Outcome::kEnded);
  EXPECT_EQ(m_messages.shown, std::vector<int>{627});
}

TEST_F(ProgramStartTest, PlainPathAloneStartsAVerifiedScheduledRun) {
  const std::string path = plain_task_file();
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({QString::fromStdString(path)}), Outcome::kScheduled);
  EXPECT_TRUE(m_messages.shown.empty());
  EXPECT_EQ(page_ids(start.sheet()), QList<int>{301});
  EXPECT_EQ(m_record.run_mode, 3);
  EXPECT_EQ(m_record.task_name, "Nightly backup");
  ASSERT_EQ(m_log.entries().size(), 1u);
  EXPECT_EQ(m_log.entries()[0].operation_text, "Command line file verification OK! ");
  EXPECT_EQ(m_log.entries()[0].item_text, path);
  EXPECT_EQ(m_log.task_name(), "Nightly backup");
  EXPECT_EQ(m_log.account_name(), "alice");
  EXPECT_EQ(m_log.log_enabled(), 1);  // the task names a log file

  EXPECT_EQ(start.run(), app::kExitOk);
  EXPECT_EQ(m_runs, 1);
  EXPECT_EQ(m_run_sheet, start.sheet());
  EXPECT_EQ(m_run_operation, 1);
  EXPECT_FALSE(m_log.document_path().empty());
  EXPECT_TRUE(std::filesystem::exists(m_log.document_path()));
}

TEST_F(ProgramStartTest, ProtectedFileVerifiesToo) {
  const std::string path = protected_task_file();
  ProgramStart start(m_record, m_log, options());
  ASSERT_EQ(start.start({"-SCHEDULED", QString::fromStdString(path)}), Outcome::kScheduled);
  ASSERT_EQ(m_log.entries().size(), 1u);
  EXPECT_EQ(m_log.entries()[0].item_text, path);
  EXPECT_EQ(m_record.stored_operation, 0);
  EXPECT_EQ(m_record.file_list, tasktest::sample_record("").file_list);
}

TEST_F(ProgramStartTest, FailedOperationGivesNonZeroExitAndANegativeLog) {
  const std::string path = plain_task_file();
  m_run_result = 9;
  ProgramStart start(m_record, m_log, options(false));
  ASSERT_EQ(start.start({"/scheduled", QString::fromStdString(path)}), Outcome::kScheduled);
  EXPECT_EQ(start.sheet(), nullptr);  // headless: no widget at all
  EXPECT_EQ(start.run(), app::kExitFailed);
  EXPECT_EQ(m_run_sheet, nullptr);
  EXPECT_NE(tasktest::read_bytes(m_log.document_path()).find("Not Totally Successful."), std::string::npos);
}

TEST_F(ProgramStartTest, DefaultRunnerRunsTheTaskWithoutWidgets) {
  core::OperationRecord r = tasktest::sample_record(m_dir + "/real.task_info.txt");
  std::filesystem::create_directories(m_dir + "/docs");
  tasktest::write_bytes(m_dir + "/docs/a.txt", "alpha");
  r.archive_path = m_dir + "/docs.zip";
  r.originating_folder = m_dir + "/docs";
  r.file_list = "\"" + m_dir + "/docs/a.txt\" ";
  r.delete_after = 0;
  r.log_file_name = m_dir + "/run.log";
  ASSERT_EQ(tasks::write_task_info_file(&r), 1);
  ProgramStart::Options o = options(false);
  o.runner = nullptr;
  ProgramStart start(m_record, m_log, o);
  ASSERT_EQ(start.start({"/scheduled", QString::fromStdString(r.task_file_path)}), Outcome::kScheduled);
  EXPECT_EQ(start.run(), app::kExitOk);
  EXPECT_TRUE(platform::is_regular_file(QString::fromStdString(r.archive_path)));
  EXPECT_NE(tasktest::read_bytes(m_log.document_path()).find("Successful"), std::string::npos);
}

TEST_F(ProgramStartTest, ScheduledStartLeavesTheSettingsFileUntouched) {
  remember_operation(1);
  core::OperationRecord settings_record;
  settings_record.reset();
  {
    platform::SettingsStore store(false);
    store.write_int("Settings", "WizardTaskMonitoring", 1);
    store.write_bytes("WizardPosData", "WindowPlacement", QByteArray("geometry"));
    store.flush();
  }
  const QString file = platform::SettingsStore(false).file_path();
  ASSERT_TRUE(QFile::exists(file));
  const std::string before = tasktest::read_bytes(file.toStdString());
  const std::string path = plain_task_file();
  {
    ProgramStart start(m_record, m_log, options());
    ASSERT_EQ(start.start({"/scheduled", QString::fromStdString(path)}), Outcome::kScheduled);
    start.sheet()->show();
    QTest::qWait(10);
    m_record.run_mode = m_record.stored_operation;  // as the performing page will do
    start.sheet()->reject();
    EXPECT_EQ(start.run(), app::kExitOk);
  }  // pages and sheet destroyed here
  QSettings(QStringLiteral("Parvell"), platform::SettingsStore::application_name()).sync();
  EXPECT_EQ(tasktest::read_bytes(file.toStdString()), before);
}

}  // namespace
