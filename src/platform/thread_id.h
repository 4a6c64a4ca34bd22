/* platform/thread_id.h - the number the system gives the calling thread.
 *
 * The engine derives its temporary file names from it, so two threads (or two
 * processes) building archives in one folder at the same time start from
 * different names.  On Linux this is gettid(): unique among the live threads
 * of the whole system, and the process id for a process's first thread.
 */
#pragma once

#include <cstdint>

namespace platform {

uint64_t current_thread_id();

}  // namespace platform
