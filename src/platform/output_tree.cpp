/* platform/output_tree.cpp - creating folders and files below a destination, safely. */
#include "platform/output_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/fault_injection.h"

namespace platform {
namespace {

using faults::Op;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

/// Splits "a/b/c" into its folder "a/b" and its name "c".
void split_relative(const std::string& relative, std::string* folder, std::string* name) {
  size_t slash = relative.rfind('/');
  if (slash == std::string::npos) {
    folder->clear();
    *name = relative;
  } else {
    *folder = relative.substr(0, slash);
    *name = relative.substr(slash + 1);
  }
}

PathFacts facts_of(const struct stat& st) {
  PathFacts f;
  f.device = st.st_dev;
  f.inode = st.st_ino;
  if (S_ISLNK(st.st_mode)) f.kind = PathFacts::Kind::kLink;
  else if (S_ISDIR(st.st_mode)) f.kind = PathFacts::Kind::kFolder;
  else if (S_ISREG(st.st_mode)) f.kind = PathFacts::Kind::kFile;
  else f.kind = PathFacts::Kind::kOther;
  f.read_only = f.kind == PathFacts::Kind::kFile && (st.st_mode & S_IWUSR) == 0;
  return f;
}

}  // namespace

OutputTree::~OutputTree() { close(); }

std::string OutputTree::next_temp_name(const char* suffix) {
  char temp[64];
  std::snprintf(temp, sizeof temp, ".ostrana-%ld-%u.%s", static_cast<long>(::getpid()), ++m_temp_counter, suffix);
  return temp;
}

int OutputTree::open(const std::string& root) {
  close();
  if (int e = faults::check(Op::kOpen)) return e;
  if (int rc = make_folder_path(root)) return rc;
  int fd;
  do fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  m_root = fd;
  m_root_path = root;
  return 0;
}

void OutputTree::close() {
  close_fd(m_cached_fd);
  close_fd(m_root);
  m_cached_folder.clear();
  m_root_path.clear();
}

int OutputTree::folder_fd(const std::string& folder, bool create, int* fd_ret) {
  if (m_root < 0) return EBADF;
  if (folder.empty()) {
    *fd_ret = m_root;
    return 0;
  }
  if (m_cached_fd >= 0 && folder == m_cached_folder) {
    *fd_ret = m_cached_fd;
    return 0;
  }
  int current = m_root;
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = folder.find('/', start);
    if (end == std::string::npos) end = folder.size();
    const std::string part = folder.substr(start, end - start);
    int next = ::openat(current, part.c_str(), kFolderFlags);
    if (next < 0 && errno == ENOENT && create) {
      if (int e = faults::check(Op::kOpen)) {
        if (current != m_root) ::close(current);
        return e;
      }
      if (::mkdirat(current, part.c_str(), 0777) != 0 && errno != EEXIST) {
        int e = errno;
        if (current != m_root) ::close(current);
        return e;
      }
      next = ::openat(current, part.c_str(), kFolderFlags);
    }
    int e = next < 0 ? errno : 0;
    if (e == ENOTDIR || e == ELOOP) {
      // Either a symbolic link (refused: ELOOP) or a file in the way (ENOTDIR);
      // O_DIRECTORY and O_NOFOLLOW together do not tell which.
      struct stat st;
      e = ::fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
    }
    if (current != m_root) ::close(current);
    if (next < 0) return e;
    current = next;
    start = end + 1;
  }
  close_fd(m_cached_fd);
  m_cached_fd = current;
  m_cached_folder = folder;
  *fd_ret = current;
  return 0;
}

int OutputTree::make_folders(const std::string& folder) {
  int fd;
  return folder_fd(folder, true, &fd);
}

int OutputTree::examine(const std::string& relative, PathFacts* ret) {
  *ret = PathFacts();
  struct stat st;
  if (relative.empty()) {
    if (::fstat(m_root, &st) != 0) return errno;
    *ret = facts_of(st);
    return 0;
  }
  std::string folder, name;
  split_relative(relative, &folder, &name);
  int fd;
  int rc = folder_fd(folder, false, &fd);
  if (rc == ENOENT) return 0;  // a folder above is missing: so is the item
  if (rc != 0) return rc;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  *ret = facts_of(st);
  return 0;
}

int OutputTree::make_writable(const std::string& relative) {
  std::string folder, name;
  split_relative(relative, &folder, &name);
  int fd;
  if (int rc = folder_fd(folder, false, &fd)) return rc;
  struct stat st;
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  return ::fchmodat(fd, name.c_str(), (st.st_mode & 07777) | S_IWUSR, 0) == 0 ? 0 : errno;
}

int OutputTree::remove(const std::string& relative) {
  if (int e = faults::check(Op::kRemove)) return e;
  std::string folder, name;
  split_relative(relative, &folder, &name);
  int fd;
  if (int rc = folder_fd(folder, false, &fd)) return rc;
  return ::unlinkat(fd, name.c_str(), 0) == 0 ? 0 : errno;
}

int OutputTree::parent_of(const std::string& relative, std::string* folder_ret, std::string* name_ret, int* dir_ret) {
  if (int e = faults::check(Op::kOpen)) return e;
  split_relative(relative, folder_ret, name_ret);
  return folder_fd(*folder_ret, false, dir_ret);
}

int OutputTree::create_temp(const std::string& relative, File* file_ret, std::string* temp_ret) {
  std::string folder, name;
  int dir;
  if (int rc = parent_of(relative, &folder, &name, &dir)) return rc;
  // A short name of our own: the final name may already be as long as a name can be.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = next_temp_name("part");
    int fd;
    do fd = ::openat(dir, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return errno;
    *temp_ret = folder.empty() ? std::string(temp) : folder + "/" + temp;
    file_ret->adopt(fd, m_root_path + "/" + *temp_ret);
    return 0;
  }
  return EEXIST;
}

int OutputTree::commit(const std::string& temp, const std::string& relative) {
  if (int e = faults::check(Op::kRename)) return e;
  std::string folder, name, temp_folder, temp_name;
  split_relative(relative, &folder, &name);
  split_relative(temp, &temp_folder, &temp_name);
  if (folder != temp_folder) return EXDEV;
  int fd;
  if (int rc = folder_fd(folder, false, &fd)) return rc;
  return ::renameat(fd, temp_name.c_str(), fd, name.c_str()) == 0 ? 0 : errno;
}

int OutputTree::set_times(const std::string& relative, time_t t) {
  if (int e = faults::check(Op::kAttributes)) return e;
  struct timespec times[2] = {{t, 0}, {t, 0}};
  if (relative.empty()) return ::futimens(m_root, times) == 0 ? 0 : errno;
  std::string folder, name;
  split_relative(relative, &folder, &name);
  int fd;
  if (int rc = folder_fd(folder, false, &fd)) return rc;
  return ::utimensat(fd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int OutputTree::set_folder_mode(const std::string& relative, uint32_t mode) {
  if (int e = faults::check(Op::kAttributes)) return e;
  int fd;
  if (int rc = folder_fd(relative, false, &fd)) return rc;
  return ::fchmod(fd, static_cast<mode_t>(apply_mode(mode))) == 0 ? 0 : errno;
}

int OutputTree::make_link(const std::string& relative, const std::string& target) {
  std::string folder, name;
  int dir;
  if (int rc = parent_of(relative, &folder, &name, &dir)) return rc;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = next_temp_name("link");
    if (::symlinkat(target.c_str(), dir, temp.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      ::unlinkat(dir, temp.c_str(), 0);
      return EISDIR;
    }
    if (::renameat(dir, temp.c_str(), dir, name.c_str()) != 0) {
      int e = errno;
      ::unlinkat(dir, temp.c_str(), 0);
      return e;
    }
    return 0;
  }
  return EEXIST;
}

uint32_t process_umask() {
  // /proc tells without the set-and-restore that would race with other threads.
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
    if (found) return mask & 0777;
  }
  mode_t old = ::umask(022);
  ::umask(old);
  return static_cast<uint32_t>(old) & 0777;
}

uint32_t apply_mode(uint32_t mode) { return mode & 0777 & ~process_umask(); }

int set_file_times(File& file, time_t t) {
  if (int e = faults::check(Op::kAttributes)) return e;
  struct timespec times[2] = {{t, 0}, {t, 0}};
  return ::futimens(file.fd(), times) == 0 ? 0 : errno;
}

int set_file_permissions(File& file, bool read_only, uint32_t unix_mode) {
  if (int e = faults::check(Op::kAttributes)) return e;
  struct stat st;
  if (::fstat(file.fd(), &st) != 0) return errno;
  mode_t mode = st.st_mode & 0777;
  if (unix_mode != 0) mode = static_cast<mode_t>(apply_mode(unix_mode));
  else if (read_only) mode &= ~static_cast<mode_t>(0222);
  if (mode == (st.st_mode & 0777)) return 0;
  return ::fchmod(file.fd(), mode) == 0 ? 0 : errno;
}

int make_folder_path(const std::string& path, unsigned mode) {
  if (int e = faults::check(Op::kFolder)) return e;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return errno;
  }
  struct stat st;
  if (::stat(path.empty() ? "." : path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

}  // namespace platform
