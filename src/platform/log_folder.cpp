/* platform/log_folder.cpp - where the engine's text logs go, and appending to them. */
#include "platform/log_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/output_tree.h"

namespace platform {
namespace {

std::string home_folder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  std::vector<char> buf(16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return "";
}

}  // namespace

std::string engine_log_folder_path() {
  std::string base;
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') {
    base = state;  // the rules ignore a relative value
  } else {
    std::string home = home_folder();
    if (home.empty()) return "";
    base = home + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/Ostrana";
}

std::string engine_log_folder() {
  std::string folder = engine_log_folder_path();
  if (folder.empty()) return "";
  return make_folder_path(folder, 0700) == 0 ? folder : "";
}

int append_to_file(const std::string& path, const void* data, size_t nbytes) {
  if (int e = faults::check(faults::Op::kOpen)) return e;
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  const char* p = static_cast<const char*>(data);
  int err = faults::check(faults::Op::kWrite);
  if (err != 0) nbytes = 0;  // as if the first write had failed
  while (nbytes > 0) {
    ssize_t n = ::write(fd, p, nbytes);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    p += n;
    nbytes -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  return err;
}

}  // namespace platform
