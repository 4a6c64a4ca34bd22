/* tests/support/zip_builder.cpp - ZIP archives built byte by byte, for tests. */
#include "zip_builder.h"

#include "engine/common/crc32.h"

namespace testzip {

void put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put64(Bytes& b, uint64_t v) {
  put32(b, static_cast<uint32_t>(v));
  put32(b, static_cast<uint32_t>(v >> 32));
}

static void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
static void append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

Bytes extra_block(uint16_t tag, const Bytes& data) {
  Bytes b;
  put16(b, tag);
  put16(b, static_cast<uint16_t>(data.size()));
  append(b, data);
  return b;
}

Bytes aes_extra(uint16_t vendor_version, uint8_t strength, uint16_t method) {
  Bytes d;
  put16(d, vendor_version);  // vendor version: 1 = AE-1, 2 = AE-2
  put16(d, 0x4541);          // vendor id "AE"
  d.push_back(strength);     // 1/2/3 = 128/192/256 bits
  put16(d, method);          // actual compression method
  return extra_block(0x9901, d);
}

Bytes strong_extra(uint16_t algorithm_id, uint16_t bit_length) {
  Bytes d;
  put16(d, 2);             // format
  put16(d, algorithm_id);  // algorithm id
  put16(d, bit_length);    // key length in bits
  put16(d, 1);             // flags
  return extra_block(0x0017, d);
}

Bytes zip64_extra(std::vector<uint64_t> values, size_t data_nbytes) {
  Bytes d;
  for (uint64_t v : values) put64(d, v);
  d.resize(data_nbytes, 0);
  return extra_block(0x0001, d);
}

Entry stored_entry(const std::string& name, const std::string& text) {
  Entry e;
  e.name = name;
  e.data.assign(text.begin(), text.end());
  return e;
}

Bytes empty_archive() { return Archive().build(); }

Bytes Archive::build() const { return build_with_layout(*this, nullptr); }

Bytes build_with_layout(const Archive& a, Layout* layout) {
  Bytes out = a.preamble;
  const uint64_t shift = a.offsets_exclude_preamble ? a.preamble.size() : 0;
  std::vector<uint64_t> offsets;

  for (const Entry& e : a.entries) {
    uint32_t crc = e.crc ? *e.crc : ostrana::crc32(0, e.data.data(), e.data.size());
    uint64_t usize = e.uncompressed_size ? *e.uncompressed_size : e.data.size();
    uint64_t csize = e.data.size();
    uint16_t flags = static_cast<uint16_t>(e.flags | (e.data_descriptor ? 0x0008 : 0));
    std::string local_name = e.local_name ? *e.local_name : e.name;
    Bytes extra = e.local_extra;
    if (e.zip64) {
      Bytes z;
      put64(z, usize);
      put64(z, csize);
      extra = extra_block(0x0001, z);
      append(extra, e.local_extra);
    }
    offsets.push_back(out.size() - shift);
    put32(out, 0x04034B50);                                        // local header signature
    put16(out, e.version_needed);                                  // version needed to extract
    put16(out, flags);                                             // general purpose flags
    put16(out, e.method);                                          // compression method
    put16(out, e.dos_time);                                        // DOS time
    put16(out, e.dos_date);                                        // DOS date
    put32(out, e.data_descriptor ? 0 : crc);                       // CRC-32
    put32(out, e.data_descriptor ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(csize));  // compressed
    put32(out, e.data_descriptor ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(usize));  // uncompressed
    put16(out, static_cast<uint16_t>(local_name.size()));         // name length
    put16(out, static_cast<uint16_t>(extra.size()));              // extra field length
    append(out, local_name);
    append(out, extra);
    append(out, e.data);
    if (e.data_descriptor) {
      put32(out, 0x08074B50);  // descriptor signature
      put32(out, crc);
      if (e.zip64) {
        put64(out, csize);
        put64(out, usize);
      } else {
        put32(out, static_cast<uint32_t>(csize));
        put32(out, static_cast<uint32_t>(usize));
      }
    }
  }

  const uint64_t directory_offset = out.size() - shift;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const Entry& e = a.entries[i];
    uint32_t crc = e.crc ? *e.crc : ostrana::crc32(0, e.data.data(), e.data.size());
    uint64_t usize = e.uncompressed_size ? *e.uncompressed_size : e.data.size();
    uint64_t csize = e.data.size();
    uint16_t flags = static_cast<uint16_t>(e.flags | (e.data_descriptor ? 0x0008 : 0));
    Bytes extra;
    if (e.zip64) {
      Bytes z;
      put64(z, usize);
      put64(z, csize);
      put64(z, offsets[i]);
      extra = extra_block(0x0001, z);
    }
    append(extra, e.central_extra);
    put32(out, 0x02014B50);                                                  // central header signature
    put16(out, e.version_made_by);                                           // version made by
    put16(out, e.version_needed);                                            // version needed
    put16(out, flags);                                                       // flags
    put16(out, e.method);                                                    // method
    put16(out, e.dos_time);                                                  // DOS time
    put16(out, e.dos_date);                                                  // DOS date
    put32(out, crc);                                                         // CRC-32
    put32(out, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(csize));         // compressed size
    put32(out, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(usize));         // uncompressed size
    put16(out, static_cast<uint16_t>(e.name.size()));                        // name length
    put16(out, static_cast<uint16_t>(extra.size()));                         // extra length
    put16(out, static_cast<uint16_t>(e.comment.size()));                     // comment length
    put16(out, 0);                                                           // disk number start
    put16(out, e.internal_attributes);                                       // internal attributes
    put32(out, e.external_attributes);                                       // external attributes
    put32(out, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offsets[i]));    // local header offset
    append(out, e.name);
    append(out, extra);
    append(out, e.comment);
  }
  const uint64_t directory_nbytes = out.size() - shift - directory_offset;
  const uint64_t count = a.entries.size();

  if (a.zip64_end) {
    const Zip64Overrides& z = a.zip64;
    uint64_t record_offset = out.size() - shift;
    put32(out, 0x06064B50);                                            // Zip64 end record signature
    put64(out, z.rest_nbytes.value_or(44));                            // size of the rest of the record
    put16(out, 45);                                                    // version made by
    put16(out, 45);                                                    // version needed
    put32(out, z.this_disk.value_or(0));                               // number of this disk
    put32(out, z.directory_disk.value_or(0));                          // disk where the directory starts
    put64(out, z.entries_this_disk.value_or(count));                   // entries on this disk
    put64(out, z.entries_total.value_or(count));                       // entries in total
    put64(out, z.directory_nbytes.value_or(directory_nbytes));         // directory size
    put64(out, z.directory_offset.value_or(directory_offset));         // directory offset
    put32(out, 0x07064B50);                                            // locator signature
    put32(out, 0);                                                     // disk holding the Zip64 record
    put64(out, z.locator_record_offset.value_or(record_offset));       // offset of the Zip64 record
    put32(out, 1);                                                     // total number of disks
  }

  const EndOverrides& o = a.end;
  const uint64_t end_offset = out.size();
  uint16_t count16 = a.zip64_end ? 0xFFFF : static_cast<uint16_t>(count);
  put32(out, 0x06054B50);                                                            // end record signature
  put16(out, o.this_disk.value_or(0));                                               // number of this disk
  put16(out, o.directory_disk.value_or(0));                                          // disk where the directory starts
  put16(out, o.entries_this_disk.value_or(count16));                                 // entries on this disk
  put16(out, o.entries_total.value_or(count16));                                     // entries in total
  put32(out, o.directory_nbytes.value_or(a.zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(directory_nbytes)));
  put32(out, o.directory_offset.value_or(a.zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(directory_offset)));
  put16(out, o.comment_nbytes.value_or(static_cast<uint16_t>(a.comment.size())));    // comment length
  append(out, a.comment);
  append(out, a.trailing);

  if (layout) {
    layout->local_offsets = offsets;
    layout->directory_offset = directory_offset;
    layout->directory_nbytes = directory_nbytes;
    layout->end_offset = end_offset;
  }
  return out;
}

}  // namespace testzip
