/* platform/folders.cpp - removing emptied folders, over POSIX. */
#include "platform/folders.h"

#include <cerrno>
#include <unistd.h>

#include "platform/fault_injection.h"

namespace platform {

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
