/* engine/zip/old_archive_locals.cpp - reading the local headers of an existing archive. */
#include "engine/zip/old_archive_locals.h"

#include <algorithm>
#include <cstring>

#include "engine/common/zip_extra.h"

namespace ostrana {

using namespace zip;

namespace {

constexpr size_t kWindowNbytes = 64 * 1024;

}  // namespace

ArchiveBytes::ArchiveBytes(platform::File& file, uint64_t length) : m_file(file), m_length(length) {
  m_window.resize(kWindowNbytes);
}

bool ArchiveBytes::fill(uint64_t offset) {
  size_t want = kWindowNbytes;
  if (offset >= m_length) return false;
  if (m_length - offset < want) want = static_cast<size_t>(m_length - offset);
  std::ptrdiff_t n = m_file.read_at(offset, m_window.data(), want);
  if (n < 0) {
    m_io_failed = true;
    m_window_nbytes = 0;
    return false;
  }
  m_window_start = offset;
  m_window_nbytes = static_cast<size_t>(n);
  return true;
}

bool ArchiveBytes::read(uint64_t offset, void* buf, size_t nbytes) {
  if (offset > m_length || m_length - offset < nbytes) return false;
  auto* out = static_cast<uint8_t*>(buf);
  while (nbytes != 0) {
    if (offset < m_window_start || offset >= m_window_start + m_window_nbytes) {
      if (!fill(offset)) return false;
      if (m_window_nbytes == 0) return false;
    }
    size_t at = static_cast<size_t>(offset - m_window_start);
    size_t n = std::min(nbytes, m_window_nbytes - at);
    std::memcpy(out, m_window.data() + at, n);
    out += n;
    offset += n;
    nbytes -= n;
  }
  return true;
}

uint32_t ArchiveBytes::signature_at(uint64_t offset) {
  uint8_t b[4];
  return read(offset, b, 4) ? get_le32(b) : 0;
}

const uint8_t* ArchiveBytes::window_at(uint64_t from, uint64_t limit, size_t* avail_ret) {
  // The window already read serves when it holds at least a signature's worth
  // from @p from on; a search that steps forward a byte at a time reads nothing again.
  if (from < m_window_start || from + 4 > m_window_start + m_window_nbytes) {
    if (!fill(from)) return nullptr;
  }
  size_t at = static_cast<size_t>(from - m_window_start);
  size_t avail = static_cast<size_t>(std::min<uint64_t>(m_window_nbytes - at, limit - from));
  if (avail < 4) return nullptr;
  *avail_ret = avail;
  return m_window.data() + at;
}

bool ArchiveBytes::find(uint64_t from, uint64_t limit, uint32_t signature, uint64_t* at_ret) {
  uint8_t sig[4];
  put_le32(sig, signature);
  limit = std::min(limit, m_length);
  while (from + 4 <= limit) {
    size_t avail = 0;
    const uint8_t* p = window_at(from, limit, &avail);
    if (p == nullptr) return false;
    const uint8_t* hit = static_cast<const uint8_t*>(memmem(p, avail, sig, 4));
    if (hit != nullptr) {
      *at_ret = from + static_cast<uint64_t>(hit - p);
      return true;
    }
    from += avail - 3;  // a signature may straddle two windows
  }
  return false;
}

bool ArchiveBytes::find_first_header(uint64_t from, uint64_t limit, uint64_t* at_ret) {
  limit = std::min(limit, m_length);
  while (from + 4 <= limit) {
    size_t avail = 0;
    const uint8_t* p = window_at(from, limit, &avail);
    if (p == nullptr) return false;
    for (size_t i = 0; i + 4 <= avail; ++i) {
      const uint8_t* q = static_cast<const uint8_t*>(std::memchr(p + i, 'P', avail - 3 - i));
      if (q == nullptr) break;
      i = static_cast<size_t>(q - p);
      if (q[1] == 'K' && ((q[2] == 3 && q[3] == 4) || (q[2] == 5 && q[3] == 6))) {
        *at_ret = from + i;
        return true;
      }
    }
    from += avail - 3;
  }
  return false;
}

namespace {

/// The descriptor at @p at, 16 or 24 bytes.
bool descriptor_at(ArchiveBytes& bytes, uint64_t at, size_t nbytes, DataDescriptor* ret) {
  uint8_t raw[kDataDescriptor64Size];
  return bytes.read(at, raw, nbytes) && parse_data_descriptor(raw, nbytes, ret);
}

}  // namespace

LocalVerdict read_local(ArchiveBytes& bytes, uint64_t offset, uint64_t limit, LocalFound* ret,
                        uint64_t* scan_budget) {
  uint8_t fixed[kLocalHeaderSize];
  LocalFound& f = *ret;  // filled as far as it gets: the reports name the entry
  f = LocalFound();
  f.offset = offset;
  if (!bytes.read(offset, fixed, sizeof fixed))
    return bytes.io_failed() ? LocalVerdict::kInputFailed : LocalVerdict::kNotLocal;
  if (!parse_local_header(fixed, &f.header)) return LocalVerdict::kNotLocal;
  const LocalHeader& h = f.header;
  if (h.name_nbytes == 0) return LocalVerdict::kZeroName;
  f.data_offset = offset + kLocalHeaderSize + h.name_nbytes + h.extra_nbytes;
  if (f.data_offset > limit) return LocalVerdict::kRunsPastEnd;
  f.name.resize(h.name_nbytes);
  f.extra.resize(h.extra_nbytes);
  if (!bytes.read(offset + kLocalHeaderSize, f.name.data(), h.name_nbytes) ||
      !bytes.read(offset + kLocalHeaderSize + h.name_nbytes, f.extra.data(), h.extra_nbytes))
    return bytes.io_failed() ? LocalVerdict::kInputFailed : LocalVerdict::kRunsPastEnd;

  Zip64Header z{h.uncompressed_size, h.compressed_size, 0, 0};
  EntryExtras extras;
  if (scan_entry_extras(f.extra.data(), f.extra.size(), z, ExtraScope::kLocal, &extras) != 0)
    return LocalVerdict::kBadExtra;
  ExtraBlock block;
  f.zip64 = find_extra_block(f.extra.data(), f.extra.size(), kExtraZip64, &block);
  f.compressed_size = extras.zip64.compressed_size;
  f.uncompressed_size = extras.zip64.uncompressed_size;
  f.crc32 = h.crc32;

  if ((h.flags & kFlagDataDescriptor) == 0) {
    if (limit - f.data_offset < f.compressed_size) return LocalVerdict::kRunsPastEnd;
    f.end_offset = f.data_offset + f.compressed_size;
    return LocalVerdict::kOk;
  }

  // Sizes in a descriptor after the data: 24 bytes when the local header
  // announces Zip64 sizes, else 16; it must begin with its signature.
  const size_t nbytes = f.zip64 ? kDataDescriptor64Size : kDataDescriptorSize;
  DataDescriptor d;
  if (f.compressed_size != 0) {
    if (limit - f.data_offset < f.compressed_size) return LocalVerdict::kRunsPastEnd;
    uint64_t at = f.data_offset + f.compressed_size;
    if (limit - at < nbytes || !descriptor_at(bytes, at, nbytes, &d))
      return bytes.io_failed() ? LocalVerdict::kInputFailed : LocalVerdict::kDescriptorMissing;
    if (d.compressed_size != f.compressed_size) return LocalVerdict::kBadDescriptorSize;
  } else {
    uint64_t at = f.data_offset;
    for (;;) {
      const uint64_t from = at;
      if (!bytes.find(at, limit, kDataDescriptorSignature, &at))
        return bytes.io_failed() ? LocalVerdict::kInputFailed : LocalVerdict::kBadDescriptor;
      if (scan_budget != nullptr) {
        if (*scan_budget < at - from + 1) return LocalVerdict::kBadDescriptor;
        *scan_budget -= at - from + 1;
      }
      if (limit - at >= nbytes && descriptor_at(bytes, at, nbytes, &d) && d.compressed_size == at - f.data_offset)
        break;
      ++at;  // a signature inside the compressed data: search on
    }
    f.compressed_size = d.compressed_size;
  }
  f.crc32 = d.crc32;
  f.uncompressed_size = d.uncompressed_size;
  f.descriptor_nbytes = static_cast<uint32_t>(nbytes);
  f.end_offset = f.data_offset + f.compressed_size + nbytes;
  return LocalVerdict::kOk;
}

}  // namespace ostrana
