/* tests/support/zip_builder.h - ZIP archives built byte by byte, for tests.
 *
 * Engine tests need archives that no tool makes: saturated fields, oversized
 * extra blocks, wrong counts, comments of exact lengths, bytes in front.  This
 * builder writes every record field by field with its own little-endian
 * helpers (deliberately not the engine's, so a layout fault in the engine
 * cannot hide behind the same fault here).  Entry data is stored as given:
 * the builder does not compress; give it bytes that are already compressed and
 * say which method they are.
 *
 * Everything has a plain default (a stored entry, version 20, DOS time
 * 2010-06-15 12:30:00), and every record field can be overridden, so a test
 * sets exactly the fields its case is about.
 */
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testzip {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint16_t v);
void put32(Bytes& b, uint32_t v);
void put64(Bytes& b, uint64_t v);

/// One extra block: tag, data size, data.
Bytes extra_block(uint16_t tag, const Bytes& data);
/// A 0x9901 block: vendor version, "AE", strength, actual method (7 data bytes).
Bytes aes_extra(uint16_t vendor_version, uint8_t strength, uint16_t method);
/// A 0x0017 block: format 2, algorithm id, bit length, flags 1 (8 data bytes).
Bytes strong_extra(uint16_t algorithm_id, uint16_t bit_length);
/// A 0x0001 block of @p data_nbytes bytes holding the values in order (zero-padded).
Bytes zip64_extra(std::vector<uint64_t> values, size_t data_nbytes);

constexpr uint16_t kDefaultDosDate = (30 << 9) | (6 << 5) | 15;  // 2010-06-15
constexpr uint16_t kDefaultDosTime = (12 << 11) | (30 << 5) | 0; // 12:30:00

struct Entry {
  std::string name;
  Bytes data;                      // stored as given (already compressed)
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t version_made_by = 20;   // high byte: host system
  uint16_t version_needed = 20;
  uint16_t dos_date = kDefaultDosDate;
  uint16_t dos_time = kDefaultDosTime;
  std::optional<uint32_t> crc;                // default: CRC-32 of data
  std::optional<uint64_t> uncompressed_size;  // default: data.size()
  uint32_t external_attributes = 0x20;        // archive bit
  uint16_t internal_attributes = 0;
  std::string comment;
  Bytes central_extra;             // raw blocks for the central header
  Bytes local_extra;               // raw blocks for the local header
  std::optional<std::string> local_name;  // default: name
  bool zip64 = false;              // saturate sizes and offset; add a 0x0001 block to both headers
  bool data_descriptor = false;    // flag bit 3: zeros in the local header, descriptor after the data
};

/// A stored entry named @p name holding @p text.
Entry stored_entry(const std::string& name, const std::string& text = "data");

/// Overrides of end-record fields (the builder computes the rest).
struct EndOverrides {
  std::optional<uint16_t> this_disk, directory_disk, entries_this_disk, entries_total;
  std::optional<uint32_t> directory_nbytes, directory_offset;
  std::optional<uint16_t> comment_nbytes;  // recorded comment length
};

/// Overrides of Zip64 end record fields.
struct Zip64Overrides {
  std::optional<uint64_t> rest_nbytes;     // the record's own size field (bytes after the first 12)
  std::optional<uint64_t> entries_this_disk, entries_total, directory_nbytes, directory_offset;
  std::optional<uint32_t> this_disk, directory_disk;
  std::optional<uint64_t> locator_record_offset;
};

struct Archive {
  Bytes preamble;                  // bytes before the first local header (offsets include them)
  bool offsets_exclude_preamble = false;  // record offsets as if the preamble were absent
  std::vector<Entry> entries;
  std::string comment;
  bool zip64_end = false;          // Zip64 end record + locator, saturated end record
  EndOverrides end;
  Zip64Overrides zip64;
  Bytes trailing;                  // bytes after the archive comment

  Bytes build() const;
};

/// Where the parts of the last build went (filled by build_with_layout).
struct Layout {
  std::vector<uint64_t> local_offsets;
  uint64_t directory_offset = 0;
  uint64_t directory_nbytes = 0;
  uint64_t end_offset = 0;
};
Bytes build_with_layout(const Archive& a, Layout* layout);

/// The 22-byte empty archive.
Bytes empty_archive();

}  // namespace testzip
