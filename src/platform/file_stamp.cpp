/* platform/file_stamp.cpp - what tells one state of a file from another. */
#include "platform/file_stamp.h"

#include <cerrno>
#include <sys/stat.h>

#include "platform/file.h"

namespace platform {

namespace {

void fill(const struct stat& st, FileStamp* ret) {
  ret->mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  ret->size = static_cast<uint64_t>(st.st_size);
  ret->device = static_cast<uint64_t>(st.st_dev);
  ret->inode = static_cast<uint64_t>(st.st_ino);
}

}  // namespace

int file_stamp(const File& file, FileStamp* ret) {
  struct stat st;
  if (!file.is_open()) return EBADF;
  if (::fstat(file.fd(), &st) != 0) return errno;
  fill(st, ret);
  return 0;
}

int file_stamp(const std::string& path, FileStamp* ret) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  fill(st, ret);
  return 0;
}

}  // namespace platform
