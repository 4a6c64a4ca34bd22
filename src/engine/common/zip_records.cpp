/* engine/common/zip_records.cpp - parse and serialise the fixed ZIP records.
 *
 * Each function is a field-by-field transcription of the record's layout, in
 * offset order, so that reader and writer can never disagree on a position.
 */
#include "engine/common/zip_records.h"

namespace ostrana::zip {

bool EndRecord::needs_zip64() const {
  return this_disk == kSaturated16 || directory_disk == kSaturated16 ||
         entries_this_disk == kSaturated16 || entries_total == kSaturated16 ||
         directory_nbytes == kSaturated32 || directory_offset == kSaturated32;
}

/* ---- local file header ----------------------------------------------------- */

bool parse_local_header(const uint8_t* p, LocalHeader* ret) {
  if (!has_signature(p, kLocalHeaderSignature)) return false;
  ret->version_needed = get_le16(p + 4);
  ret->flags = get_le16(p + 6);
  ret->method = get_le16(p + 8);
  ret->mod_time = get_le16(p + 10);
  ret->mod_date = get_le16(p + 12);
  ret->crc32 = get_le32(p + 14);
  ret->compressed_size = get_le32(p + 18);
  ret->uncompressed_size = get_le32(p + 22);
  ret->name_nbytes = get_le16(p + 26);
  ret->extra_nbytes = get_le16(p + 28);
  return true;
}

void write_local_header(const LocalHeader& h, uint8_t* out) {
  put_le32(out, kLocalHeaderSignature);
  put_le16(out + 4, h.version_needed);
  put_le16(out + 6, h.flags);
  put_le16(out + 8, h.method);
  put_le16(out + 10, h.mod_time);
  put_le16(out + 12, h.mod_date);
  put_le32(out + 14, h.crc32);
  put_le32(out + 18, h.compressed_size);
  put_le32(out + 22, h.uncompressed_size);
  put_le16(out + 26, h.name_nbytes);
  put_le16(out + 28, h.extra_nbytes);
}

/* ---- data descriptor -------------------------------------------------------- */

bool parse_data_descriptor(const uint8_t* p, size_t nbytes, DataDescriptor* ret) {
  if (!has_signature(p, kDataDescriptorSignature)) return false;
  ret->crc32 = get_le32(p + 4);
  if (nbytes >= kDataDescriptor64Size) {
    ret->compressed_size = get_le64(p + 8);
    ret->uncompressed_size = get_le64(p + 16);
  } else {
    ret->compressed_size = get_le32(p + 8);
    ret->uncompressed_size = get_le32(p + 12);
  }
  return true;
}

size_t write_data_descriptor(const DataDescriptor& d, bool zip64, uint8_t* out) {
  put_le32(out, kDataDescriptorSignature);
  put_le32(out + 4, d.crc32);
  if (zip64) {
    put_le64(out + 8, d.compressed_size);
    put_le64(out + 16, d.uncompressed_size);
    return kDataDescriptor64Size;
  }
  put_le32(out + 8, static_cast<uint32_t>(d.compressed_size));
  put_le32(out + 12, static_cast<uint32_t>(d.uncompressed_size));
  return kDataDescriptorSize;
}

/* ---- central directory header ---------------------------------------------- */

bool parse_central_header(const uint8_t* p, CentralHeader* ret) {
  if (!has_signature(p, kCentralHeaderSignature)) return false;
  ret->version_made_by = get_le16(p + 4);
  ret->version_needed = get_le16(p + 6);
  ret->flags = get_le16(p + 8);
  ret->method = get_le16(p + 10);
  ret->mod_time = get_le16(p + 12);
  ret->mod_date = get_le16(p + 14);
  ret->crc32 = get_le32(p + 16);
  ret->compressed_size = get_le32(p + 20);
  ret->uncompressed_size = get_le32(p + 24);
  ret->name_nbytes = get_le16(p + 28);
  ret->extra_nbytes = get_le16(p + 30);
  ret->comment_nbytes = get_le16(p + 32);
  ret->disk_start = get_le16(p + 34);
  ret->internal_attributes = get_le16(p + 36);
  ret->external_attributes = get_le32(p + 38);
  ret->local_header_offset = get_le32(p + 42);
  return true;
}

void write_central_header(const CentralHeader& h, uint8_t* out) {
  put_le32(out, kCentralHeaderSignature);
  put_le16(out + 4, h.version_made_by);
  put_le16(out + 6, h.version_needed);
  put_le16(out + 8, h.flags);
  put_le16(out + 10, h.method);
  put_le16(out + 12, h.mod_time);
  put_le16(out + 14, h.mod_date);
  put_le32(out + 16, h.crc32);
  put_le32(out + 20, h.compressed_size);
  put_le32(out + 24, h.uncompressed_size);
  put_le16(out + 28, h.name_nbytes);
  put_le16(out + 30, h.extra_nbytes);
  put_le16(out + 32, h.comment_nbytes);
  put_le16(out + 34, h.disk_start);
  put_le16(out + 36, h.internal_attributes);
  put_le32(out + 38, h.external_attributes);
  put_le32(out + 42, h.local_header_offset);
}

/* ---- end of central directory ---------------------------------------------- */

bool parse_end_record(const uint8_t* p, EndRecord* ret) {
  if (!has_signature(p, kEndRecordSignature)) return false;
  ret->this_disk = get_le16(p + 4);
  ret->directory_disk = get_le16(p + 6);
  ret->entries_this_disk = get_le16(p + 8);
  ret->entries_total = get_le16(p + 10);
  ret->directory_nbytes = get_le32(p + 12);
  ret->directory_offset = get_le32(p + 16);
  ret->comment_nbytes = get_le16(p + 20);
  return true;
}

void write_end_record(const EndRecord& r, uint8_t* out) {
  put_le32(out, kEndRecordSignature);
  put_le16(out + 4, r.this_disk);
  put_le16(out + 6, r.directory_disk);
  put_le16(out + 8, r.entries_this_disk);
  put_le16(out + 10, r.entries_total);
  put_le32(out + 12, r.directory_nbytes);
  put_le32(out + 16, r.directory_offset);
  put_le16(out + 20, r.comment_nbytes);
}

/* ---- Zip64 end record and locator ------------------------------------------ */

bool parse_zip64_end_head(const uint8_t* p, uint64_t* rest_nbytes_ret) {
  if (!has_signature(p, kZip64EndRecordSignature)) return false;
  *rest_nbytes_ret = get_le64(p + 4);
  return true;
}

unsigned parse_zip64_end_body(const uint8_t* body, size_t body_nbytes, Zip64EndRecord* r) {
  // Offsets below are relative to the body (record offset - 12).
  unsigned filled = 0;
  if (body_nbytes >= 4) {
    r->version_made_by = get_le16(body);
    r->version_needed = get_le16(body + 2);
    filled |= 1u;
  }
  if (body_nbytes >= 12) {
    r->this_disk = get_le32(body + 4);
    r->directory_disk = get_le32(body + 8);
    filled |= 2u;
  }
  if (body_nbytes >= 28) {
    r->entries_this_disk = get_le64(body + 12);
    r->entries_total = get_le64(body + 20);
    filled |= 4u;
  }
  if (body_nbytes >= 36) {
    r->directory_nbytes = get_le64(body + 28);
    filled |= 8u;
  }
  if (body_nbytes >= 44) {
    r->directory_offset = get_le64(body + 36);
    filled |= 16u;
  }
  return filled;
}

void write_zip64_end_record(const Zip64EndRecord& r, uint8_t* out) {
  put_le32(out, kZip64EndRecordSignature);
  put_le64(out + 4, kZip64EndRecordBody);
  put_le16(out + 12, r.version_made_by);
  put_le16(out + 14, r.version_needed);
  put_le32(out + 16, r.this_disk);
  put_le32(out + 20, r.directory_disk);
  put_le64(out + 24, r.entries_this_disk);
  put_le64(out + 32, r.entries_total);
  put_le64(out + 40, r.directory_nbytes);
  put_le64(out + 48, r.directory_offset);
}

bool parse_zip64_locator(const uint8_t* p, Zip64Locator* ret) {
  if (!has_signature(p, kZip64LocatorSignature)) return false;
  ret->record_disk = get_le32(p + 4);
  ret->record_offset = get_le64(p + 8);
  ret->total_disks = get_le32(p + 16);
  return true;
}

void write_zip64_locator(const Zip64Locator& l, uint8_t* out) {
  put_le32(out, kZip64LocatorSignature);
  put_le32(out + 4, l.record_disk);
  put_le64(out + 8, l.record_offset);
  put_le32(out + 16, l.total_disks);
}

}  // namespace ostrana::zip
