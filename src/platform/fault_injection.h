/* platform/fault_injection.h - make the N-th file operation fail, for tests.
 *
 * Every file operation of the platform layer asks this module first whether it
 * should fail.  A test arms one operation kind (or all kinds) with a count N
 * and an errno value; the N-th matching call then fails with that errno, as if
 * the system had refused it.  Disarmed (the default) the check is one relaxed
 * atomic load.  This is how the engine's behaviour under open, read, write,
 * rename and close failures is tested without a broken disk.
 */
#pragma once

#include <cstdint>

namespace platform::faults {

/// kFolder: listing a folder or making one on a path; kAttributes: setting a
/// file's times or permissions.
enum class Op : int { kAny = 0, kOpen, kRead, kWrite, kSeek, kRename, kRemove, kClose, kSync, kFolder, kAttributes, kCount };

/// Arms the plan: the @p nth (1-based) call of kind @p op fails with @p err.
void arm(Op op, long nth, int err);
/// Disarms; afterwards no call fails by injection.
void disarm();
/// How many calls of kind @p op (kAny: all kinds) happened since the last arm or reset_counts.
long calls(Op op);
void reset_counts();
/// True when the plan's failure has been delivered.
bool fired();

/// Called by the platform layer before each operation: 0 to go on, or the errno to fail with.
int check(Op op);

}  // namespace platform::faults
