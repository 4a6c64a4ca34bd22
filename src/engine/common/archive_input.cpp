/* engine/common/archive_input.cpp - the file and memory archive inputs. */
#include "engine/common/archive_input.h"

#include <cstring>

#include "ostrana_results.h"
#include "platform/file.h"

namespace ostrana {

int ArchiveInput::select_volume(uint32_t disk, VolumeRequest) {
  return disk == volume() ? 0 : OU_MULTIDISK_UNSUPPORTED;
}

/* ---- one file ---------------------------------------------------------------- */

int64_t FileArchiveInput::length() { return m_file.size(); }

std::ptrdiff_t FileArchiveInput::read_at(uint64_t offset, void* buf, size_t nbytes) {
  return m_file.read_at(offset, buf, nbytes);
}

/* ---- memory ------------------------------------------------------------------ */

MemoryArchiveInput::MemoryArchiveInput(const uint8_t* data, size_t nbytes) {
  m_data[0] = data;
  m_nbytes[0] = nbytes;
}

MemoryArchiveInput::MemoryArchiveInput(const uint8_t* const* volumes, const size_t* nbytes, uint32_t count) {
  m_count = count == 0 ? 1 : count > kMaxVolumes ? kMaxVolumes : count;
  for (uint32_t i = 0; i < m_count && count != 0; ++i) {
    m_data[i] = volumes[i];
    m_nbytes[i] = nbytes[i];
  }
  m_index = m_count - 1;
  m_volume = m_index;
}

int64_t MemoryArchiveInput::length() { return static_cast<int64_t>(m_nbytes[m_index]); }

std::ptrdiff_t MemoryArchiveInput::read_at(uint64_t offset, void* buf, size_t nbytes) {
  size_t avail = m_nbytes[m_index];
  if (offset >= avail) return 0;
  size_t n = nbytes < avail - offset ? nbytes : avail - static_cast<size_t>(offset);
  if (n != 0) std::memcpy(buf, m_data[m_index] + offset, n);
  return static_cast<std::ptrdiff_t>(n);
}

void MemoryArchiveInput::note_last_volume(uint32_t disk) {
  // A single block is whatever volume its end record says it is; a set of
  // blocks is numbered 0..count-1 and keeps that numbering.
  if (m_count == 1) m_volume = disk;
}

int MemoryArchiveInput::select_volume(uint32_t disk, VolumeRequest) {
  if (disk == kLastVolume) disk = m_count - 1;
  if (disk == m_volume && (m_count == 1 || m_index == disk)) return 0;
  if (m_count == 1 || disk >= m_count) return OU_MULTIDISK_UNSUPPORTED;
  m_index = disk;
  m_volume = disk;
  ++m_changes;
  return 0;
}

}  // namespace ostrana
