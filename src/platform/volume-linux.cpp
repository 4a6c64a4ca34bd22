/* platform/volume-linux.cpp - the volume service over the mount table and sysfs.
 *
 * The mount that holds a path is the mountinfo line whose mount point is the
 * longest whole-component prefix of the path's real location (later lines
 * win: they are mounted over earlier ones).  Its device numbers lead to
 * /sys/dev/block/MAJ:MIN; for a partition the disk is the folder above, and
 * the disk's "removable" file and name ("sr0") tell the drive kind.  Mounts
 * without a block device (tmpfs, overlay, network file systems) are fixed.
 */
#include "platform/volume.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>


extern char** environ;

namespace platform {
namespace {

struct Mount {
  std::string point;   // where it is mounted
  unsigned major = 0;
  unsigned minor = 0;
  std::string fstype;
  std::string source;  // the device ("/dev/sdb1") or a pseudo name
};

// Mount points escape blanks, tabs, line ends and backslashes as \ooo.
std::string unescape_octal(const std::string& s) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && s.size() - i >= 4 && octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool is_below(const std::string& path, const std::string& point) {
  if (point == "/") return true;
  return path.compare(0, point.size(), point) == 0 && (path.size() == point.size() || path[point.size()] == '/');
}

std::string real_location(const std::string& path) {
  std::string existing = nearest_existing(path);
  char buf[PATH_MAX];
  if (::realpath(existing.c_str(), buf) == nullptr) return existing;
  return buf;
}

bool mount_of(const std::string& path, Mount* ret) {
  std::ifstream in("/proc/self/mountinfo");
  if (!in) return false;
  const std::string where = real_location(path);
  std::string line;
  bool found = false;
  size_t best = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, devices, root, point;
    if (!(fields >> id >> parent >> devices >> root >> point)) continue;
    std::string word;
    while (fields >> word && word != "-") {
    }
    Mount m;
    if (!(fields >> m.fstype >> m.source)) continue;
    m.point = unescape_octal(point);
    size_t colon = devices.find(':');
    if (colon == std::string::npos) continue;
    m.major = static_cast<unsigned>(std::strtoul(devices.c_str(), nullptr, 10));
    m.minor = static_cast<unsigned>(std::strtoul(devices.c_str() + colon + 1, nullptr, 10));
    if (is_below(where, m.point) && m.point.size() >= best) {
      best = m.point.size();
      *ret = m;
      found = true;
    }
  }
  return found;
}

std::string read_first_line(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

/// The sysfs folder of the whole disk that holds a mount's block device, or "".
std::string disk_folder(const Mount& m) {
  std::string link = "/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
  char buf[PATH_MAX];
  if (::realpath(link.c_str(), buf) == nullptr) return "";
  std::string folder = buf;
  struct stat st;
  if (::stat((folder + "/partition").c_str(), &st) == 0) folder.erase(folder.rfind('/'));
  return folder;
}

// /dev/disk/by-label names escape unusual characters as \xHH.
std::string unescape_hex(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && s.size() - i >= 4 && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool is_fat(const std::string& fstype) { return fstype == "vfat" || fstype == "msdos" || fstype == "fat"; }

bool tool_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/sbin:/usr/bin:/sbin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
  return false;
}

class LinuxVolumeService final : public VolumeService {
 public:
  DriveKind drive_kind(const std::string& path) override {
    Mount m;
    if (!mount_of(path, &m)) return DriveKind::kFixed;
    if (m.major == 11) return DriveKind::kCdRom;  // the SCSI CD-ROM block major
    std::string disk = disk_folder(m);
    if (disk.empty()) return DriveKind::kFixed;
    std::string name = disk.substr(disk.rfind('/') + 1);
    if (name.compare(0, 2, "sr") == 0) return DriveKind::kCdRom;
    return read_first_line(disk + "/removable") == "1" ? DriveKind::kRemovable : DriveKind::kFixed;
  }

  bool same_volume(const std::string& a, const std::string& b) override {
    struct stat sa, sb;
    if (::stat(nearest_existing(a).c_str(), &sa) != 0 || ::stat(nearest_existing(b).c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev;
  }

  int volume_label(const std::string& path, std::string* label_ret) override {
    label_ret->clear();
    Mount m;
    if (!mount_of(path, &m)) return ENOTSUP;
    char device[PATH_MAX];
    if (m.source.empty() || m.source[0] != '/' || ::realpath(m.source.c_str(), device) == nullptr) return ENOTSUP;
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (dir == nullptr) return ENOTSUP;
    int rc = ENOTSUP;
    while (struct dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      char target[PATH_MAX];
      std::string link = "/dev/disk/by-label/" + name;
      if (::realpath(link.c_str(), target) != nullptr && std::string(target) == device) {
        *label_ret = unescape_hex(name);
        rc = 0;
        break;
      }
    }
    ::closedir(dir);
    return rc;
  }

  int set_volume_label(const std::string& path, const std::string& label) override {
    Mount m;
    if (!mount_of(path, &m) || !is_fat(m.fstype) || m.source.empty() || m.source[0] != '/') return ENOTSUP;
    if (!tool_on_path("fatlabel")) return ENOTSUP;
    std::vector<std::string> args = {"fatlabel", m.source, label};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (int rc = ::posix_spawnp(&pid, "fatlabel", nullptr, nullptr, argv.data(), environ)) return rc;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
      if (errno != EINTR) return errno;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : EIO;
  }

  int free_space(const std::string& path, uint64_t* nbytes_ret) override {
    struct statvfs st;
    if (::statvfs(nearest_existing(path).c_str(), &st) != 0) return errno;
    *nbytes_ret = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    return 0;
  }

  std::string volume_root(const std::string& path) override {
    Mount m;
    return mount_of(path, &m) ? m.point : "/";
  }

  int max_name_length(const std::string& path, uint32_t* nbytes_ret) override {
    struct statvfs st;
    if (::statvfs(nearest_existing(path).c_str(), &st) != 0) return errno;
    *nbytes_ret = static_cast<uint32_t>(st.f_namemax);
    return 0;
  }

  // Only a diskette device can be formatted; a mounted one is formatted under
  // its file system, as the drive's own format would do.
  int format_medium(const std::string& path, bool lower_density, FormatObserver* observer) override {
    Mount m;
    if (!mount_of(path, &m) || m.source.compare(0, 7, "/dev/fd") != 0) return ENOTSUP;
    return format_floppy(m.source, lower_density, observer);
  }
};

VolumeService* g_installed = nullptr;

}  // namespace

std::string nearest_existing(const std::string& path) {
  std::string p = path.empty() ? "." : path;
  struct stat st;
  for (;;) {
    if (::stat(p.c_str(), &st) == 0) return p;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
}

VolumeService& volume_service() {
  static LinuxVolumeService real;
  return g_installed != nullptr ? *g_installed : real;
}

void set_volume_service(VolumeService* service) { g_installed = service; }

}  // namespace platform
