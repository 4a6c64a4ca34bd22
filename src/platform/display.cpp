/* platform/display.cpp - is there a display a window could appear on? */
#include "platform/display.h"

#include <cstdlib>

namespace platform {
namespace {

bool set_and_not_empty(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool display_available() {
  return set_and_not_empty("DISPLAY") || set_and_not_empty("WAYLAND_DISPLAY") ||
         set_and_not_empty("QT_QPA_PLATFORM");
}

}  // namespace platform
