/* engine/common/zip_records.h - the fixed-layout records of a ZIP archive.
 *
 * One statement of every record's byte layout, shared by the reader and the
 * writer: little-endian get/put helpers, a plain struct per record, and a
 * parse/serialise pair per record that works on caller-owned byte arrays of the
 * record's exact size.  Parsing never reads past the size named here; the
 * variable parts that follow a record (names, extra fields, comments) are the
 * caller's to read, with the lengths the record gives.
 *
 * Parsers return false when the signature is not the expected one and touch
 * nothing else; they cannot fail otherwise, because every field of a fixed-size
 * record is present once the caller holds that many bytes.
 */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana::zip {

/* ---- signatures ------------------------------------------------------------ */
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;     // "PK\3\4"
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;  // "PK\7\8", also the spanning marker
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;   // "PK\1\2"
constexpr uint32_t kEndRecordSignature = 0x06054B50;       // "PK\5\6"
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;  // "PK\6\6"
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;    // "PK\6\7"

/* ---- fixed sizes ----------------------------------------------------------- */
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kDataDescriptorSize = 16;    // with signature, 32-bit sizes
constexpr size_t kDataDescriptor64Size = 24;  // with signature, 64-bit sizes
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64EndRecordHead = 12;    // signature + rest-of-record size
constexpr size_t kZip64EndRecordBody = 44;    // the fields this engine reads and writes
constexpr size_t kZip64EndRecordSize = kZip64EndRecordHead + kZip64EndRecordBody;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxArchiveComment = 65535;

/* A 16-bit or 32-bit header field with this value has its real value in Zip64. */
constexpr uint16_t kSaturated16 = 0xFFFF;
constexpr uint32_t kSaturated32 = 0xFFFFFFFF;

/* ---- general purpose flag bits ------------------------------------------- */
constexpr uint16_t kFlagEncrypted = 0x0001;        // bit 0
constexpr uint16_t kFlagDataDescriptor = 0x0008;   // bit 3: CRC and sizes follow the data
constexpr uint16_t kFlagStrongEncryption = 0x0040; // bit 6
constexpr uint16_t kFlagUtf8Names = 0x0800;        // bit 11: name and comment are UTF-8

/* ---- compression methods the format names -------------------------------- */
constexpr uint16_t kMethodStore = 0;
constexpr uint16_t kMethodShrink = 1;
constexpr uint16_t kMethodReduce1 = 2;  // Reduce1..Reduce4 are 2..5 (compression factor = method - 1)
constexpr uint16_t kMethodReduce4 = 5;
constexpr uint16_t kMethodImplode = 6;
constexpr uint16_t kMethodTokenize = 7;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodDeflate64 = 9;
constexpr uint16_t kMethodAes = 99;  // the real method is in the 0x9901 block

/* ---- little-endian access ------------------------------------------------- */
inline uint16_t get_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t get_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t get_le64(const uint8_t* p) {
  return static_cast<uint64_t>(get_le32(p)) | static_cast<uint64_t>(get_le32(p + 4)) << 32;
}
inline void put_le16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put_le64(uint8_t* p, uint64_t v) {
  put_le32(p, static_cast<uint32_t>(v));
  put_le32(p + 4, static_cast<uint32_t>(v >> 32));
}

/// A 64-bit count or disk number as its 16-bit record copy: values that do not
/// fit are kept saturated (0xFFFF), as the end record stores them.
inline uint16_t saturate16(uint64_t v) { return v >= kSaturated16 ? kSaturated16 : static_cast<uint16_t>(v); }
/// The same for 32-bit sizes and offsets.
inline uint32_t saturate32(uint64_t v) { return v >= kSaturated32 ? kSaturated32 : static_cast<uint32_t>(v); }

/* ---- records --------------------------------------------------------------- */

/// Local file header (30 bytes; name and extra field follow, then the data).
struct LocalHeader {
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;  // DOS time
  uint16_t mod_date = 0;  // DOS date
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_nbytes = 0;
  uint16_t extra_nbytes = 0;
};

/// Data descriptor after an item's data (flag bit 3).  16 bytes, or 24 when
/// the sizes are 64-bit (a Zip64 item).
struct DataDescriptor {
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
};

/// Central directory header (46 bytes; name, extra field, comment follow).
struct CentralHeader {
  uint16_t version_made_by = 0;  // high byte: host system
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_nbytes = 0;
  uint16_t extra_nbytes = 0;
  uint16_t comment_nbytes = 0;
  uint16_t disk_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;  // low byte: DOS attributes
  uint32_t local_header_offset = 0;

  size_t variable_nbytes() const { return size_t{name_nbytes} + extra_nbytes + comment_nbytes; }
  unsigned host_system() const { return version_made_by >> 8; }
};

/// End of central directory record (22 bytes; the archive comment follows).
struct EndRecord {
  uint16_t this_disk = 0;
  uint16_t directory_disk = 0;
  uint16_t entries_this_disk = 0;
  uint16_t entries_total = 0;
  uint32_t directory_nbytes = 0;
  uint32_t directory_offset = 0;
  uint16_t comment_nbytes = 0;

  /// True when any field is saturated, i.e. the Zip64 record holds the real value.
  bool needs_zip64() const;
};

/// Zip64 end of central directory record (12 + 44 bytes as this engine uses it).
struct Zip64EndRecord {
  uint64_t rest_nbytes = kZip64EndRecordBody;  // size of the record after its first 12 bytes
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint32_t this_disk = 0;
  uint32_t directory_disk = 0;
  uint64_t entries_this_disk = 0;
  uint64_t entries_total = 0;
  uint64_t directory_nbytes = 0;
  uint64_t directory_offset = 0;
};

/// Zip64 end of central directory locator (20 bytes).
struct Zip64Locator {
  uint32_t record_disk = 0;
  uint64_t record_offset = 0;
  uint32_t total_disks = 1;
};

/* ---- parse / serialise ----------------------------------------------------- */
/* parse_*: @p p holds at least the record's fixed size; false on a wrong signature.
 * write_*: @p out has room for the record's fixed size; the signature is written too. */

bool parse_local_header(const uint8_t* p, LocalHeader* ret);
void write_local_header(const LocalHeader& h, uint8_t* out);

/// Reads a descriptor of @p nbytes (16 or 24) that begins with its signature.
bool parse_data_descriptor(const uint8_t* p, size_t nbytes, DataDescriptor* ret);
/// Writes a 16-byte descriptor, or a 24-byte one when @p zip64; @return bytes written.
size_t write_data_descriptor(const DataDescriptor& d, bool zip64, uint8_t* out);

bool parse_central_header(const uint8_t* p, CentralHeader* ret);
void write_central_header(const CentralHeader& h, uint8_t* out);

bool parse_end_record(const uint8_t* p, EndRecord* ret);
void write_end_record(const EndRecord& r, uint8_t* out);

/// Parses the first 12 bytes (signature and rest-of-record size) only.
bool parse_zip64_end_head(const uint8_t* p, uint64_t* rest_nbytes_ret);
/// Parses the @p body_nbytes (at most 44) bytes after the first 12 into @p r.
/// Fields that lie beyond @p body_nbytes are left as they are; @return a mask of
/// the fields filled (bit 0 versions, 1 disks, 2 entry counts, 3 size, 4 offset).
unsigned parse_zip64_end_body(const uint8_t* body, size_t body_nbytes, Zip64EndRecord* r);
/// Writes the full 56-byte record (rest-of-record size 44).
void write_zip64_end_record(const Zip64EndRecord& r, uint8_t* out);

bool parse_zip64_locator(const uint8_t* p, Zip64Locator* ret);
void write_zip64_locator(const Zip64Locator& l, uint8_t* out);

/// True when the four bytes at @p p are the signature @p sig.
inline bool has_signature(const uint8_t* p, uint32_t sig) { return get_le32(p) == sig; }

}  // namespace ostrana::zip
