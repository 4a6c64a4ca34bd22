/* engine/zip/zip_headers.cpp - the headers the archive writer puts into a new archive. */
#include "engine/zip/zip_headers.h"

#include <algorithm>

#include "engine/common/entry_names.h"
#include "engine/common/crc32.h"
#include "engine/common/zip_extra.h"
#include "ostrana_results.h"

namespace ostrana {

using namespace zip;

namespace {

bool needs64(uint64_t v) { return v >= kSaturated32; }

/// The central Zip64 block of @p r: exactly the values that do not fit.
size_t central_zip64_block(const CentralRecord& r, uint8_t* out) {
  unsigned mask = 0;
  if (needs64(r.uncompressed_size)) mask |= 1u;
  if (needs64(r.compressed_size)) mask |= 2u;
  if (needs64(r.local_offset)) mask |= 4u;
  if (r.disk >= kSaturated16) mask |= 8u;
  if (mask == 0) return 0;
  Zip64Values v{r.uncompressed_size, r.compressed_size, r.local_offset, r.disk};
  return write_zip64_block(v, mask, out);
}

void append(std::vector<uint8_t>* out, const void* data, size_t nbytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + nbytes);
}

}  // namespace

std::vector<uint8_t> extra_without_zip64(const uint8_t* extra, size_t extra_nbytes) {
  std::vector<uint8_t> out;
  size_t pos = 0;
  while (extra_nbytes - pos >= kExtraBlockHead) {
    uint16_t tag = get_le16(extra + pos);
    size_t block = kExtraBlockHead + get_le16(extra + pos + 2);
    if (block > extra_nbytes - pos) break;  // runs past the field: kept as it is below
    if (tag != kExtraZip64) append(&out, extra + pos, block);
    pos += block;
  }
  append(&out, extra + pos, extra_nbytes - pos);
  return out;
}

std::string stored_name_bytes(const std::string& name, bool* utf8_flag_ret) {
  *utf8_flag_ret = stored_name_kind(name) == StoredName::kUtf8;
  return name;
}

uint16_t version_needed_for(uint16_t method, bool aes) {
  if (aes) return kVersionAes;
  if (method == kMethodDeflate64) return kVersionDeflate64;
  if (method == kMethodStore) return kVersionStored;
  return kVersionDeflate;
}

uint16_t version_made_by_for(uint16_t method, bool zip64, bool dosify, bool aes) {
  uint16_t version = kVersionDeflate;
  if (aes) version = kVersionAes;
  else if (zip64) version = kVersionZip64;
  else if (method == kMethodDeflate64 && !dosify) version = kVersionDeflate64;
  return static_cast<uint16_t>((dosify ? kHostMsDos : kHostUnix) << 8 | version);
}

uint32_t unix_attributes(uint32_t mode, uint32_t dos_attributes, bool dosify) {
  if (dosify) return dos_attributes & 0xFF & 0x37;
  return (mode & 0xFFFF) << 16 | (dos_attributes & 0x37);
}

std::vector<uint8_t> local_header_bytes(const CentralRecord& r, bool zip64_block, uint16_t version_needed) {
  const bool descriptor = r.has_descriptor();
  uint8_t zip64[kMaxZip64Block];
  size_t zip64_nbytes = 0;
  if (zip64_block) {
    Zip64Values v{descriptor ? 0 : r.uncompressed_size, descriptor ? 0 : r.compressed_size, 0, 0};
    zip64_nbytes = write_zip64_block(v, 3u, zip64);
  }
  LocalHeader h;
  h.version_needed = version_needed;
  h.flags = r.header.flags;
  h.method = r.header.method;
  h.mod_time = r.header.mod_time;
  h.mod_date = r.header.mod_date;
  if (!descriptor) {
    // Once a size needs the block, both fields point to it (readers take the
    // block's two values together).
    const bool saturated = needs64(r.compressed_size) || needs64(r.uncompressed_size);
    h.crc32 = r.header.crc32;
    h.compressed_size = saturated ? kSaturated32 : static_cast<uint32_t>(r.compressed_size);
    h.uncompressed_size = saturated ? kSaturated32 : static_cast<uint32_t>(r.uncompressed_size);
  }
  h.name_nbytes = static_cast<uint16_t>(r.name.size());
  h.extra_nbytes = static_cast<uint16_t>(zip64_nbytes + r.extra.size());
  std::vector<uint8_t> out(kLocalHeaderSize);
  write_local_header(h, out.data());
  append(&out, r.name.data(), r.name.size());
  append(&out, zip64, zip64_nbytes);
  append(&out, r.extra.data(), r.extra.size());
  return out;
}

bool central_header_bytes(const CentralRecord& r, std::vector<uint8_t>* out) {
  uint8_t zip64[kMaxZip64Block];
  size_t zip64_nbytes = central_zip64_block(r, zip64);
  if (zip64_nbytes + r.extra.size() > 0xFFFF || r.name.size() > 0xFFFF || r.comment.size() > 0xFFFF) return false;
  CentralHeader h = r.header;
  h.compressed_size = saturate32(r.compressed_size);
  h.uncompressed_size = saturate32(r.uncompressed_size);
  h.local_header_offset = saturate32(r.local_offset);
  h.disk_start = saturate16(r.disk);
  h.name_nbytes = static_cast<uint16_t>(r.name.size());
  h.extra_nbytes = static_cast<uint16_t>(zip64_nbytes + r.extra.size());
  h.comment_nbytes = static_cast<uint16_t>(r.comment.size());
  // An entry that now needs the Zip64 block needs a reader that knows it.
  if (zip64_nbytes != 0 && (h.version_needed & 0xFF) < kVersionZip64)
    h.version_needed = static_cast<uint16_t>((h.version_needed & 0xFF00) | kVersionZip64);
  size_t at = out->size();
  out->resize(at + kCentralHeaderSize);
  write_central_header(h, out->data() + at);
  append(out, r.name.data(), r.name.size());
  append(out, zip64, zip64_nbytes);
  append(out, r.extra.data(), r.extra.size());
  append(out, r.comment.data(), r.comment.size());
  return true;
}

int write_central_directory(ArchiveOutput& out, const std::vector<CentralRecord>& records,
                            const std::vector<uint8_t>& comment, bool large) {
  // Over pieces (an output that cannot be rewritten is a multi-volume one)
  // each header is kept whole, and the piece where the first one lands, and
  // how many land on the last piece, go into the end records.
  const bool pieces = !out.repositionable();
  uint64_t start = out.offset();
  uint32_t start_disk = out.disk();
  uint64_t directory_nbytes = 0;
  uint64_t on_this_disk = 0;
  uint32_t disk = out.disk();
  std::vector<uint8_t> bytes;
  bytes.reserve(256 * 1024);
  for (size_t i = 0; i < records.size(); ++i) {
    const size_t at = bytes.size();
    if (!central_header_bytes(records[i], &bytes)) return OZ_BAD_STRUCTURE;
    if (pieces) {
      const size_t n = bytes.size() - at;
      if (int rc = out.keep_together(n)) return rc;
      if (i == 0) {
        start = out.offset();
        start_disk = out.disk();
      }
      if (out.disk() != disk) {
        disk = out.disk();
        on_this_disk = 0;
      }
      if (int rc = out.write(bytes.data() + at, n)) return rc;
      bytes.clear();
      directory_nbytes += n;
      ++on_this_disk;
      continue;
    }
    if (bytes.size() >= 256 * 1024) {
      if (int rc = out.write(bytes.data(), bytes.size())) return rc;
      directory_nbytes += bytes.size();
      bytes.clear();
    }
  }
  if (!bytes.empty()) {
    if (int rc = out.write(bytes.data(), bytes.size())) return rc;
    directory_nbytes += bytes.size();
  }
  if (!pieces) on_this_disk = records.size();

  const uint64_t count = records.size();
  const bool overflow = count >= kSaturated16 || needs64(directory_nbytes) || needs64(start);
  if (overflow && !large) return OZ_TOO_BIG;
  const size_t comment_nbytes = comment.size() > kMaxArchiveComment ? kMaxArchiveComment : comment.size();

  // The end records stay together; they may start the next piece, which then
  // holds no header of the directory.
  std::vector<uint8_t> tail((overflow ? kZip64EndRecordSize + kZip64LocatorSize : 0) + kEndRecordSize + comment_nbytes);
  if (int rc = out.keep_together(tail.size())) return rc;
  if (out.disk() != disk) on_this_disk = 0;
  size_t at = 0;
  if (overflow) {
    Zip64EndRecord z;
    z.version_made_by = kVersionZip64;
    z.version_needed = kVersionZip64;
    z.this_disk = out.disk();
    z.directory_disk = start_disk;
    z.entries_this_disk = on_this_disk;
    z.entries_total = count;
    z.directory_nbytes = directory_nbytes;
    z.directory_offset = start;
    Zip64Locator l;
    l.record_disk = out.disk();
    l.record_offset = out.offset();
    l.total_disks = out.disk() + 1;
    write_zip64_end_record(z, tail.data());
    write_zip64_locator(l, tail.data() + kZip64EndRecordSize);
    at = kZip64EndRecordSize + kZip64LocatorSize;
  }
  EndRecord e;
  e.this_disk = saturate16(out.disk());
  e.directory_disk = saturate16(start_disk);
  e.entries_this_disk = saturate16(on_this_disk);
  e.entries_total = saturate16(count);
  e.directory_nbytes = saturate32(directory_nbytes);
  e.directory_offset = saturate32(start);
  e.comment_nbytes = static_cast<uint16_t>(comment_nbytes);
  write_end_record(e, tail.data() + at);
  std::copy(comment.begin(), comment.begin() + static_cast<std::ptrdiff_t>(comment_nbytes), tail.begin() + static_cast<std::ptrdiff_t>(at + kEndRecordSize));
  return out.write(tail.data(), tail.size());
}

}  // namespace ostrana
