/* platform/local_time.h - the local time and the current folder.
 *
 * The results log stamps its events with the local time and names its
 * document after it; both are read here so the log's clock and folder can be
 * replaced in tests.
 */
#pragma once

#include <ctime>
#include <string>

namespace platform {

/// The current local time (localtime_r of clock_now()).
std::tm local_time_now();

/// The process's current folder, or "" when it cannot be read.
std::string current_folder();

}  // namespace platform
