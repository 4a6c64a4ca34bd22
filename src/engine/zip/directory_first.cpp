/* engine/zip/directory_first.cpp - the directory-first layout of a multi-volume archive. */
#include "engine/zip/directory_first.h"

#include "engine/common/zip_records.h"

namespace ostrana {

using namespace zip;

CentralRecord placeholder_record(const std::string& name, std::vector<uint8_t> extra) {
  CentralRecord r;
  bool utf8 = false;
  r.name = stored_name_bytes(name, &utf8);
  r.extra = std::move(extra);
  r.header.flags = static_cast<uint16_t>(kFlagDataDescriptor | (utf8 ? kFlagUtf8Names : 0));
  return r;
}

bool central_directory_bytes(const std::vector<CentralRecord>& records, std::vector<uint8_t>* out) {
  out->clear();
  for (const CentralRecord& r : records)
    if (!central_header_bytes(r, out)) return false;
  return true;
}

bool starts_with_central_header(const uint8_t* data, size_t nbytes, const std::string& name) {
  if (nbytes < kCentralHeaderSize || get_le32(data) != kCentralHeaderSignature) return false;
  const size_t name_nbytes = get_le16(data + 28);
  if (name_nbytes != name.size() || nbytes - kCentralHeaderSize < name_nbytes) return false;
  return name.compare(0, name_nbytes, reinterpret_cast<const char*>(data + kCentralHeaderSize), name_nbytes) == 0;
}

int write_directory_first_end(ArchiveOutput& out, uint64_t count, uint64_t directory_nbytes,
                              const std::vector<uint8_t>& comment) {
  const size_t comment_nbytes = comment.size() > kMaxArchiveComment ? kMaxArchiveComment : comment.size();
  std::vector<uint8_t> tail(kEndRecordSize + comment_nbytes);
  if (int rc = out.keep_together(tail.size())) return rc;
  EndRecord e;
  e.this_disk = saturate16(out.disk());
  e.directory_disk = 0;
  e.entries_this_disk = saturate16(out.disk() == 0 ? count : 0);
  e.entries_total = saturate16(count);
  e.directory_nbytes = saturate32(directory_nbytes);
  e.directory_offset = 0;
  e.comment_nbytes = static_cast<uint16_t>(comment_nbytes);
  write_end_record(e, tail.data());
  for (size_t i = 0; i < comment_nbytes; ++i) tail[kEndRecordSize + i] = comment[i];
  return out.write(tail.data(), tail.size());
}

}  // namespace ostrana
