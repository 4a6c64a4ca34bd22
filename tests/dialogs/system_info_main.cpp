/* tests/dialogs/system_info_main.cpp - this machine's system information report, printed or shown.
 *
 *   system_info            prints the report, then the clock /proc/cpuinfo gives
 *                          for each processor (a timing to compare by eye: nothing
 *                          is asserted)
 *   system_info --about    shows the about box            (for pictures under Xvfb)
 *   system_info --report   shows the about box with the report open over it
 *
 * The screen sections need a display (run it under xvfb-run); printing without
 * one uses the offscreen platform, whose screen is Qt's stand-in.
 */
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "dialogs/about_box.h"
#include "dialogs/system_info_report.h"
#include "dialogs/system_info_sources.h"

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if ((display == nullptr || *display == '\0') && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const bool about = argc > 1 && std::strcmp(argv[1], "--about") == 0;
  const bool report_too = argc > 1 && std::strcmp(argv[1], "--report") == 0;
  if (about || report_too) {
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    dialogs::set_help_opener([](QWidget*) {});
    dialogs::AboutBox box;
    if (report_too) QTimer::singleShot(0, &box, &dialogs::AboutBox::open_system_info);
    return box.exec() == QDialog::Accepted ? 0 : 1;
  }

  std::string report = dialogs::build_system_info_report(dialogs::gather_system_info(dialogs::this_computer_sources()));
  for (size_t at; (at = report.find("\r\n")) != std::string::npos;) report.replace(at, 2, "\n");
  std::printf("%s\n\n--- /proc/cpuinfo ---\n", report.c_str());
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.compare(0, 7, "cpu MHz") == 0 || line.compare(0, 10, "model name") == 0) std::printf("%s\n", line.c_str());
  return 0;
}
