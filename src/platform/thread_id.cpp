/* platform/thread_id.cpp - the calling thread's system number, over Linux. */
#include "platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

uint64_t current_thread_id() { return static_cast<uint64_t>(::syscall(SYS_gettid)); }

}  // namespace platform
