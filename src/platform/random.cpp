/* platform/random.cpp - random bytes from getrandom(2), with a test seam.
 *
 * getrandom blocks only until the kernel's generator is first seeded, then
 * never again; requests above 256 bytes may return short, so it is called in
 * a loop, and an interrupted call is retried.
 */
#include "platform/random.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cstdint>


namespace platform {
namespace {

std::atomic<RandomProvider> g_provider{nullptr};

int system_random_bytes(void* buf, size_t nbytes) {
  auto* p = static_cast<uint8_t*>(buf);
  while (nbytes != 0) {
    ssize_t got = getrandom(p, nbytes, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += got;
    nbytes -= static_cast<size_t>(got);
  }
  return 0;
}

}  // namespace

int random_bytes(void* buf, size_t nbytes) {
  if (RandomProvider provider = g_provider.load(std::memory_order_acquire)) return provider(buf, nbytes);
  return system_random_bytes(buf, nbytes);
}

void set_random_provider(RandomProvider provider) { g_provider.store(provider, std::memory_order_release); }

}  // namespace platform
