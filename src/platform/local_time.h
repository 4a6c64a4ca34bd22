/* platform/local_time.h - the local wall-clock time, broken down.
 *
 * The engine stamps its logs with the local date and time and keeps entry
 * times as DOS date-times, which are local time by definition.
 */
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 1980;  ///< e.g. 2024
  int month = 1;    ///< 1..12
  int day = 1;      ///< 1..31
  int hour = 0;     ///< 0..23
  int minute = 0;   ///< 0..59
  int second = 0;   ///< 0..60
};

/// The current local time.
LocalTime local_now();

/// @p unix_seconds as local time.  @return false when it cannot be represented.
bool local_from_unix(int64_t unix_seconds, LocalTime* out);

}  // namespace platform
