/* platform/clock.cpp - the wall clock, replaceable for tests. */
#include "platform/clock.h"

namespace platform {
namespace {

ClockSource g_source = nullptr;

}  // namespace

std::time_t clock_now() { return g_source != nullptr ? g_source() : std::time(nullptr); }

void set_clock_source(ClockSource source) { g_source = source; }

}  // namespace platform
