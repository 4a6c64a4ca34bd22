/* platform/folders.cpp - creating and removing folders, over POSIX. */
#include "platform/folders.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fault_injection.h"

namespace platform {

int make_folders(const std::string& path, unsigned mode) {
  if (path.empty()) return 0;  // the current folder
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return errno;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int remove_folder(const std::string& path) {
  if (int e = faults::check(faults::Op::kRemove)) return e;
  return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

std::string parent_folder(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return "";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

}  // namespace platform
