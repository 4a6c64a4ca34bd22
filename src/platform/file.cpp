/* platform/file.cpp - files and paths for the engine, over POSIX. */
#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "platform/fault_injection.h"

namespace platform {

using faults::Op;

File::~File() {
  if (m_fd >= 0) ::close(m_fd);
}

File::File(File&& other) noexcept
    : m_fd(other.m_fd), m_error(other.m_error), m_unnamed(other.m_unnamed), m_path(std::move(other.m_path)) {
  other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = other.m_fd;
    m_error = other.m_error;
    m_unnamed = other.m_unnamed;
    m_path = std::move(other.m_path);
    other.m_fd = -1;
  }
  return *this;
}

int File::open(const std::string& path, Mode mode, unsigned perms) {
  if (m_fd >= 0) close();
  if (int e = faults::check(Op::kOpen)) return m_error = e;
  // Never blocking in open(): a FIFO standing where a file is expected would
  // wait for a writer forever.  FIFOs and sockets are refused; the flag is
  // cleared again for everything else.
  int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::kCreateExclusive: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  int fd;
  do fd = ::open(path.c_str(), flags, perms);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return m_error = errno;
  struct stat st;
  int refusal = 0;
  if (::fstat(fd, &st) != 0) refusal = errno;
  else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) refusal = ENXIO;
  else if (mode == Mode::kRead && S_ISDIR(st.st_mode)) refusal = EISDIR;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) refusal = errno;
  if (refusal != 0) {
    ::close(fd);
    return m_error = refusal;
  }
  m_fd = fd;
  m_path = path;
  m_unnamed = false;
  m_error = 0;
  return 0;
}

namespace {
bool g_unnamed_allowed = true;
}  // namespace

void allow_unnamed_files(bool allowed) { g_unnamed_allowed = allowed; }

int File::open_unnamed(const std::string& folder, unsigned perms) {
  if (m_fd >= 0) close();
  if (!g_unnamed_allowed) return m_error = EOPNOTSUPP;
  if (int e = faults::check(Op::kOpen)) return m_error = e;
  int fd;
  do fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, perms);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return m_error = errno;
  m_fd = fd;
  m_path.clear();
  m_unnamed = true;
  m_error = 0;
  return 0;
}

int File::link_as(const std::string& path) {
  if (!unnamed()) return EINVAL;
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_fd);
  if (::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) return m_error = errno;
  m_path = path;
  m_unnamed = false;
  return 0;
}

void File::adopt(int fd, const std::string& path) {
  if (m_fd >= 0) close();
  m_fd = fd;
  m_path = path;
  m_unnamed = false;
  m_error = 0;
}

std::ptrdiff_t File::read(void* buf, size_t avail) {
  if (int e = faults::check(Op::kRead)) {
    m_error = e;
    return -1;
  }
  ssize_t n;
  do n = ::read(m_fd, buf, avail);
  while (n < 0 && errno == EINTR);
  if (n < 0) m_error = errno;
  return n;
}

std::ptrdiff_t File::read_full(void* buf, size_t nbytes) {
  size_t done = 0;
  auto* p = static_cast<uint8_t*>(buf);
  while (done < nbytes) {
    std::ptrdiff_t n = read(p + done, nbytes - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(done);
}

std::ptrdiff_t File::read_at(uint64_t offset, void* buf, size_t nbytes) {
  size_t done = 0;
  auto* p = static_cast<uint8_t*>(buf);
  while (done < nbytes) {
    if (int e = faults::check(Op::kRead)) {
      m_error = e;
      return -1;
    }
    ssize_t n = ::pread(m_fd, p + done, nbytes - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_error = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(done);
}

int File::write(const void* data, size_t nbytes) {
  auto* p = static_cast<const uint8_t*>(data);
  while (nbytes != 0) {
    if (int e = faults::check(Op::kWrite)) return m_error = e;
    ssize_t n = ::write(m_fd, p, nbytes);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return m_error = errno;
    if (n == 0) return m_error = ENOSPC;
    p += n;
    nbytes -= static_cast<size_t>(n);
  }
  return 0;
}

int File::write_at(uint64_t offset, const void* data, size_t nbytes) {
  auto* p = static_cast<const uint8_t*>(data);
  while (nbytes != 0) {
    if (int e = faults::check(Op::kWrite)) return m_error = e;
    ssize_t n = ::pwrite(m_fd, p, nbytes, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return m_error = errno;
    if (n == 0) return m_error = ENOSPC;
    p += n;
    offset += static_cast<uint64_t>(n);
    nbytes -= static_cast<size_t>(n);
  }
  return 0;
}

int File::seek(uint64_t offset) {
  if (int e = faults::check(Op::kSeek)) return m_error = e;
  if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) return m_error = errno;
  return 0;
}

int64_t File::tell() const { return ::lseek(m_fd, 0, SEEK_CUR); }

int64_t File::size() const {
  struct stat st;
  if (::fstat(m_fd, &st) != 0) return -1;
  return st.st_size;
}

int File::sync() {
  if (int e = faults::check(Op::kSync)) return m_error = e;
  if (::fsync(m_fd) != 0) return m_error = errno;
  return 0;
}

int File::truncate(uint64_t length) {
  if (int e = faults::check(Op::kWrite)) return m_error = e;
  if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) return m_error = errno;
  return 0;
}

int File::close() {
  if (m_fd < 0) return 0;
  int fd = m_fd;
  m_fd = -1;
  int injected = faults::check(Op::kClose);
  int rc = ::close(fd);  // the descriptor is released even when a failure is injected
  if (injected) return m_error = injected;
  if (rc != 0 && errno != EINTR) return m_error = errno;
  return 0;
}

int rename_path(const std::string& from, const std::string& to) {
  if (int e = faults::check(Op::kRename)) return e;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int remove_file(const std::string& path) {
  if (int e = faults::check(Op::kRemove)) return e;
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int sync_folder(const std::string& folder) {
  if (int e = faults::check(Op::kSync)) return e;
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int rc = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return rc;
}

std::string followed_link(const std::string& path) {
  // readlink step by step, so a link to a file that does not exist yet still
  // names where that file will be; at most 40 links, as the system allows.
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    char target[4096];
    ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
    if (n <= 0) return current;
    std::string next(target, static_cast<size_t>(n));
    if (next[0] != '/') {
      size_t slash = current.rfind('/');
      if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    }
    current = next;
  }
  return path;
}

bool path_entry_exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string read_file_start(const std::string& path, size_t max_nbytes) {
  int fd;
  // Not blocking in open(), and regular files only: a FIFO would wait for a writer forever.
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return {};
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return {};
  }
  std::string text;
  char buf[4096];
  while (text.size() < max_nbytes) {
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, max_nbytes - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

int file_mode(const std::string& path, unsigned* mode_ret) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  *mode_ret = static_cast<unsigned>(st.st_mode) & 07777;
  return 0;
}

int set_file_mode(const std::string& path, unsigned mode) {
  if (int e = faults::check(Op::kAttributes)) return e;
  return ::chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
}

int set_file_mtime(const std::string& path, int64_t mtime) {
  if (int e = faults::check(Op::kAttributes)) return e;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(mtime);
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : errno;
}

}  // namespace platform
