/* tests/support/fake_volume.cpp - a volume service for tests, with folders standing in for disks. */
#include "fake_volume.h"

#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace testenv {

FakeVolumeService::FakeVolumeService(std::string drive) : m_drive(std::move(drive)) {
  platform::set_volume_service(this);
}

FakeVolumeService::~FakeVolumeService() { platform::set_volume_service(nullptr); }

void FakeVolumeService::insert(const std::string& folder) {
  ::unlink(m_drive.c_str());
  if (::symlink(folder.c_str(), m_drive.c_str()) != 0) throw std::runtime_error("cannot make the drive link");
  m_inserted = folder;
}

bool FakeVolumeService::on_drive(const std::string& path) const {
  return path.compare(0, m_drive.size(), m_drive) == 0 && (path.size() == m_drive.size() || path[m_drive.size()] == '/');
}

platform::DriveKind FakeVolumeService::drive_kind(const std::string& path) {
  return on_drive(path) ? kind : platform::DriveKind::kFixed;
}

bool FakeVolumeService::same_volume(const std::string& a, const std::string& b) { return on_drive(a) == on_drive(b); }

int FakeVolumeService::volume_label(const std::string& path, std::string* label_ret) {
  ++label_reads;
  if (!on_drive(path)) return ENOTSUP;
  auto it = labels.find(m_inserted);
  if (it == labels.end()) return ENOTSUP;
  *label_ret = it->second;
  return 0;
}

int FakeVolumeService::set_volume_label(const std::string& path, const std::string& label) {
  if (!on_drive(path)) return ENOTSUP;
  labels[m_inserted] = label;
  return 0;
}

int FakeVolumeService::free_space(const std::string&, uint64_t* nbytes_ret) {
  *nbytes_ret = 1457664;  // a 1.44 MB diskette
  return 0;
}

}  // namespace testenv
