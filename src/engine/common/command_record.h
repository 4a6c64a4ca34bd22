/* engine/common/command_record.h - taking a caller's command record of any accepted size.
 *
 * The command records grew over time; a caller says in structSize which form
 * it built.  The entry copies that many bytes into a full record of its own
 * (the rest reads as zero) and derives the caller's behaviour level from the
 * size.  A size the engine does not know is still copied as far as it can be
 * read (never beyond the full record), so the diagnostic log can show what the
 * caller passed without reading past the caller's memory.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana {

/// One accepted record size and the behaviour level it gives.
struct RecordSize {
  int32_t nbytes;
  int level;
};

/// The behaviour level of @p nbytes among @p sizes (@p count rows), or 0 when
/// the size is not accepted.
int behaviour_level(const RecordSize* sizes, size_t count, int32_t nbytes);

/// Copies the caller's record into @p full (@p full_nbytes) and zeroes the rest.
/// An accepted size is copied as it is.  Any other size copies
/// min(@p caller_nbytes, @p full_nbytes) bytes when they can be read, else as
/// many as @p smallest_nbytes when those can, else only the first 4 bytes.
/// @return the number of bytes copied.
size_t copy_command_record(const void* caller, int32_t caller_nbytes, bool accepted, void* full,
                           size_t full_nbytes, size_t smallest_nbytes);

}  // namespace ostrana
