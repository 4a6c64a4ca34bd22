/* platform/memory_probe.cpp - read memory a caller handed us without trusting it.
 *
 * Reads go page by page, so a short string that ends just before an unmapped
 * page is still read in full.
 */
#include "platform/memory_probe.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {
namespace {

size_t page_size() {
  static const size_t size = [] {
    long n = ::sysconf(_SC_PAGESIZE);
    return n > 0 ? static_cast<size_t>(n) : size_t{4096};
  }();
  return size;
}

// Fallback for systems where process_vm_readv is refused: the kernel checks the
// source of a write() and fails it with EFAULT instead of faulting.
bool copy_through_pipe(const void* p, size_t nbytes, void* out) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  bool ok = true;
  const char* src = static_cast<const char*>(p);
  char* dst = static_cast<char*>(out);
  while (ok && nbytes > 0) {
    size_t chunk = std::min<size_t>(nbytes, 4096);  // fits the pipe's buffer
    ssize_t w = ::write(fds[1], src, chunk);
    if (w <= 0) {
      ok = false;
      break;
    }
    ssize_t got = 0;
    while (got < w) {
      ssize_t r = ::read(fds[0], dst + got, static_cast<size_t>(w - got));
      if (r <= 0) {
        ok = false;
        break;
      }
      got += r;
    }
    src += w;
    dst += w;
    nbytes -= static_cast<size_t>(w);
  }
  ::close(fds[0]);
  ::close(fds[1]);
  return ok;
}

// Copies one range that does not cross a page boundary.
bool copy_range(const void* p, size_t nbytes, void* out) {
  static std::atomic<bool> vm_readv_refused{false};
  if (!vm_readv_refused.load(std::memory_order_relaxed)) {
    struct iovec local = {out, nbytes};
    struct iovec remote = {const_cast<void*>(p), nbytes};
    ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(nbytes)) return true;
    if (n >= 0 || errno == EFAULT) return false;
    if (errno != ENOSYS && errno != EPERM) return false;
    vm_readv_refused.store(true, std::memory_order_relaxed);
  }
  return copy_through_pipe(p, nbytes, out);
}

// Bytes from @p a to the end of its page.
size_t to_page_end(uintptr_t a) { return page_size() - (a % page_size()); }

}  // namespace

bool copy_readable(const void* p, size_t nbytes, void* out) {
  if (nbytes == 0) return true;
  if (p == nullptr) return false;
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  if (a + nbytes < a) return false;  // wraps around the address space
  char* dst = static_cast<char*>(out);
  while (nbytes > 0) {
    size_t chunk = std::min(nbytes, to_page_end(a));
    if (!copy_range(reinterpret_cast<const void*>(a), chunk, dst)) return false;
    a += chunk;
    dst += chunk;
    nbytes -= chunk;
  }
  return true;
}

bool is_readable(const void* p, size_t nbytes) {
  if (nbytes == 0) return true;
  if (p == nullptr) return false;
  char scratch[4096];
  const char* src = static_cast<const char*>(p);
  while (nbytes > 0) {
    size_t chunk = std::min(nbytes, sizeof scratch);
    if (!copy_readable(src, chunk, scratch)) return false;
    src += chunk;
    nbytes -= chunk;
  }
  return true;
}

bool copy_readable_string(const char* p, size_t max_chars, std::string* out) {
  out->clear();
  if (max_chars == 0) return true;
  if (p == nullptr) return false;
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  char chunk_buf[4096];
  while (out->size() < max_chars) {
    size_t chunk = std::min({max_chars - out->size(), to_page_end(a), sizeof chunk_buf});
    if (!copy_range(reinterpret_cast<const void*>(a), chunk, chunk_buf)) return false;
    const void* nul = std::memchr(chunk_buf, '\0', chunk);
    if (nul != nullptr) {
      out->append(chunk_buf, static_cast<const char*>(nul) - chunk_buf);
      return true;
    }
    out->append(chunk_buf, chunk);
    a += chunk;
  }
  return true;
}

}  // namespace platform
