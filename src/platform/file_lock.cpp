/* platform/file_lock.cpp - flock(2) locks, their holders from /proc/locks. */
#include "platform/file_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/file.h"

namespace platform {

FileLock::~FileLock() { unlock(); }

FileLock::FileLock(FileLock&& other) noexcept { *this = std::move(other); }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    unlock();
    m_fd = other.m_fd;
    m_device = other.m_device;
    m_inode = other.m_inode;
    other.m_fd = -1;
  }
  return *this;
}

int FileLock::try_lock(const std::string& path) {
  unlock();
  // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st;
  if (::fstat(fd, &st) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno == EAGAIN ? EWOULDBLOCK : errno;
    ::close(fd);
    return err;
  }
  m_fd = fd;
  m_device = static_cast<uint64_t>(st.st_dev);
  m_inode = static_cast<uint64_t>(st.st_ino);
  return 0;
}

void FileLock::unlock() {
  if (m_fd >= 0) ::close(m_fd);  // closing gives the lock back
  m_fd = -1;
}

int lock_open_file(const File& file) {
  if (!file.is_open()) return EBADF;
  if (::flock(file.fd(), LOCK_EX | LOCK_NB) == 0) return 0;
  return errno == EAGAIN ? EWOULDBLOCK : errno;
}

bool lock_is_free(const std::string& path) {
  FileLock probe;
  return probe.try_lock(path) == 0;
}

int lock_holder(uint64_t device, uint64_t inode) {
  // Lines read "1: FLOCK  ADVISORY  WRITE 4711 08:01:123456 0 EOF"; waiters
  // carry "->" after the number and are not holders.
  std::FILE* f = std::fopen("/proc/locks", "re");
  if (f == nullptr) return 0;
  const unsigned want_major = major(static_cast<dev_t>(device));
  const unsigned want_minor = minor(static_cast<dev_t>(device));
  char line[256];
  int holder = 0;
  while (holder == 0 && std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strstr(line, "->") != nullptr) continue;
    char kind[16], mode[16], access[16];
    int pid = 0;
    unsigned maj = 0, min = 0;
    unsigned long long ino = 0;
    if (std::sscanf(line, "%*d: %15s %15s %15s %d %x:%x:%llu", kind, mode, access, &pid, &maj, &min, &ino) == 7 &&
        maj == want_major && min == want_minor && ino == inode && pid > 0)
      holder = pid;
  }
  std::fclose(f);
  return holder;
}

std::string process_name(int pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/comm", pid);
  std::FILE* f = std::fopen(path, "re");
  if (f == nullptr) return std::string();
  char name[64] = "";
  if (std::fgets(name, sizeof name, f) == nullptr) name[0] = '\0';
  std::fclose(f);
  std::string s = name;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

int lock_wait_ms() {
  const char* text = std::getenv("OSTRANA_LOCK_WAIT");
  if (text == nullptr || *text == '\0') return 10000;
  char* end = nullptr;
  long seconds = std::strtol(text, &end, 10);
  if (*end != '\0' || seconds < 0 || seconds > 3600) return 10000;
  return static_cast<int>(seconds * 1000);
}

void pause_ms(int ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  ::nanosleep(&ts, nullptr);  // a signal ends the pause early: the caller looks at it
}

}  // namespace platform
