/* platform/qt/app_environment.cpp - what the program asks of its surroundings at start. */
#include "platform/qt/app_environment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include "platform/display.h"

namespace platform {
namespace {

const char kPlatformVariable[] = "QT_QPA_PLATFORM";

}  // namespace

bool display_named() { return display_available(); }

DisplayFallback::DisplayFallback() : m_chosen_here(qEnvironmentVariableIsEmpty(kPlatformVariable)) {
  if (m_chosen_here) qputenv(kPlatformVariable, "xcb;offscreen");
}

bool DisplayFallback::fell_back() {
  if (!m_chosen_here) return false;
  qunsetenv(kPlatformVariable);
  return QGuiApplication::platformName() == QLatin1String("offscreen");
}

QString executable_path() { return QCoreApplication::applicationFilePath(); }

bool is_regular_file(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

}  // namespace platform
