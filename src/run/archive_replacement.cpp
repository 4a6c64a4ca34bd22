/* run/archive_replacement.cpp - "create new" without losing the old archive first. */
#include "run/archive_replacement.h"

#include <cstdint>
#include <cstdio>

#include "platform/file.h"
#include "platform/folders.h"
#include "platform/random.h"

namespace run {
namespace {

constexpr int kNameTries = 16;

std::string hex_of(const uint8_t* bytes, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

}  // namespace

ArchiveReplacement::~ArchiveReplacement() { discard(); }

bool ArchiveReplacement::begin(const std::string& archive_path) {
  m_target_path = platform::followed_link(archive_path);
  m_work_path = m_target_path;
  m_replacing = false;
  m_pending = false;
  if (!platform::path_entry_exists(m_target_path)) return true;

  const size_t slash = m_target_path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : m_target_path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? m_target_path : m_target_path.substr(slash + 1);
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    uint8_t bytes[6];
    if (platform::random_bytes(bytes, sizeof bytes) != 0) return false;
    const std::string candidate = folder + "." + base + ".new-" + hex_of(bytes, sizeof bytes) + ".zip";
    if (platform::path_entry_exists(candidate)) continue;
    m_work_path = candidate;
    m_replacing = true;
    m_pending = true;
    return true;
  }
  return false;
}

int ArchiveReplacement::commit() {
  if (!m_pending) return 0;
  unsigned mode = 0;
  if (platform::file_mode(m_target_path, &mode) == 0) platform::set_file_mode(m_work_path, mode & 07777);
  if (const int rc = platform::rename_path(m_work_path, m_target_path)) return rc;
  m_pending = false;
  platform::sync_folder(platform::parent_folder(m_target_path));
  return 0;
}

void ArchiveReplacement::discard() {
  if (!m_pending) return;
  m_pending = false;
  if (platform::path_entry_exists(m_work_path)) platform::remove_file(m_work_path);
}

}  // namespace run
