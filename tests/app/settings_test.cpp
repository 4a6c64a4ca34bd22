/* tests/app/settings_test.cpp - the operation record's reset values, the
 * settings store (defaults, deletion, the scheduled run's silence, where the
 * values land) and the warning box with its "do not show again" switch. */
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <cstdlib>

#include "core/operation_record.h"
#include "platform/qt/settings_store.h"
#include "dialogs/warn_message_box.h"
#include "core/strings.h"

namespace {

using dialogs::CWarnMessageBoxOnOff;
using core::OperationRecord;
using platform::SettingsStore;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings raw(QStringLiteral("Parvell"), SettingsStore::application_name());
    raw.clear();
    raw.sync();
  }
  void TearDown() override { CWarnMessageBoxOnOff::set_presenter(nullptr); }
};

TEST(OperationRecordTest, ResetGivesTheStartValues) {
  OperationRecord r;
  r.task_name = "t";
  r.archive_path = "a.zip";
  r.session_password = "secret";
  r.cmdline_task_path = "/x";
  r.run_mode = 2;
  r.stored_operation = 1;
  r.create_new = r.faster_compression = r.delete_after = r.prevent_tampering = r.log_enabled = 1;
  r.monitoring = 1;
  r.log_file_name = "keep.log";
  r.initial_archive_name = "keep.zip";
  r.selected_items.push_back({0, "/f"});
  r.scheduled_start = true;
  r.reset();
  EXPECT_TRUE(r.task_name.empty());
  EXPECT_TRUE(r.archive_path.empty());
  EXPECT_TRUE(r.session_password.empty());
  EXPECT_TRUE(r.cmdline_task_path.empty());
  EXPECT_EQ(r.run_mode, -1);
  EXPECT_EQ(r.stored_operation, -1);
  EXPECT_EQ(r.create_new + r.faster_compression + r.delete_after + r.prevent_tampering + r.log_enabled, 0);
  EXPECT_FALSE(r.scheduled_start);
  // Not reset: monitoring, the log file name, the initial archive name, the selection.
  EXPECT_EQ(r.monitoring, 1);
  EXPECT_EQ(r.log_file_name, "keep.log");
  EXPECT_EQ(r.initial_archive_name, "keep.zip");
  EXPECT_EQ(r.selected_items.size(), 1u);
}

TEST_F(SettingsTest, MissingValuesGiveTheDefaults) {
  SettingsStore store(false);
  EXPECT_EQ(store.read_int("Settings", "WizardOperationRdButon", 0), 0);
  EXPECT_EQ(store.read_int("Settings", "PickFolderChkBx", 1), 1);
  EXPECT_EQ(store.read_string("Settings", "Morvane_LogFileName", "MorvaneInfo.log"), "MorvaneInfo.log");
}

TEST_F(SettingsTest, IntegersAndStringsRoundTripBySection) {
  {
    SettingsStore store(false);
    store.write_int("Settings", "UseFasterCompression", 1);
    store.write_int("Settings\\WarningMessageBxs", "DeleteZippedFiles", 1);
    store.write_string("Settings", "PickFolderName", "/home/u/Out");
    store.write_string("Settings", "Empty", "");
  }
  SettingsStore store(false);
  EXPECT_EQ(store.read_int("Settings", "UseFasterCompression", 0), 1);
  EXPECT_EQ(store.read_int("Settings\\WarningMessageBxs", "DeleteZippedFiles", 0), 1);
  EXPECT_EQ(store.read_int("Settings", "DeleteZippedFiles", 7), 7);  // sections are apart
  EXPECT_EQ(store.read_string("Settings", "PickFolderName", ""), "/home/u/Out");
  EXPECT_EQ(store.read_string("Settings", "Empty", "default"), "");  // empty is a value
}

TEST_F(SettingsTest, NullTextDeletesTheValue) {
  SettingsStore store(false);
  store.write_string("Settings", "PickFileName", "a.zip");
  store.write_string("Settings", "PickFileName", QString());
  EXPECT_EQ(store.read_string("Settings", "PickFileName", "gone"), "gone");
}

TEST_F(SettingsTest, UnreadableIntegerGivesTheDefault) {
  SettingsStore store(false);
  store.write_string("Settings", "AddDlgLastViewStyle", "not a number");
  EXPECT_EQ(store.read_int("Settings", "AddDlgLastViewStyle", 1), 1);
}

TEST_F(SettingsTest, ValuesLandUnderParvellAndTheExecutableName) {
  SettingsStore store(false);
  store.write_int("Settings", "WizardTaskMonitoring", 1);
  store.flush();
  const QString expected = QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")) + "/Parvell/" +
                           SettingsStore::application_name() + ".conf";
  EXPECT_EQ(store.file_path(), expected);
  EXPECT_EQ(SettingsStore::application_name(), QStringLiteral("app_tests"));
  ASSERT_TRUE(QFile::exists(expected));
  QSettings raw(expected, QSettings::IniFormat);
  EXPECT_EQ(raw.value("Settings/WizardTaskMonitoring").toInt(), 1);
}

TEST_F(SettingsTest, ScheduledRunNeitherReadsNorWrites) {
  {
    SettingsStore store(false);
    store.write_int("Settings", "WizardOperationRdButon", 2);
    store.write_string("Settings", "Morvane_LogFileName", "mine.log");
  }
  {
    SettingsStore scheduled(true);
    EXPECT_TRUE(scheduled.suspended());
    EXPECT_EQ(scheduled.read_int("Settings", "WizardOperationRdButon", -5), -5);
    EXPECT_EQ(scheduled.read_string("Settings", "Morvane_LogFileName", "MorvaneInfo.log"), "MorvaneInfo.log");
    EXPECT_TRUE(scheduled.read_bytes("Settings", "Morvane_LogFileName").isEmpty());
    scheduled.write_int("Settings", "WizardOperationRdButon", 1);
    scheduled.write_string("Settings", "Morvane_LogFileName", QString());
    scheduled.write_bytes("WizardPosData", "WindowPlacement", QByteArray("geometry"));
  }
  SettingsStore store(false);
  EXPECT_FALSE(store.suspended());
  EXPECT_EQ(store.read_int("Settings", "WizardOperationRdButon", 0), 2);
  EXPECT_EQ(store.read_string("Settings", "Morvane_LogFileName", ""), "mine.log");
  EXPECT_TRUE(store.read_bytes("WizardPosData", "WindowPlacement").isEmpty());
}

// ---- the warning box ---------------------------------------------------------

struct Recorder {
  int shown = 0;
  QString title, text;
  CWarnMessageBoxOnOff::Reply reply;
  void install() {
    CWarnMessageBoxOnOff::set_presenter([this](QWidget*, const QString& t, const QString& x) {
      ++shown;
      title = t;
      text = x;
      return reply;
    });
  }
};

TEST_F(SettingsTest, StoredOneAnswersYesWithoutShowing) {
  SettingsStore store(false);
  store.write_int(CWarnMessageBoxOnOff::section(), "EmptytZipStillNoPassword", 1);
  Recorder recorder;
  recorder.install();
  CWarnMessageBoxOnOff box(core::kIdsWarningTitle, core::kIdsEncryptedNoPassword, "EmptytZipStillNoPassword");
  EXPECT_EQ(box.exec(store), CWarnMessageBoxOnOff::kAnswerYes);
  EXPECT_FALSE(box.was_shown());
  EXPECT_EQ(recorder.shown, 0);
}

TEST_F(SettingsTest, YesStoresTheCheckBoxState) {
  SettingsStore store(false);
  Recorder recorder;
  recorder.reply = {true, false};
  recorder.install();
  CWarnMessageBoxOnOff box(core::kIdsWarningTitle, core::kIdsDeleteWarning, "DeleteZippedFiles", nullptr, "3");
  EXPECT_EQ(box.exec(store), CWarnMessageBoxOnOff::kAnswerYes);
  EXPECT_EQ(recorder.shown, 1);
  EXPECT_EQ(recorder.title, "Warning!");
  EXPECT_TRUE(recorder.text.startsWith("You have selected to delete 3 items.\n"));
  EXPECT_EQ(store.read_int(CWarnMessageBoxOnOff::section(), "DeleteZippedFiles", -1), 0);

  // Shown again (0 stored), now with the box ticked: 1 is stored and it stays quiet afterwards.
  recorder.reply = {true, true};
  EXPECT_EQ(box.exec(store), CWarnMessageBoxOnOff::kAnswerYes);
  EXPECT_EQ(recorder.shown, 2);
  EXPECT_EQ(store.read_int(CWarnMessageBoxOnOff::section(), "DeleteZippedFiles", -1), 1);
  EXPECT_EQ(box.exec(store), CWarnMessageBoxOnOff::kAnswerYes);
  EXPECT_EQ(recorder.shown, 2);
}

TEST_F(SettingsTest, NoStoresNothingEvenWhenTicked) {
  SettingsStore store(false);
  Recorder recorder;
  recorder.reply = {false, true};
  recorder.install();
  CWarnMessageBoxOnOff box(QStringLiteral("Warning!"), QStringLiteral("Go on?"), "TaskNotScheduled");
  EXPECT_EQ(box.exec(store), CWarnMessageBoxOnOff::kAnswerNo);
  EXPECT_EQ(store.read_int(CWarnMessageBoxOnOff::section(), "TaskNotScheduled", -1), -1);
  EXPECT_EQ(CWarnMessageBoxOnOff::check_box_text(), QStringLiteral("Do &not show this message again "));
}

}  // namespace
