/* engine/common/zip_extra.cpp - find, read and write the extra blocks. */
#include "engine/common/zip_extra.h"

#include "engine/common/checks.h"

namespace ostrana::zip {

bool find_extra_block(const uint8_t* extra, size_t extra_nbytes, uint16_t tag, ExtraBlock* ret) {
  size_t pos = 0;
  while (extra_nbytes - pos >= kExtraBlockHead) {
    uint16_t block_tag = get_le16(extra + pos);
    uint16_t data_nbytes = get_le16(extra + pos + 2);
    if (data_nbytes > extra_nbytes - pos - kExtraBlockHead) return false;  // runs past the field
    if (block_tag == tag) {
      ret->tag = block_tag;
      ret->data = extra + pos + kExtraBlockHead;
      ret->data_nbytes = data_nbytes;
      return true;
    }
    pos += kExtraBlockHead + data_nbytes;
  }
  return false;
}

/* ---- Zip64 --------------------------------------------------------------------- */

Zip64Values zip64_from_header(const Zip64Header& h) {
  Zip64Values v;
  v.uncompressed_size = h.uncompressed_size;
  v.compressed_size = h.compressed_size;
  v.local_header_offset = h.local_header_offset;
  v.disk_start = h.disk_start;
  return v;
}

int parse_zip64_block(const ExtraBlock& block, const Zip64Header& h, Zip64Values* ret) {
  Zip64Values v = zip64_from_header(h);
  size_t pos = 0;
  auto take64 = [&](uint64_t* field) {
    if (block.data_nbytes - pos < 8) return false;
    *field = get_le64(block.data + pos);
    pos += 8;
    return true;
  };
  if (h.uncompressed_size == kSaturated32) SAFETY_CHECK(take64(&v.uncompressed_size));
  if (h.compressed_size == kSaturated32) SAFETY_CHECK(take64(&v.compressed_size));
  if (h.local_header_offset == kSaturated32) SAFETY_CHECK(take64(&v.local_header_offset));
  if (h.disk_start == kSaturated16) {
    SAFETY_CHECK(block.data_nbytes - pos >= 4);
    v.disk_start = get_le32(block.data + pos);
  }
  *ret = v;
  return 0;
}

size_t write_zip64_block(const Zip64Values& v, unsigned field_mask, uint8_t* out) {
  size_t pos = kExtraBlockHead;
  if (field_mask & 1u) put_le64(out + pos, v.uncompressed_size), pos += 8;
  if (field_mask & 2u) put_le64(out + pos, v.compressed_size), pos += 8;
  if (field_mask & 4u) put_le64(out + pos, v.local_header_offset), pos += 8;
  if (field_mask & 8u) put_le32(out + pos, v.disk_start), pos += 4;
  put_le16(out, kExtraZip64);
  put_le16(out + 2, static_cast<uint16_t>(pos - kExtraBlockHead));
  return pos;
}

/* ---- AES ------------------------------------------------------------------------ */

bool parse_aes_block(const ExtraBlock& block, AesExtra* ret) {
  if (block.data_nbytes < kAesData) return false;
  ret->vendor_version = get_le16(block.data);
  ret->vendor_id = get_le16(block.data + 2);
  ret->strength = block.data[4];
  ret->method = get_le16(block.data + 5);
  return true;
}

size_t write_aes_block(const AesExtra& a, uint8_t* out) {
  put_le16(out, kExtraAes);
  put_le16(out + 2, kAesData);
  put_le16(out + 4, a.vendor_version);
  put_le16(out + 6, a.vendor_id);
  out[8] = a.strength;
  put_le16(out + 9, a.method);
  return kExtraBlockHead + kAesData;
}

/* ---- strong encryption -------------------------------------------------------- */

bool parse_strong_encryption_block(const ExtraBlock& block, StrongEncryptionExtra* ret) {
  if (block.data_nbytes < kStrongEncryptionFixedData) return false;
  ret->format = get_le16(block.data);
  ret->algorithm_id = get_le16(block.data + 2);
  ret->bit_length = get_le16(block.data + 4);
  ret->flags = get_le16(block.data + 6);
  return true;
}

size_t write_strong_encryption_block(const StrongEncryptionExtra& s, uint8_t* out) {
  put_le16(out, kExtraStrongEncryption);
  put_le16(out + 2, kStrongEncryptionFixedData);
  put_le16(out + 4, s.format);
  put_le16(out + 6, s.algorithm_id);
  put_le16(out + 8, s.bit_length);
  put_le16(out + 10, s.flags);
  return kExtraBlockHead + kStrongEncryptionFixedData;
}

size_t write_timestamp_block(int64_t mtime, uint8_t* out) {
  // Readers take the field as unsigned or signed 32 bits; both agree below 2^31.
  if (mtime < 0 || mtime > 0x7FFFFFFF) return 0;
  put_le16(out, kExtraTimestamp);
  put_le16(out + 2, 5);
  out[4] = 1;  // modification time only
  put_le32(out + 5, static_cast<uint32_t>(mtime));
  return kTimestampBlock;
}

bool parse_timestamp_block(const ExtraBlock& block, int64_t* mtime_ret) {
  if (block.data_nbytes < 5 || (block.data[0] & 1) == 0) return false;
  *mtime_ret = static_cast<int64_t>(get_le32(block.data + 1));
  return true;
}

bool parse_ntfs_block(const ExtraBlock& block, int64_t* mtime_ret) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  constexpr int64_t kSecondsFrom1601 = 11644473600;
  size_t at = 4;  // reserved
  while (block.data_nbytes >= at + 4) {
    const uint16_t tag = get_le16(block.data + at);
    const uint16_t size = get_le16(block.data + at + 2);
    at += 4;
    if (size > block.data_nbytes - at) return false;
    if (tag == 1 && size >= 8) {
      const uint64_t ticks = get_le64(block.data + at);
      if (ticks == 0) return false;
      *mtime_ret = static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601;
      return true;
    }
    at += size;
  }
  return false;
}

/* ---- the searches made when an entry is loaded ---------------------------------- */

int scan_entry_extras(const uint8_t* extra, size_t extra_nbytes, const Zip64Header& h, ExtraScope scope,
                      EntryExtras* ret) {
  EntryExtras e;
  e.zip64 = zip64_from_header(h);
  if (extra_nbytes > kExtraBlockHead) {
    ExtraBlock block;
    if (find_extra_block(extra, extra_nbytes, kExtraZip64, &block)) {
      SAFETY_CHECK(block.block_nbytes() <= kMaxZip64Block);
      // The central values are the authoritative ones: a local block that lacks
      // a field only leaves the local header's value in place.
      int rc = parse_zip64_block(block, h, &e.zip64);
      RETURN_IF(rc != 0 && scope == ExtraScope::kCentral, rc);
      e.has_zip64_block = rc == 0;
    }
    if (find_extra_block(extra, extra_nbytes, kExtraAes, &block)) {
      SAFETY_CHECK(block.block_nbytes() <= kMaxAesBlock);
      SAFETY_CHECK(parse_aes_block(block, &e.aes));
      e.has_aes = true;
    }
    if (scope == ExtraScope::kCentral && find_extra_block(extra, extra_nbytes, kExtraStrongEncryption, &block)) {
      SAFETY_CHECK(block.block_nbytes() <= kMaxStrongEncryptionBlock);
      SAFETY_CHECK(parse_strong_encryption_block(block, &e.strong_encryption));
      e.has_strong_encryption = true;
    }
    if (find_extra_block(extra, extra_nbytes, kExtraTimestamp, &block))
      e.has_mtime = parse_timestamp_block(block, &e.mtime);
    if (!e.has_mtime && find_extra_block(extra, extra_nbytes, kExtraNtfs, &block))
      e.has_mtime = parse_ntfs_block(block, &e.mtime);
  }
  *ret = e;
  return 0;
}

}  // namespace ostrana::zip
