/* tests/dialogs/about_box_test.cpp - the about box and the "System Information" dialog, offscreen.
 *
 * Risk: an about box that shows a version other than the engine's own, a
 * help link that calls nothing, a System Info button that opens nothing; a
 * report dialog whose edit can be typed into, shows "\r" marks, lacks the
 * fixed-width font, or copies lines without their CR LF.
 */
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdlib>

#include "dialogs/about_box.h"
#include "dialogs/system_info_dialog.h"
#include "platform/log_folder.h"
#include "platform/qt/history_storage.h"
#include "platform/qt/settings_store.h"
#include "ostrana.h"
#include "system_info_fakes.h"
#include "test_env.h"

namespace {

template <typename T>
T* child(QWidget* parent, const char* name) {
  T* w = parent->findChild<T*>(QLatin1String(name));
  EXPECT_NE(nullptr, w) << name;
  return w;
}

TEST(AboutBox, NamesProductEngineBuildAndPlaces) {
  dialogs::set_help_opener({});
  const std::string saved_state = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  setenv("XDG_STATE_HOME", testenv::make_temp_dir("about_state").c_str(), 1);
  dialogs::AboutBox box;
  EXPECT_EQ(QStringLiteral("About Parvell Ravarave v2.1"), box.windowTitle());
  EXPECT_EQ(QStringLiteral("Parvell Ravarave v2.1"), child<QLabel>(&box, "productName")->text());
  EXPECT_EQ(QStringLiteral("Archive engine: Ostrana Secure Zip/UnZip %1").arg(QLatin1String(OstranaVersion())),
            child<QLabel>(&box, "engineLine")->text());
  const QString build = child<QLabel>(&box, "buildLine")->text();
  EXPECT_TRUE(build.contains(QLatin1String(qVersion()))) << build.toStdString();
  EXPECT_TRUE(build.contains(dialogs::AboutBox::compiler())) << build.toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Built 20\\d\\d-[01]\\d-[0-3]\\d with ")).match(build).hasMatch())
      << build.toStdString();
  // The test folders lie outside the home folder, so the paths show in full.
  const QString places = child<QLabel>(&box, "placesText")->text();
  const QString log_folder = QString::fromStdString(platform::engine_log_folder_path());
  for (const QString& line : {QStringLiteral("Settings: ") + platform::SettingsStore(false).file_path(),
                              QStringLiteral("Archive and folder history: ") + platform::history_file_path(),
                              QStringLiteral("Engine logs: ") + log_folder})
    EXPECT_TRUE(places.split(QLatin1Char('\n')).contains(line)) << line.toStdString() << "\n" << places.toStdString();
  EXPECT_FALSE(QFileInfo::exists(log_folder)) << "showing where logs go must not make the folder";
  setenv("XDG_STATE_HOME", saved_state.c_str(), 1);
  EXPECT_EQ(QStringLiteral("&System Info"), child<QPushButton>(&box, "systemInfoButton")->text());
  EXPECT_FALSE(child<QLabel>(&box, "helpLink")->isEnabled()) << "a link that could open nothing";
}

TEST(AboutBox, HelpLinkCallsTheOpenerAndSystemInfoOpensTheReport) {
  QWidget* opened_over = nullptr;
  dialogs::set_help_opener([&](QWidget* parent) { opened_over = parent; });
  dialogs::AboutBox box;
  QLabel* link = child<QLabel>(&box, "helpLink");
  ASSERT_TRUE(link->isEnabled());
  emit link->linkActivated(QStringLiteral("help"));
  EXPECT_EQ(&box, opened_over);
  dialogs::set_help_opener({});

  box.show();
  QTest::mouseClick(child<QPushButton>(&box, "systemInfoButton"), Qt::LeftButton);
  auto* report = box.findChild<dialogs::SystemInfoDialog*>();
  ASSERT_NE(nullptr, report);
  EXPECT_TRUE(report->isVisible());
  EXPECT_TRUE(report->isModal());
  EXPECT_TRUE(report->report().startsWith(QStringLiteral("--- Computer ---\r\nUserName: ")));
  QTest::mouseClick(child<QPushButton>(report, "okButton"), Qt::LeftButton);
  EXPECT_FALSE(report->isVisible());
}

TEST(SystemInfoDialog, ShowsTheReportReadOnlyAndCopiesItWithCrLf) {
  sysinfo_test::FakeComputer computer;
  dialogs::SystemInfoDialog dialog(nullptr, computer.sources());
  EXPECT_EQ(QStringLiteral("System Information"), dialog.windowTitle());
  EXPECT_EQ(QStringLiteral("System Information"), child<QGroupBox>(&dialog, "systemInfoGroup")->title());
  QPlainTextEdit* text = child<QPlainTextEdit>(&dialog, "systemInfoText");
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(QFontInfo(text->font()).fixedPitch());
  const QString shown = text->toPlainText();
  EXPECT_FALSE(shown.contains(QLatin1Char('\r')));
  EXPECT_EQ(QString(dialog.report()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), shown);
  EXPECT_TRUE(shown.contains(QStringLiteral("\nBrand ID: Intel(R) Core(TM) i7-12700H, Type: 0")));

  dialog.show();
  QTest::keyClick(text, Qt::Key_X);  // typing changes nothing
  EXPECT_EQ(shown, text->toPlainText());
  text->selectAll();
  text->copy();
  EXPECT_EQ(dialog.report(), QApplication::clipboard()->text());
}

}  // namespace
