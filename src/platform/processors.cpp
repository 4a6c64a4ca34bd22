/* platform/processors.cpp - processor count and the thread setting, over Linux. */
#include "platform/processors.h"

#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

int processor_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

int threads_setting() {
  const char* value = std::getenv("OSTRANA_THREADS");
  if (value == nullptr || *value == '\0') return 0;
  char* end = nullptr;
  long n = std::strtol(value, &end, 10);
  if (*end != '\0' || n < 1 || n > 256) return 0;
  return static_cast<int>(n);
}

void set_threads_setting(int threads) {
  const std::string value = std::to_string(threads);
  ::setenv("OSTRANA_THREADS", value.c_str(), 1);
}

}  // namespace platform
