/* tests/support/app_test_main.cpp - main() of the application tests.
 *
 * Builds the one QApplication of the process on the offscreen platform (also
 * when the test binary is run at build time to list its tests, outside CTest's
 * environment) after the XDG folders were moved into a temporary folder, so no
 * test ever reads or writes the user's settings.
 */
#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <gtest/gtest.h>

#include "test_env.h"

int main(int argc, char** argv) {
  testenv::isolate_process_environment();
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr || *platform == '\0') setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QIcon::setThemeName("Adwaita");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
