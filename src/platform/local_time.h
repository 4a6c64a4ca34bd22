/* platform/local_time.h - the local time and the current folder.
 *
 * The results log stamps its events with the local time and names its
 * document after it; the engine stamps its logs and compares file times with
 * entry times, which are local time by definition (DOS date-times).  All of
 * them read the clock and the time zone here, so tests can rely on one place.
 */
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

/// The current local time (localtime_r of time()).
std::tm local_time_now();

/// @p unix_seconds as local time.  @return false when it cannot be represented.
bool local_time_from_unix(int64_t unix_seconds, std::tm* out);

/// The process's current folder, or "" when it cannot be read.
std::string current_folder();

}  // namespace platform
