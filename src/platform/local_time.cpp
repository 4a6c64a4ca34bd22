/* platform/local_time.cpp - the local wall-clock time, broken down. */
#include "platform/local_time.h"

#include <ctime>

namespace platform {

bool local_from_unix(int64_t unix_seconds, LocalTime* out) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  struct tm tm;
  if (::localtime_r(&t, &tm) == nullptr) return false;
  out->year = tm.tm_year + 1900;
  out->month = tm.tm_mon + 1;
  out->day = tm.tm_mday;
  out->hour = tm.tm_hour;
  out->minute = tm.tm_min;
  out->second = tm.tm_sec;
  return true;
}

LocalTime local_now() {
  LocalTime now;
  local_from_unix(static_cast<int64_t>(std::time(nullptr)), &now);
  return now;
}

}  // namespace platform
