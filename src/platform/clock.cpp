/* platform/clock.cpp - the wall clock, replaceable for tests. */
#include "platform/clock.h"

namespace platform {
namespace {

ClockSource g_source = nullptr;

}  // namespace

std::time_t clock_now() { return g_source != nullptr ? g_source() : std::time(nullptr); }

int64_t monotonic_ms() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void set_clock_source(ClockSource source) { g_source = source; }

}  // namespace platform
