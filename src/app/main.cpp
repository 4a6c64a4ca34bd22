/* app/main.cpp - the `parvell` program: the wizard, or a scheduled run.
 *
 * Whether widgets can exist is decided before the application object is
 * created: a Qt Widgets program that starts without a usable display aborts
 * in a way that cannot be caught, and cron starts scheduled runs with no
 * display at all.  Without a display an interactive start prints one line and
 * exits with status 2, and a scheduled start runs headless (messages on
 * stderr, nothing waits for a user).  With a display that turns out to be
 * unusable, Qt falls back to its offscreen platform and the same rules apply.
 */
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>
#include <string>
#include <vector>

#include "app/program_start.h"
#include "bridge/engine_version.h"
#include "core/command_line.h"
#include "core/operation_record.h"
#include "core/program_info.h"
#include "core/strings.h"
#include "dialogs/program_icons.h"
#include "log/task_log.h"
#include "platform/qt/app_environment.h"
#include "platform/qt/data_folders.h"
#include "platform/qt/settings_store.h"
#include "wizard/page_help.h"

namespace {

/// Arguments without the program name and without Qt's own options.
QStringList program_arguments() {
  QStringList arguments = QCoreApplication::arguments();
  if (!arguments.isEmpty()) arguments.removeFirst();
  return arguments;
}

int run_program(bool gui) {
  QCoreApplication::setOrganizationName(platform::SettingsStore::organisation());
  app::ProgramStart::Options options;
  options.gui = gui;
  app::ProgramStart start(core::operation_record(), tasklog::task_log(), options);
  start.start(program_arguments());
  return start.run();
}

bool is_scheduled_start(int argc, char** argv) {
  core::OperationRecord probe;
  probe.reset();
  core::parse_command_line(std::vector<std::string>(argv + 1, argv + argc), probe);
  return probe.run_mode == core::kRunModeScheduled;
}

/// `parvell --help` and `parvell --version`: no display, no settings, nothing but the text.
int print_program_info(core::InfoRequest request, int argc, char** argv) {
  if (request == core::InfoRequest::kVersion) {
    std::fputs(core::version_text(bridge::engine_version()).c_str(), stdout);
    return 0;
  }
  QCoreApplication application(argc, argv);  // for the program's own path
  const QString page = wizard::local_help_page(platform::help_folder(platform::executable_path()), QString());
  std::fputs(core::help_text(page.toStdString(), wizard::online_help_url(wizard::default_online_help_address(), QString())
                                                     .toStdString())
                 .c_str(),
             stdout);
  return 0;
}

void print_no_display() { std::fprintf(stderr, "parvell: %s\n", core::load_string(core::kIdsNoDisplay)); }

}  // namespace

int main(int argc, char** argv) {
  const core::InfoRequest info = core::info_request(std::vector<std::string>(argv + 1, argv + argc));
  if (info != core::InfoRequest::kNone) return print_program_info(info, argc, argv);
  const bool scheduled = is_scheduled_start(argc, argv);
  if (!platform::display_named()) {
    if (!scheduled) {
      print_no_display();
      return app::kExitNoDisplay;
    }
    QCoreApplication application(argc, argv);
    return run_program(false);
  }

  // A display is named; should it be dead, fall back to offscreen instead of aborting.
  platform::DisplayFallback fallback;
  QApplication application(argc, argv);
  // Without a desktop session Qt knows no icon theme; the one Debian installs fills in.
  QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
  // The program's own picture on its windows; the desktop entry's name ties them to the launcher.
  QApplication::setWindowIcon(dialogs::program_icon(QStringLiteral("parvell")));
  QGuiApplication::setDesktopFileName(QStringLiteral("com.parvellsoft.Parvell"));
  const bool fell_back = fallback.fell_back();
  if (fell_back && !scheduled) {
    print_no_display();
    return app::kExitNoDisplay;
  }
  return run_program(!fell_back);
}
