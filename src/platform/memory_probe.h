/* platform/memory_probe.h - read memory a caller handed us without trusting it.
 *
 * The engine's diagnostic logs print the strings and blocks a command record
 * points to, and a record may hold garbage.  These functions copy through the
 * kernel (process_vm_readv on our own process; a pipe write as the fallback
 * where that call is not allowed), which reports an unmapped or unreadable
 * address as an error instead of a crash.  They cannot tell memory that was
 * freed but is still mapped: such a pointer reads as whatever lies there.
 */
#pragma once

#include <cstddef>
#include <string>

namespace platform {

/// True when all @p nbytes at @p p can be read (0 bytes: always; nullptr: never).
bool is_readable(const void* p, size_t nbytes);

/// Copies @p nbytes from @p p into @p out.  @return false (and @p out partly
/// written) when any byte cannot be read.
bool copy_readable(const void* p, size_t nbytes, void* out);

/// Copies the NUL-terminated string at @p p, at most @p max_chars characters,
/// into @p out.  @return false when a byte before the end (NUL or limit) cannot
/// be read; the bytes that were readable are left in @p out.
bool copy_readable_string(const char* p, size_t max_chars, std::string* out);

}  // namespace platform
