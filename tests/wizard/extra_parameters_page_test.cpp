/* tests/wizard/extra_parameters_page_test.cpp - the extra-parameters page in the real sheet.
 *
 * Risks: a control that does not reach its record field (or reaches another),
 * remembered values lost or changed while their group is disabled, the log
 * name's controls usable without the log, Browse starting somewhere else or
 * dropping its answer, and faster compression not reaching the engine.
 */
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "bridge/engine_bridge.h"
#include "core/strings.h"
#include "dialogs/ui_text.h"
#include "peer_tools.h"
#include "run/operation_run.h"
#include "sheet_driver.h"
#include "test_env.h"
#include "wizard/extra_parameters_page.h"
#include "wizard/pick_zip_file_page.h"

namespace {

using W = QWizard;
using Field = int32_t core::OperationRecord::*;

struct Option {
  const char* object_name;
  const char* value_name;
  Field field;
  int tip_id;
};
constexpr Option kOptions[] = {
    {"checkFasterCompression", "UseFasterCompression", &core::OperationRecord::faster_compression,
     core::kIdsFasterCompressionTip},
    {"checkDeleteAfter", "DeleteFilesAfterZIP", &core::OperationRecord::delete_after, core::kIdsDeleteAfterTip},
    {"checkPreventTampering", "MorvanePreventTampering", &core::OperationRecord::prevent_tampering,
     core::kIdsPreventTamperingTip},
    {"checkAllowLog", "Morvane_AllowLog", &core::OperationRecord::log_enabled, core::kIdsAllowLogTip},
};

class ExtraParameters : public sheettest::SheetTest {
 protected:
  /// Starts the wizard and walks to the page, with monitoring as given.
  wizard::CSetExtraParametersPg* open_page(bool monitoring) {
    start();
    if (monitoring) welcome()->findChild<QAbstractButton*>(QStringLiteral("checkMonitor"))->click();
    page_named<wizard::CPickZipFileName>("CPickZipFileName")->set_archive_state(QStringLiteral("/x/a.zip"), true);
    click(W::NextButton);
    click(W::NextButton);
    EXPECT_EQ(sheet->currentId(), 138);
    return page_named<wizard::CSetExtraParametersPg>("CSetExtraParametersPg");
  }
  template <typename T>
  T* control(const char* name) const {
    return sheet->findChild<T*>(QString::fromLatin1(name));
  }
  QString enabled_controls() const {
    QStringList on;
    for (const char* name : {"checkPreventTampering", "checkAllowLog", "editLogFileName", "buttonBrowseLog"}) {
      if (control<QWidget>(name)->isEnabled()) on << QString::fromLatin1(name);
    }
    return on.join(QLatin1Char(' '));
  }
};

TEST_F(ExtraParameters, AFirstRunShowsTheDefaultLogNameAndNothingChecked) {
  open_page(false);
  EXPECT_EQ(control<QLineEdit>("editLogFileName")->text() + QString::fromStdString(record.log_file_name),
            QStringLiteral("MorvaneInfo.logMorvaneInfo.log"));
  for (const Option& option : kOptions) EXPECT_FALSE(control<QCheckBox>(option.object_name)->isChecked());
  EXPECT_EQ(button_row(), QStringLiteral("BACK FINISH CANCEL HELP"));
}

TEST_F(ExtraParameters, WithoutMonitoringTheGroupIsDisabledAndItsValuesStay) {
  store_int("Settings", "MorvanePreventTampering", 1);
  store_int("Settings", "Morvane_AllowLog", 1);
  open_page(false);
  EXPECT_EQ(enabled_controls(), QString());
  EXPECT_TRUE(control<QCheckBox>("checkPreventTampering")->isChecked() && control<QCheckBox>("checkAllowLog")->isChecked());
  EXPECT_EQ(record.prevent_tampering + record.log_enabled, 2);
  finish_program();
  platform::SettingsStore store(false);
  EXPECT_EQ(store.read_int(QStringLiteral("Settings"), QStringLiteral("MorvanePreventTampering"), 0) +
                store.read_int(QStringLiteral("Settings"), QStringLiteral("Morvane_AllowLog"), 0),
            2);
}

TEST_F(ExtraParameters, EveryControlWritesItsFieldAtOnceAndIsRemembered) {
  open_page(true);
  EXPECT_EQ(button_row(), QStringLiteral("BACK NEXT CANCEL HELP"));
  EXPECT_EQ(enabled_controls(), QStringLiteral("checkPreventTampering checkAllowLog"));
  for (const Option& option : kOptions) {
    auto* box = control<QCheckBox>(option.object_name);
    EXPECT_EQ(box->toolTip(), dialogs::load_qstring(option.tip_id).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box->click();
    EXPECT_EQ(record.*option.field, 1) << option.object_name;
  }
  // The log box rules the name and Browse.
  EXPECT_EQ(enabled_controls(), QStringLiteral("checkPreventTampering checkAllowLog editLogFileName buttonBrowseLog"));
  control<QLineEdit>("editLogFileName")->setText(QStringLiteral("/srv/logs/nightly.log.html"));
  EXPECT_EQ(record.log_file_name, "/srv/logs/nightly.log.html");
  control<QCheckBox>("checkAllowLog")->click();
  EXPECT_EQ(enabled_controls(), QStringLiteral("checkPreventTampering checkAllowLog"));
  EXPECT_EQ(record.log_enabled, 0);
  finish_program();
  platform::SettingsStore store(false);
  for (const Option& option : kOptions) {
    EXPECT_EQ(store.read_int(QStringLiteral("Settings"), QString::fromLatin1(option.value_name), -1),
              option.field == &core::OperationRecord::log_enabled ? 0 : 1)
        << option.value_name;
  }
  EXPECT_EQ(store.read_string(QStringLiteral("Settings"), QStringLiteral("Morvane_LogFileName"), QString()),
            QStringLiteral("/srv/logs/nightly.log.html"));
}

TEST_F(ExtraParameters, BrowseStartsInTheLogFilesFolderAndFillsTheBox) {
  auto* page = open_page(true);
  QStringList asked;
  page->set_log_file_browser([&](QWidget*, const QString&, const QString& folder, const QStringList& filters) {
    asked << folder << filters;
    return asked.size() == 2 ? QString() : QStringLiteral("/var/tmp/chosen.log.html");
  });
  control<QCheckBox>("checkAllowLog")->click();
  control<QPushButton>("buttonBrowseLog")->click();  // "MorvaneInfo.log": the home folder; cancelled
  EXPECT_EQ(asked, QStringList({QDir::homePath(), QStringLiteral("Morvane Log files (*.log.html)")}));
  EXPECT_EQ(record.log_file_name, "MorvaneInfo.log");
  const QString logs = QString::fromStdString(testenv::make_temp_dir("logs"));
  control<QLineEdit>("editLogFileName")->setText(logs + QStringLiteral("/old.log.html"));
  control<QPushButton>("buttonBrowseLog")->click();
  EXPECT_EQ(asked.value(2), logs);
  EXPECT_EQ(control<QLineEdit>("editLogFileName")->text(), QStringLiteral("/var/tmp/chosen.log.html"));
  EXPECT_EQ(record.log_file_name, "/var/tmp/chosen.log.html");
}

TEST_F(ExtraParameters, FasterCompressionReachesTheEngineAsLevelThree) {
  open_page(false);
  control<QCheckBox>("checkFasterCompression")->click();
  ASSERT_EQ(record.faster_compression, 1);

  // Text whose deflate at level 3 and at level 7 differ.
  const std::string folder = testenv::make_temp_dir("faster");
  QFile text(QString::fromStdString(folder + "/words.txt"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon ", "zeta\n", "eta ", "theta "};
  uint32_t seed = 12345;
  for (int i = 0; i < 60000; ++i) {
    seed = seed * 1103515245u + 12345u;
    text.write(words[(seed >> 16) % 8]);
  }
  text.close();
  auto compressed_size = [&](const std::string& archive) {
    std::vector<testenv::PeerMember> members;
    EXPECT_TRUE(testenv::python_zip_listing(archive, &members));
    return members.size() == 1 ? members[0].compress_size : 0ull;
  };
  record.run_mode = core::kRunModeCreate;
  record.file_list = "\"" + folder + "/words.txt\" ";
  record.archive_path = folder + "/wizard.zip";
  run::RunPresenter presenter;
  run::OperationRun zip_run(record, log, presenter);
  zip_run.prepare();
  ASSERT_EQ(zip_run.perform(), 0);
  unsigned long long at_level[2] = {};
  for (int i = 0; i < 2; ++i) {
    const std::string archive = folder + (i == 0 ? "/three.zip" : "/seven.zip");
    ASSERT_EQ(bridge::zip_run(nullptr, nullptr, archive.c_str(), record.file_list.c_str(), nullptr, nullptr, nullptr,
                              nullptr, bridge::kZipAdd, bridge::kPathModeFolders, i == 0 ? 3 : 7, 1, nullptr),
              0);
    at_level[i] = compressed_size(archive);
  }
  ASSERT_NE(at_level[0], at_level[1]);
  EXPECT_EQ(compressed_size(record.archive_path), at_level[0]);
}

}  // namespace
