/* tests/support/fake_volume.cpp - a volume service for tests, with folders standing in for disks. */
#include "fake_volume.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
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

int FakeVolumeService::free_space(const std::string& path, uint64_t* nbytes_ret) {
  if (!on_drive(path) || m_inserted.empty()) {
    *nbytes_ret = uint64_t{1} << 40;
    return 0;
  }
  auto it = capacity.find(m_inserted);
  uint64_t total = it == capacity.end() ? 1457664 : it->second;  // a 1.44 MB diskette
  uint64_t used = 0;
  std::error_code ec;
  for (auto& e : std::filesystem::recursive_directory_iterator(m_inserted, ec))
    if (e.is_regular_file(ec)) used += e.file_size(ec);
  *nbytes_ret = used >= total ? 0 : total - used;
  return 0;
}

std::string FakeVolumeService::volume_root(const std::string& path) { return on_drive(path) ? m_drive : "/"; }

int FakeVolumeService::max_name_length(const std::string&, uint32_t* nbytes_ret) {
  *nbytes_ret = name_length;
  return 0;
}

int FakeVolumeService::format_medium(const std::string& path, bool lower_density, platform::FormatObserver* observer) {
  auto it = images.find(m_inserted);
  if (!on_drive(path) || it == images.end()) return ENOTSUP;
  const platform::FloppyMedia* media = nullptr;
  if (int rc = platform::format_floppy(it->second, lower_density, observer, &media)) return rc;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(m_inserted, ec)) std::filesystem::remove_all(e.path(), ec);
  capacity[m_inserted] = media->data_nbytes();
  labels[m_inserted] = "OSTRANA_200";  // what the format wrote
  ++formats;
  return 0;
}

}  // namespace testenv
