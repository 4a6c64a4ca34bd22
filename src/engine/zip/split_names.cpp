/* engine/zip/split_names.cpp - names of the parts of a split archive, and the volume size list. */
#include "engine/zip/split_names.h"

#include <cstdio>

#include "platform/memory_probe.h"

namespace ostrana {
namespace {

/// Where the last extension of @p path starts (its dot), or npos when the
/// last component has none.
size_t extension_dot(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  return dot == std::string::npos || dot < start ? std::string::npos : dot;
}

}  // namespace

std::string first_split_part_name(const std::string& archive_path, bool long_names) {
  if (long_names) return archive_path + ".z01";
  size_t dot = extension_dot(archive_path);
  return (dot == std::string::npos ? archive_path : archive_path.substr(0, dot)) + ".z01";
}

std::string split_part_name(const std::string& first_part, uint32_t n) {
  char ext[16];
  if (n < 100) std::snprintf(ext, sizeof ext, "z%02u", n);
  else std::snprintf(ext, sizeof ext, "%03u", n);
  size_t dot = extension_dot(first_part);
  return (dot == std::string::npos ? first_part : first_part.substr(0, dot)) + "." + ext;
}

bool VolumeSizes::load(const uint32_t* array, bool wide) {
  m_sizes.clear();
  if (array == nullptr) return true;
  for (size_t i = 0; i < kMaxVolumeSizes; ++i) {
    uint64_t size = 0;
    if (wide) {
      uint32_t pair[2];
      if (!platform::copy_readable(array + 2 * i, sizeof pair, pair)) return false;
      size = static_cast<uint64_t>(pair[1]) << 32 | pair[0];
    } else {
      uint32_t word;
      if (!platform::copy_readable(array + i, sizeof word, &word)) return false;
      size = word;
    }
    if (size == 0) break;
    m_sizes.push_back(size);
  }
  return true;
}

uint64_t VolumeSizes::part_nbytes(uint32_t n) const {
  if (m_sizes.empty()) return 0;
  uint64_t size = n < m_sizes.size() ? m_sizes[n] : m_sizes[0];
  return size < kMinSplitPartNbytes ? kMinSplitPartNbytes : size;
}

}  // namespace ostrana
