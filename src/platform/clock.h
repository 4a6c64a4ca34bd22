/* platform/clock.h - the wall clock.
 *
 * Entries written from memory, and the results log, are stamped with the
 * current time; it is read here so that tests can stand a fixed clock in
 * for the system's.
 */
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

/// Seconds since the epoch (time(2), or the substitute set below).
std::time_t clock_now();

/// Milliseconds of a clock that never jumps (for timeouts; not replaceable).
int64_t monotonic_ms();

/// A replacement clock: same contract as clock_now().
using ClockSource = std::time_t (*)();

/// Routes clock_now() to @p source; nullptr restores the system clock.
/// For tests; not thread safe against concurrent clock_now() calls.
void set_clock_source(ClockSource source);

}  // namespace platform
