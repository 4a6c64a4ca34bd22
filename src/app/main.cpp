/* app/main.cpp - the `parvell` program: the wizard, or a scheduled run. */
#include <QApplication>
#include <QWizard>
#include <cstdio>

#include "app/product.h"
#include "platform/display.h"

int main(int argc, char** argv) {
  if (!platform::display_available()) {
    std::fprintf(stderr, "parvell: no display is available (DISPLAY and WAYLAND_DISPLAY are not set); "
                         "the wizard needs a graphical session\n");
    return 2;
  }
  QApplication application(argc, argv);
  QWizard sheet;
  sheet.setWindowTitle(QString::asprintf("Welcome to %s Wizard", app::kProductName));
  sheet.show();
  return application.exec();
}
