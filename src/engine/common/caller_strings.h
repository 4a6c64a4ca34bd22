/* engine/common/caller_strings.h - taking the strings a command record points to.
 *
 * The entries copy every string they use out of the caller's record before
 * using it, through the platform's memory probe: a pointer that cannot be read
 * up to its terminating NUL is refused (the entry reports its parameters as
 * invalid) instead of crashing the caller's process.  The later stages read
 * the copies kept in the run, never the caller's pointers.
 */
#pragma once

#include <cstddef>
#include <string>

namespace ostrana {

/// The longest string taken from a record (64 MiB: an item list of a very
/// large selection still fits).
inline constexpr size_t kCallerStringLimit = size_t{64} << 20;

enum class CallerString {
  kMissing,     ///< a null pointer
  kTaken,       ///< copied (possibly empty)
  kUnreadable,  ///< not readable up to a NUL within the limit
};

/// Copies the string at @p p into @p out (cleared when missing or unreadable).
CallerString take_caller_string(const char* p, std::string* out);

}  // namespace ostrana
