/* tests/platform/qt/desktop_open_test.cpp - handing targets to the desktop, and finding the data folders.
 *
 * Risk: a target with blanks or quotes split or reinterpreted by a shell; a
 * missing xdg-open or a crashed one taken for success; a browser that keeps
 * xdg-open waiting freezing the wizard; help pages looked for anywhere but
 * beside the program or in its installation.
 */
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "platform/qt/data_folders.h"
#include "platform/qt/desktop_open.h"
#include "test_env.h"

namespace {

/// A script that writes its arguments, one a line, to @p record and exits with @p status.
QString recorder(const std::string& dir, const QString& record, int status) {
  const QString path = QString::fromStdString(dir) + QStringLiteral("/recorder");
  QFile script(path);
  EXPECT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1'; done\nexit %2\n")
                   .arg(record)
                   .arg(status)
                   .toUtf8());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

QString read_all(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(RunAndWait, ReportsTheExitStatusAndWhatCouldNotRun) {
  const std::string dir = testenv::make_temp_dir("run-and-wait");
  const QString record = QString::fromStdString(dir) + QStringLiteral("/args");
  const QString odd = QStringLiteral("/tmp/a b/it's \"déjà\" $HOME;*.zip");
  EXPECT_EQ(platform::run_and_wait(recorder(dir, record, 3), {odd, QStringLiteral("-n")}), 3);
  EXPECT_EQ(read_all(record), odd + QStringLiteral("\n-n\n"));  // one argument each, untouched
  EXPECT_EQ(platform::run_and_wait(QStringLiteral("/nonexistent/xdg-open"), {}), platform::kDesktopOpenNotStarted);
  EXPECT_EQ(platform::run_and_wait(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("kill -9 $$")}),
            platform::kDesktopOpenCrashed);
}

TEST(RunAndWait, AProgramStillRunningHasTakenOver) {
  // The program marks its own end; the wait must be over long before that.
  const QString mark = QString::fromStdString(testenv::make_temp_dir("linger")) + QStringLiteral("/ended");
  const QStringList lingering{QStringLiteral("-c"),
                              QStringLiteral("exec >/dev/null 2>&1; sleep 5; touch '%1'").arg(mark)};
  EXPECT_EQ(platform::run_and_wait(QStringLiteral("sh"), lingering, 100), 0);
  EXPECT_FALSE(QFile::exists(mark));
}

TEST(DesktopOpen, XdgOpenHandsAWebAddressToTheBrowser) {
  if (!QFile::exists(QStringLiteral("/usr/bin/xdg-open"))) {
    GTEST_SKIP() << "xdg-open is not installed";
  }
  const std::string dir = testenv::make_temp_dir("xdg-open");
  const QString record = QString::fromStdString(dir) + QStringLiteral("/args");
  // Without a desktop session xdg-open gives the address to $BROWSER and returns its status.
  const QByteArray saved_display = qgetenv("DISPLAY");
  unsetenv("DISPLAY");
  setenv("BROWSER", recorder(dir, record, 0).toLocal8Bit().constData(), 1);
  const QString url = QStringLiteral("https://help.example.org/parvellwizard/wizard_welcomepage.html");
  EXPECT_EQ(platform::desktop_open(url), 0);
  unsetenv("BROWSER");
  if (!saved_display.isEmpty()) setenv("DISPLAY", saved_display.constData(), 1);
  EXPECT_EQ(read_all(record), url + QLatin1Char('\n'));
}

TEST(DataFolders, BesideTheProgramFirstThenItsInstallation) {
  const QString root = QString::fromStdString(testenv::make_temp_dir("install"));
  const QString exe = root + QStringLiteral("/usr/bin/parvell");
  EXPECT_EQ(platform::data_folder_candidates(QStringLiteral("help"), exe),
            (QStringList{root + QStringLiteral("/usr/bin/help"), root + QStringLiteral("/usr/share/parvell/help")}));
  EXPECT_EQ(platform::help_folder(exe), QString());
  QDir().mkpath(root + QStringLiteral("/usr/share/parvell/help"));
  EXPECT_EQ(platform::help_folder(exe), root + QStringLiteral("/usr/share/parvell/help"));
  QDir().mkpath(root + QStringLiteral("/usr/bin/help"));
  EXPECT_EQ(platform::help_folder(exe), root + QStringLiteral("/usr/bin/help"));
  EXPECT_EQ(platform::help_folder(QString()), QString());
}

}  // namespace
