/* platform/random.h - random bytes from the operating system.
 *
 * The engine's random pool (engine/common/random_pool.h) is seeded from here;
 * on Linux the bytes come from getrandom(2), the kernel's cryptographic
 * generator.  Tests substitute a provider to make the pool reproducible or
 * to make the source fail.
 */
#pragma once

#include <cstddef>

namespace platform {

/// Fills @p buf with @p nbytes random bytes.  @return 0, or an errno value.
int random_bytes(void* buf, size_t nbytes);

/// A replacement source: same contract as random_bytes().
using RandomProvider = int (*)(void* buf, size_t nbytes);

/// Routes random_bytes() to @p provider; nullptr restores the system source.
/// For tests; not thread safe against concurrent random_bytes() calls.
void set_random_provider(RandomProvider provider);

}  // namespace platform
