/* platform/disk_preparation.cpp - wiping a removable disk, and the write test before using one. */
#include "platform/disk_preparation.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/file_info.h"

namespace platform {
namespace {

struct Listing {
  std::vector<std::string> files;    // regular files, links and anything else that is not a folder
  std::vector<std::string> folders;  // real folders (not links to them)
};

int list_folder(const std::string& folder, Listing* ret) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return errno;
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = folder == "/" ? "/" + name : folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) continue;
    (S_ISDIR(st.st_mode) ? ret->folders : ret->files).push_back(path);
  }
  ::closedir(dir);
  return 0;
}

/// Read-only (no owner write) or hidden (a dot name).
bool is_protected(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  size_t slash = path.rfind('/');
  return (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) ||
         is_hidden_name(slash == std::string::npos ? path : path.substr(slash + 1));
}

int delete_file(const std::string& path, bool include_protected, const WipeObserver& observer) {
  if (is_protected(path)) {
    if (!include_protected) return 0;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
  }
  if (observer)
    if (int rc = observer(path)) return rc;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return errno;
  return 0;
}

}  // namespace

int wipe_disk(const std::string& root, bool whole_tree, bool include_protected, const WipeObserver& observer) {
  // Breadth-first over an explicit list: no recursion, whatever the depth.
  std::vector<std::string> folders{root};
  for (size_t i = 0; i < folders.size(); ++i) {
    Listing l;
    if (int err = list_folder(folders[i], &l)) {
      if (i == 0) return err;
      continue;
    }
    for (const std::string& f : l.files)
      if (int rc = delete_file(f, include_protected, observer)) return rc;
    if (!whole_tree) break;
    for (std::string& f : l.folders) folders.push_back(std::move(f));
  }
  if (!whole_tree) return 0;
  // Folders deepest first (a folder is listed after its parent); one that
  // still holds protected files stays.
  for (size_t i = folders.size(); i-- > 1;) {
    if (is_hidden_name(folders[i].substr(folders[i].rfind('/') + 1)) && !include_protected) continue;
    if (observer)
      if (int rc = observer(folders[i])) return rc;
    ::rmdir(folders[i].c_str());
  }
  return 0;
}

int write_test(const std::string& root) {
  std::string path = (root.empty() || root.back() == '/' ? root : root + "/") + "~mvXXXXXX";
  int fd = ::mkstemp(path.data());
  if (fd < 0) return errno;
  int rc = ::close(fd) != 0 ? errno : 0;
  if (::unlink(path.c_str()) != 0 && rc == 0) rc = errno;
  return rc;
}

}  // namespace platform
