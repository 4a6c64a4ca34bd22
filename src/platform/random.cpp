/* platform/random.cpp - random bytes from the operating system. */
#include "platform/random.h"

#include <cerrno>
#include <sys/random.h>

namespace platform {

bool random_bytes(void* buf, size_t n) {
  auto* out = static_cast<unsigned char*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t got = getrandom(out + done, n - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace platform
