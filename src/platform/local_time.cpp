/* platform/local_time.cpp - the local time and the current folder. */
#include "platform/local_time.h"

#include "platform/clock.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::tm local_time_now() {
  std::tm out{};
  const std::time_t now = clock_now();
  localtime_r(&now, &out);
  return out;
}

std::string current_folder() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

}  // namespace platform
