/* platform/floppy_format.cpp - formatting a diskette or a diskette image as empty FAT12. */
#include "platform/floppy_format.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

namespace platform {
namespace {

const FloppyMedia kMedia[kFloppyMediaCount] = {
    {"360 KB", 512, 2, 1, 2, 112, 720, 0xFD, 2, 9, 2},
    {"720 KB", 512, 2, 1, 2, 112, 1440, 0xF9, 3, 9, 2},
    {"1.2 MB", 512, 1, 1, 2, 224, 2400, 0xF9, 7, 15, 2},
    {"1.44 MB", 512, 1, 1, 2, 224, 2880, 0xF0, 9, 18, 2},
    {"2.88 MB", 512, 2, 1, 2, 240, 5760, 0xF0, 9, 36, 2},
};
/// The lower-density format of each drive (index into kMedia).
const int kLowerDensity[kFloppyMediaCount] = {0, 1, 0, 1, 3};

constexpr char kLabel[] = "OSTRANA_200";   // 11 characters
constexpr char kFileSystem[] = "FAT12   ";  // 8 characters
constexpr uint8_t kAttrVolumeLabel = 0x08;

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, static_cast<uint16_t>(v));
  put16(p + 2, static_cast<uint16_t>(v >> 16));
}

int write_all(int fd, uint64_t offset, const uint8_t* data, size_t nbytes) {
  while (nbytes != 0) {
    ssize_t n = ::pwrite(fd, data, nbytes, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    nbytes -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return 0;
}

/// The size of the diskette drive @p fd, or 0 when it is none.
uint64_t drive_nbytes(int fd, const std::string& path) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return 0;
  if (S_ISREG(st.st_mode)) return static_cast<uint64_t>(st.st_size);
  if (S_ISBLK(st.st_mode) && path.compare(0, 7, "/dev/fd") == 0) {
    uint64_t size = 0;
    if (::ioctl(fd, BLKGETSIZE64, &size) == 0) return size;
  }
  return 0;
}

}  // namespace

uint64_t FloppyMedia::data_nbytes() const {
  const uint32_t root_sectors = (root_entries * 32u + bytes_per_sector - 1) / bytes_per_sector;
  const uint32_t system = reserved_sectors + fats * sectors_per_fat + root_sectors;
  const uint32_t clusters = (total_sectors - system) / sectors_per_cluster;
  return static_cast<uint64_t>(clusters) * sectors_per_cluster * bytes_per_sector;
}

const FloppyMedia& floppy_media(int index) { return kMedia[index]; }

const FloppyMedia* floppy_media_for(uint64_t drive_nbytes, bool lower_density) {
  for (int i = 0; i < kFloppyMediaCount; ++i)
    if (kMedia[i].nbytes() == drive_nbytes) return &kMedia[lower_density ? kLowerDensity[i] : i];
  return nullptr;
}

void floppy_boot_sector(const FloppyMedia& m, uint32_t serial, uint8_t* s) {
  std::memset(s, 0, 512);
  // Jump over the parameter block to a program that halts for good.
  s[0] = 0xEB;
  s[1] = 0x3C;
  s[2] = 0x90;
  std::memcpy(s + 3, "OSTRANA ", 8);
  put16(s + 0x0B, m.bytes_per_sector);
  s[0x0D] = m.sectors_per_cluster;
  put16(s + 0x0E, m.reserved_sectors);
  s[0x10] = m.fats;
  put16(s + 0x11, m.root_entries);
  put16(s + 0x13, m.total_sectors);
  s[0x15] = m.media_byte;
  put16(s + 0x16, m.sectors_per_fat);
  put16(s + 0x18, m.sectors_per_track);
  put16(s + 0x1A, m.heads);
  put32(s + 0x1C, 0);  // hidden sectors
  put32(s + 0x20, 0);  // the 16-bit total holds it
  s[0x24] = 0x00;      // drive number
  s[0x26] = 0x29;      // the extended fields follow
  put32(s + 0x27, serial);
  std::memcpy(s + 0x2B, kLabel, 11);
  std::memcpy(s + 0x36, kFileSystem, 8);
  const uint8_t program[] = {0xFA, 0xF4, 0xEB, 0xFD};  // cli; hlt; jmp to hlt
  std::memcpy(s + 0x3E, program, sizeof program);
  s[510] = 0x55;
  s[511] = 0xAA;
}

int format_floppy(const std::string& target, bool lower_density, FormatObserver* observer,
                  const FloppyMedia** media_ret) {
  int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_DSYNC);
  if (fd < 0) return errno == ENOENT ? ENOTSUP : errno;
  const FloppyMedia* media = floppy_media_for(drive_nbytes(fd, target), lower_density);
  if (media == nullptr) {
    ::close(fd);
    return ENOTSUP;
  }
  const FloppyMedia& m = *media;
  const size_t track_nbytes = static_cast<size_t>(m.sectors_per_track) * m.bytes_per_sector;
  std::vector<uint8_t> zeros(track_nbytes, 0);
  const int last_cylinder = m.cylinders() - 1;
  int rc = 0;
  for (int c = 0; c <= last_cylinder && rc == 0; ++c) {
    for (int h = 0; h < m.heads && rc == 0; ++h) {
      if (observer != nullptr && observer->track(c, h, last_cylinder) != 0) rc = ECANCELED;
      else rc = write_all(fd, (static_cast<uint64_t>(c) * m.heads + h) * track_nbytes, zeros.data(), track_nbytes);
    }
  }
  if (rc == 0) {
    if (observer != nullptr) observer->initializing();
    uint8_t sector[512];
    floppy_boot_sector(m, static_cast<uint32_t>(::time(nullptr)) * 2654435761u, sector);
    rc = write_all(fd, 0, sector, sizeof sector);
    std::memset(sector, 0, sizeof sector);
    sector[0] = m.media_byte;
    sector[1] = 0xFF;
    sector[2] = 0xFF;
    for (int f = 0; f < m.fats && rc == 0; ++f)
      rc = write_all(fd, (m.reserved_sectors + static_cast<uint64_t>(f) * m.sectors_per_fat) * m.bytes_per_sector,
                     sector, 3);
    // The root folder is zero from the track format; it gets the label entry.
    std::memset(sector, 0, 32);
    std::memcpy(sector, kLabel, 11);
    sector[11] = kAttrVolumeLabel;
    const uint64_t root = (m.reserved_sectors + static_cast<uint64_t>(m.fats) * m.sectors_per_fat) * m.bytes_per_sector;
    if (rc == 0) rc = write_all(fd, root, sector, 32);
  }
  if (rc == 0 && ::fsync(fd) != 0) rc = errno;
  if (::close(fd) != 0 && rc == 0) rc = errno;
  if (rc == 0 && media_ret != nullptr) *media_ret = media;
  return rc;
}

}  // namespace platform
