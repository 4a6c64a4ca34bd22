// Leaks one buffer from inside a Qt event handler and exits.  Run under
// LeakSanitizer with the suite's suppressions, the leak must still be reported:
// a suppression broad enough to match Qt's frames would hide every leak the
// program makes in a slot, a timer or a paint event.
#include <QApplication>
#include <QTimer>

#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTimer::singleShot(0, &app, [&app] {
    char* lost = new char[4099];  // 4099: a size the test looks for in the report
    std::memset(lost, 'x', 4099);
    lost = nullptr;
    app.quit();
  });
  return app.exec();
}
