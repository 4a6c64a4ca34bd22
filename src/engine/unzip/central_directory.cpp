/* engine/unzip/central_directory.cpp - an archive's central directory, loaded. */
#include "engine/unzip/central_directory.h"

#include <algorithm>
#include <new>

#include "engine/common/ascii_case.h"
#include "engine/common/checks.h"
#include "engine/common/entry_names.h"
#include "engine/common/local_header.h"
#include "engine/common/short_name.h"

namespace ostrana {

using namespace zip;

namespace {

/// Sequential reader over the directory's bytes, buffered in 64 KiB pieces.
/// On a multi-volume archive it moves on to the next volume when one ends.
class DirectoryCursor {
 public:
  DirectoryCursor(ArchiveInput& in, uint64_t offset, uint32_t last_volume, bool multi_volume)
      : m_in(in), m_offset(offset), m_last_volume(last_volume), m_multi_volume(multi_volume), m_buf(kChunk) {}

  /// Reads exactly @p nbytes, or fewer when the archive ends (the volume code
  /// of a failed volume change is kept in volume_error()).
  size_t read(uint8_t* out, size_t nbytes) {
    size_t done = 0;
    while (done < nbytes) {
      if (m_pos == m_fill && !refill()) break;
      size_t n = std::min(nbytes - done, m_fill - m_pos);
      std::copy(m_buf.data() + m_pos, m_buf.data() + m_pos + n, out + done);
      m_pos += n;
      done += n;
    }
    return done;
  }

  int volume_error() const { return m_volume_error; }

 private:
  static constexpr size_t kChunk = 65536;

  bool refill() {
    for (;;) {
      std::ptrdiff_t n = m_in.read_at(m_offset, m_buf.data(), kChunk);
      if (n < 0) return false;
      if (n > 0) {
        m_offset += static_cast<uint64_t>(n);
        m_pos = 0;
        m_fill = static_cast<size_t>(n);
        return true;
      }
      // End of this volume: the directory may go on in the next one.
      if (!m_multi_volume || m_in.volume() >= m_last_volume) return false;
      int rc = m_in.select_volume(m_in.volume() + 1, VolumeRequest::kDirectoryNext);
      if (rc != 0) {
        m_volume_error = rc;
        return false;
      }
      m_offset = 0;
    }
  }

  ArchiveInput& m_in;
  uint64_t m_offset;
  uint32_t m_last_volume;
  bool m_multi_volume;
  std::vector<uint8_t> m_buf;
  size_t m_pos = 0;
  size_t m_fill = 0;
  int m_volume_error = 0;
};

}  // namespace

void CentralDirectory::clear() {
  // Give the memory back: a thread may keep its state for a long time.
  std::vector<uint8_t>().swap(m_block);
  std::vector<Slot>().swap(m_slots);
  m_end = DirectoryEnd();
  m_position = 0;
  m_loaded = false;
  m_path.clear();
  m_file = platform::FileInfo();
}

void CentralDirectory::set_identity(const std::string& path, const platform::FileInfo& file) {
  m_path = path;
  m_file = file;
}

bool CentralDirectory::is_current(const std::string& path, const platform::FileInfo& file,
                                  const DirectoryOptions& options) const {
  return m_loaded && ascii_iequal(path, m_path) && file.same_state(m_file) && options == m_options;
}

int CentralDirectory::load(ArchiveInput& in, const DirectoryOptions& options, DirectoryFailure* failure_ret) {
  DirectoryFailure failure = DirectoryFailure::kNone;
  clear();
  m_failure_detail.clear();
  m_options = options;
  bool volume_failed = false;
  int rc = find_directory_end(in, &m_end, &volume_failed);
  if (rc != 0) {
    failure = volume_failed               ? DirectoryFailure::kVolume
              : rc == OU_OUT_OF_MEMORY    ? DirectoryFailure::kOutOfMemory
                                          : DirectoryFailure::kEndNotFound;
  } else if ((rc = check_directory_position(in, &m_end)) != 0) {
    failure = DirectoryFailure::kBadEnd;
  } else {
    try {
      rc = read_headers(in, options, &failure);
      if (rc == 0 && (rc = check_entry_ranges()) != 0) failure = DirectoryFailure::kOverlap;
    } catch (const std::bad_alloc&) {
      rc = OU_OUT_OF_MEMORY;
      failure = DirectoryFailure::kOutOfMemory;
    }
  }
  if (rc != 0) {
    clear();
  } else {
    m_loaded = true;
  }
  if (failure_ret) *failure_ret = failure;
  return rc;
}

int CentralDirectory::read_headers(ArchiveInput& in, const DirectoryOptions& options, DirectoryFailure* failure) {
  const DirectoryEnd& end = m_end;
  // The end-record reader has tied a single volume's start and count to the
  // file; a set of volumes can only be bounded by the bytes that arrive.
  if (end.directory_disk != in.volume()) {
    int rc = in.select_volume(end.directory_disk, VolumeRequest::kDirectoryStart);
    if (rc != 0) {
      *failure = DirectoryFailure::kVolume;
      return rc;
    }
  }
  uint64_t start = end.directory_offset + end.preamble_nbytes;
  size_t block_avail = kDirectoryBlockStart;
  uint64_t table_avail = std::min<uint64_t>(end.entries_total, 65536);
  if (!end.multi_volume()) {
    uint64_t in_file = end.end_record_offset - start;
    block_avail = static_cast<size_t>(std::min<uint64_t>(block_avail, in_file));
  }
  m_block.reserve(block_avail);
  m_slots.reserve(static_cast<size_t>((table_avail + kDirectoryTableStep - 1) / kDirectoryTableStep *
                                      kDirectoryTableStep));

  DirectoryCursor cursor(in, start, end.this_disk, end.multi_volume());
  std::string shown;
  while (m_slots.size() < end.entries_total) {
    uint8_t fixed[kCentralHeaderSize];
    if (cursor.read(fixed, sizeof fixed) != sizeof fixed) break;
    CentralHeader h;
    if (!parse_central_header(fixed, &h)) break;
    Slot slot;
    slot.offset = m_block.size();
    size_t variable = h.variable_nbytes();
    if (m_slots.size() == m_slots.capacity()) m_slots.reserve(m_slots.size() + kDirectoryTableStep);
    m_block.insert(m_block.end(), fixed, fixed + sizeof fixed);
    m_block.resize(m_block.size() + variable);
    if (cursor.read(m_block.data() + slot.offset + kCentralHeaderSize, variable) != variable) {
      m_block.resize(slot.offset);
      break;
    }
    std::string_view raw(reinterpret_cast<const char*>(m_block.data() + slot.offset + kCentralHeaderSize),
                         h.name_nbytes);
    slot.shown_nbytes = h.name_nbytes;
    if (!options.names_in_engine_code_page) {
      const uint8_t* extra = m_block.data() + slot.offset + kCentralHeaderSize + h.name_nbytes;
      shown = shown_name(raw, h.flags, extra, h.extra_nbytes);
    }
    if (!options.names_in_engine_code_page && shown != raw) {
      slot.converted = true;
      slot.shown_nbytes = static_cast<uint32_t>(shown.size());
      m_block.insert(m_block.end(), shown.begin(), shown.end());
    }
    m_slots.push_back(slot);
  }
  if (cursor.volume_error() != 0) {
    *failure = DirectoryFailure::kVolume;
    return cursor.volume_error();
  }
  if (m_slots.size() != end.entries_total) {
    *failure = DirectoryFailure::kCountMismatch;
    return OU_BAD_STRUCTURE;
  }
  return 0;
}

int CentralDirectory::check_entry_ranges() {
  struct Range {
    uint32_t disk;
    uint64_t start, end;  // end: at least this far the entry's bytes reach
    uint64_t index;       // UINT64_MAX: the central directory
  };
  std::vector<Range> ranges;
  ranges.reserve(m_slots.size() + 1);
  for (uint64_t i = 0; i < m_slots.size(); ++i) {
    DirectoryEntry e;
    if (entry(i, &e) != 0) continue;  // refused on its own when it is used
    const uint64_t start = e.local_header_offset();
    const uint64_t reach = kLocalHeaderSize + e.compressed_size();
    const uint64_t end = start > UINT64_MAX - reach ? UINT64_MAX : start + reach;
    ranges.push_back({e.disk_start(), start, end, i});
  }
  const uint64_t directory_start = m_end.directory_offset + (m_end.multi_volume() ? 0 : m_end.preamble_nbytes);
  ranges.push_back({m_end.directory_disk, directory_start, directory_start + m_end.directory_nbytes, UINT64_MAX});
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
    return a.disk != b.disk ? a.disk < b.disk : a.start != b.start ? a.start < b.start : a.index < b.index;
  });
  // Sorted by start, an overlap shows as a start before the farthest end so far on its disk.
  size_t farthest = 0;
  for (size_t k = 1; k < ranges.size(); ++k) {
    if (ranges[k].disk != ranges[farthest].disk) {
      farthest = k;
      continue;
    }
    if (ranges[k].start < ranges[farthest].end) {
      auto label = [this](const Range& r) {
        return r.index == UINT64_MAX ? std::string("the central directory") : "\"" + std::string(name(r.index)) + "\"";
      };
      m_failure_detail = label(ranges[farthest]) + " and " + label(ranges[k]) +
                         " share bytes of the archive (overlapping entries, as in a zip bomb)";
      return OU_BAD_STRUCTURE;
    }
    if (ranges[k].end > ranges[farthest].end) farthest = k;
  }
  return 0;
}

std::string_view CentralDirectory::name(uint64_t index) const {
  const Slot& s = m_slots[static_cast<size_t>(index)];
  const uint8_t* p = m_block.data() + s.offset;
  size_t at = kCentralHeaderSize;
  if (s.converted) at += size_t{get_le16(p + 28)} + get_le16(p + 30) + get_le16(p + 32);
  return std::string_view(reinterpret_cast<const char*>(p + at), s.shown_nbytes);
}

int CentralDirectory::entry(uint64_t index, DirectoryEntry* ret) const {
  RETURN_IF(index >= m_slots.size(), OU_INDEX_OUT_OF_BOUNDS);
  const Slot& s = m_slots[static_cast<size_t>(index)];
  const uint8_t* p = m_block.data() + s.offset;
  DirectoryEntry e;
  e.index = index;
  parse_central_header(p, &e.header);  // the signature was checked when loading
  const uint8_t* var = p + kCentralHeaderSize;
  e.raw_name = std::string_view(reinterpret_cast<const char*>(var), e.header.name_nbytes);
  e.name = name(index);
  e.extra = var + e.header.name_nbytes;
  e.extra_nbytes = e.header.extra_nbytes;
  e.comment = e.extra + e.header.extra_nbytes;
  e.comment_nbytes = e.header.comment_nbytes;
  if (e.header.host_system() == 2) e.header.external_attributes = 0;

  Zip64Header h;
  h.uncompressed_size = e.header.uncompressed_size;
  h.compressed_size = e.header.compressed_size;
  h.local_header_offset = e.header.local_header_offset;
  h.disk_start = e.header.disk_start;
  FORWARD_IF_ERROR(scan_entry_extras(e.extra, e.extra_nbytes, h, ExtraScope::kCentral, &e.extras));
  // Offsets are recorded from the archive's start; a preamble moves them.
  if (!m_end.multi_volume()) e.extras.zip64.local_header_offset += m_end.preamble_nbytes;
  e.method = e.is_aes() ? e.extras.aes.method : e.header.method;
  // The true time (UTC) where the entry carries one, shown in local time.
  e.shown_date = e.header.mod_date;
  e.shown_time = e.header.mod_time;
  if (e.extras.has_mtime) {
    const uint32_t local = platform::dos_datetime_from_time(static_cast<time_t>(e.extras.mtime));
    e.shown_date = static_cast<uint16_t>(local >> 16);
    e.shown_time = static_cast<uint16_t>(local);
  }
  *ret = e;
  return 0;
}

int CentralDirectory::next(bool skip_long_names, DirectoryEntry* ret) {
  while (m_position < m_slots.size()) {
    uint64_t index = m_position++;
    if (skip_long_names && !is_short_name(name(index))) continue;
    return entry(index, ret);
  }
  return OU_UNEXPECTED_EOF;
}

int CentralDirectory::item(uint64_t index, DirectoryEntry* ret) {
  RETURN_IF(index >= m_slots.size(), OU_INDEX_OUT_OF_BOUNDS);
  m_position = index;
  return next(false, ret);
}

uint64_t CentralDirectory::count(bool short_names_only) const {
  if (!short_names_only) return m_slots.size();
  uint64_t n = 0;
  for (uint64_t i = 0; i < m_slots.size(); ++i)
    if (is_short_name(name(i))) ++n;
  return n;
}

}  // namespace ostrana
