/* platform/processors.h - how many threads the engine's work may use.
 *
 * The archive writer compresses on as many threads as the process has
 * processors, unless told otherwise: the OSTRANA_THREADS environment setting
 * (a number; 1 keeps all work on the calling thread) overrides the count.
 */
#pragma once

namespace platform {

/// Processors this process may run on (its affinity mask), at least 1.
int processor_count();

/// The OSTRANA_THREADS setting when it is a number from 1 to 256, else 0.
int threads_setting();

/// Sets OSTRANA_THREADS for this process (the command line's --threads).
void set_threads_setting(int threads);

}  // namespace platform
