/* tests/dialogs/system_info_main.cpp - this machine's system information report, printed or pictured.
 *
 *   system_info                    prints the report, then the clock /proc/cpuinfo
 *                                  gives for each processor (a timing to compare by
 *                                  eye: nothing is asserted)
 *   system_info --pictures OUTDIR  shows the about box, then the report over it, and
 *                                  saves the whole screen each time as
 *                                  OUTDIR/about_box.png and OUTDIR/system_info.png
 *                                  (run under xvfb-run, with a real X server)
 *
 * The screen sections need a display; printing without one uses the offscreen
 * platform, whose screen is Qt's stand-in.
 */
#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "dialogs/about_box.h"
#include "dialogs/system_info_report.h"
#include "dialogs/system_info_sources.h"

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if ((display == nullptr || *display == '\0') && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc > 2 && std::strcmp(argv[1], "--pictures") == 0) {
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    dialogs::set_help_opener([](QWidget*) {});
    const QString folder = QString::fromLocal8Bit(argv[2]);
    dialogs::AboutBox box;
    bool saved = true;
    // Each picture is taken once the window is on the screen and painted.
    auto picture = [&](QWidget* window, const QString& name, std::function<void()> next) {
      auto* poll = new QTimer(&box);
      QObject::connect(poll, &QTimer::timeout, &box, [=, &saved] {
        if (!window->isVisible() || window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) return;
        poll->deleteLater();
        window->repaint();
        QCoreApplication::processEvents();
        saved = QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name) && saved;
        next();
      });
      poll->start(50);
    };
    QTimer::singleShot(0, &box, [&] {
      picture(&box, QStringLiteral("about_box.png"), [&] {
        box.open_system_info();
        auto* report = box.findChild<QDialog*>(QStringLiteral("systemInfoDialog"));
        picture(report, QStringLiteral("system_info.png"), [&] { box.done(QDialog::Accepted); });
      });
    });
    box.exec();
    if (!saved) std::fprintf(stderr, "system_info: could not save the pictures in %s\n", argv[2]);
    return saved ? 0 : 1;
  }

  const std::string report =
      dialogs::build_system_info_report(dialogs::gather_system_info(dialogs::this_computer_sources()));
  for (char c : report)
    if (c != '\r') std::putchar(c);
  std::printf("\n\n--- /proc/cpuinfo ---\n");
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.compare(0, 7, "cpu MHz") == 0 || line.compare(0, 10, "model name") == 0) std::printf("%s\n", line.c_str());
  return 0;
}
