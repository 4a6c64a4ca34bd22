/* platform/file_info.cpp - DOS attributes, DOS date-time and size of a file, over POSIX. */
#include "platform/file_info.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace platform {

namespace {

std::string_view last_component(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool is_hidden_name(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

uint32_t dos_attributes_from_mode(std::string_view name, unsigned mode) {
  uint32_t attributes = 0;
  if (S_ISDIR(mode)) {
    attributes |= kDosFolder;
  } else {
    // Linux keeps no "changed since the last backup" flag: every regular file
    // counts as changed, so selections that want the archive bit take them all.
    if (S_ISREG(mode)) attributes |= kDosArchive;
    if ((mode & S_IWUSR) == 0) attributes |= kDosReadOnly;
  }
  if (is_hidden_name(name)) attributes |= kDosHidden;
  return attributes;
}

uint32_t dos_datetime_from_tm(const struct tm& tm) {
  int year = tm.tm_year + 1900;
  if (year < 1980) return kDosDateTimeMin;
  if (year > 2107) {
    // 31 December 2107, 23:59:58
    return (127u << 25 | 12u << 21 | 31u << 16) | (23u << 11 | 59u << 5 | 29u);
  }
  uint32_t date = static_cast<uint32_t>(year - 1980) << 9 | static_cast<uint32_t>(tm.tm_mon + 1) << 5 |
                  static_cast<uint32_t>(tm.tm_mday);
  // A leap second (tm_sec 60) would not fit the 5-bit field: keep it at :58.
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  uint32_t time = static_cast<uint32_t>(tm.tm_hour) << 11 | static_cast<uint32_t>(tm.tm_min) << 5 |
                  static_cast<uint32_t>(sec / 2);
  return date << 16 | time;
}

uint32_t dos_datetime_from_time(time_t t) {
  struct tm tm {};
  if (localtime_r(&t, &tm) == nullptr) return kDosDateTimeMin;
  return dos_datetime_from_tm(tm);
}

time_t time_from_dos_datetime(uint32_t dos_datetime) {
  struct tm tm {};
  uint32_t date = dos_datetime >> 16;
  uint32_t time = dos_datetime & 0xFFFF;
  tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>(date & 0x1F);
  tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
  tm.tm_isdst = -1;
  return mktime(&tm);
}

const char* file_kind_text(FileKind kind) {
  switch (kind) {
    case FileKind::kFolder: return "folder";
    case FileKind::kFifo: return "FIFO";
    case FileKind::kSocket: return "socket";
    case FileKind::kDevice: return "device";
    case FileKind::kRegular: break;
  }
  return "file";
}

void file_info_from_stat(std::string_view name, const struct stat& st, FileInfo* info_ret) {
  FileInfo info;
  info.dos_attributes = dos_attributes_from_mode(name, st.st_mode);
  info.mtime = static_cast<int64_t>(st.st_mtime);
  info.dos_datetime = dos_datetime_from_time(st.st_mtime);
  info.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  info.device = static_cast<uint64_t>(st.st_dev);
  info.inode = static_cast<uint64_t>(st.st_ino);
  info.mtime_nsec = static_cast<int64_t>(st.st_mtim.tv_nsec);
  info.change_nsec = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  info.mode = static_cast<uint32_t>(st.st_mode);
  if (S_ISDIR(st.st_mode)) info.kind = FileKind::kFolder;
  else if (S_ISFIFO(st.st_mode)) info.kind = FileKind::kFifo;
  else if (S_ISSOCK(st.st_mode)) info.kind = FileKind::kSocket;
  else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) info.kind = FileKind::kDevice;
  *info_ret = info;
}

bool is_file_path(const std::string& path) {
  FileInfo info;
  return file_info(path, &info) == 0 && !info.is_folder();
}

int link_info(const std::string& path, FileInfo* info_ret) {
  struct stat st;
  if (::lstat(path.empty() ? "." : path.c_str(), &st) != 0) return errno;
  file_info_from_stat(last_component(path), st, info_ret);
  return 0;
}

int read_link(const std::string& path, std::string* target_ret) {
  char buf[4096];
  ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
  if (n < 0) return errno;
  if (static_cast<size_t>(n) == sizeof buf) return ENAMETOOLONG;
  target_ret->assign(buf, static_cast<size_t>(n));
  return 0;
}

int file_info(const std::string& path, FileInfo* info_ret) {
  struct stat st;
  if (::stat(path.empty() ? "." : path.c_str(), &st) != 0) return errno;
  file_info_from_stat(last_component(path), st, info_ret);
  return 0;
}

int file_info_of(const File& file, FileInfo* info_ret) {
  struct stat st;
  if (!file.is_open()) return EBADF;
  if (::fstat(file.fd(), &st) != 0) return errno;
  file_info_from_stat(last_component(file.path()), st, info_ret);
  return 0;
}

uint32_t file_dos_datetime(const std::string& path, uint32_t* attributes_ret, uint64_t* size_ret) {
  FileInfo info;
  bool found = file_info(path, &info) == 0;
  if (attributes_ret) *attributes_ret = found ? (info.dos_attributes & kDosStoredMask) : 0;
  if (size_ret) *size_ret = found ? info.size : 0;
  return found ? info.dos_datetime : 0;
}

}  // namespace platform
