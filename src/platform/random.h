/* platform/random.h - random bytes from the operating system.
 *
 * getrandom(2), retried on interruption and short reads.  Used where the
 * program needs unpredictable values (the task file protection header, which
 * once took them from a fresh GUID).
 */
#pragma once

#include <cstddef>

namespace platform {

/// Fills @p buf with @p n random bytes.  @return false when the system refused.
bool random_bytes(void* buf, size_t n);

}  // namespace platform
