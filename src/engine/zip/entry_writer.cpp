/* engine/zip/entry_writer.cpp - compressing one entry into the new archive. */
#include "engine/zip/entry_writer.h"

#include <optional>
#include <vector>

#include "engine/common/zip_extra.h"
#include "engine/zip/item_list.h"
#include "ostrana_results.h"
#include "platform/file_info.h"

namespace ostrana {

using namespace zip;

namespace {

constexpr size_t kStoreBufferNbytes = 256 * 1024;
constexpr uint16_t kLevelFlagBits = 0x0006;
constexpr uint16_t kInternalText = 0x0001;

bool needs64(uint64_t v) { return v >= kSaturated32; }

/// Copies @p reader into @p out unchanged.
int store_data(EntryReader& reader, ByteSink& out) {
  std::vector<uint8_t> buffer(kStoreBufferNbytes);
  for (;;) {
    std::ptrdiff_t n = reader.read(buffer.data(), buffer.size());
    if (n < 0) return reader.error() != 0 ? reader.error() : OZ_READ_FAILED;
    if (n == 0) return 0;
    if (int rc = out.write(buffer.data(), static_cast<size_t>(n))) return rc;
  }
}

}  // namespace

bool is_link_entry(const EntrySource& entry) { return (entry.unix_mode & kUnixTypeBits) == kUnixLink; }

std::vector<uint8_t> entry_extra_blocks(const EntrySource& entry, const EntrySettings& settings, uint16_t method) {
  std::vector<uint8_t> out;
  uint8_t stamp[kTimestampBlock];
  if (!settings.dosify && entry.mtime >= 0) {
    size_t n = write_timestamp_block(entry.mtime, stamp);
    out.assign(stamp, stamp + n);
  }
  const WriteEncryption* e = settings.encryption;
  const bool folder = (entry.attributes & platform::kDosFolder) != 0;
  if (e != nullptr && e->enabled() && !folder) {
    std::vector<uint8_t> block = e->extra_block(method);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

uint16_t entry_method(const EntrySource& entry, bool has_data, const EntrySettings& settings) {
  const bool folder = (entry.attributes & platform::kDosFolder) != 0;
  if (!has_data || folder || is_link_entry(entry) || (!entry.from_callback && entry.size == 0) ||
      (!settings.store_suffixes.empty() &&
       is_stored_suffix(entry.path.empty() ? entry.name : entry.path, settings.store_suffixes)))
    return zip::kMethodStore;
  return static_cast<uint16_t>(settings.compression.method);
}

DeflateOptions entry_deflate_options(const EntrySettings& settings, uint16_t method, bool repositionable,
                                     bool from_callback) {
  DeflateOptions options;
  options.level = settings.compression.level;
  options.deflate64 = method == zip::kMethodDeflate64;
  options.allow_stored_entry = repositionable && !from_callback;
  options.allow_stored_blocks = options.allow_stored_entry;
  options.allow_fixed_blocks = repositionable;
  return options;
}

int write_entry(ArchiveOutput& out, const EntrySource& entry, ByteSource* data, const EntrySettings& settings,
                DeflateCompressor& compressor, EntryReadObserver* observer, CentralRecord* ret,
                std::string* detail_ret) {
  const bool repositionable = out.repositionable();
  const bool descriptor = entry.from_callback || !repositionable;
  const bool folder = (entry.attributes & platform::kDosFolder) != 0;
  WriteEncryption* encryption = settings.encryption;
  if (encryption != nullptr && (!encryption->enabled() || data == nullptr || folder)) encryption = nullptr;
  const bool keyed = encryption != nullptr && encryption->key_nbytes() != 0;  // an AES scheme
  if (!settings.large && (out.offset() >= kSaturated32 || needs64(entry.size))) return OZ_TOO_BIG;

  CentralRecord r;
  bool utf8 = false;
  r.name = stored_name_bytes(entry.name, &utf8);
  if (r.name.empty() || r.name.size() > 0xFFFF) return OZ_BAD_PARAMETERS;

  uint16_t method = entry_method(entry, data != nullptr, settings);
  // The cipher's block goes into both headers: readers find it in the central
  // one, and a directory rebuilt from the local headers (fixing) keeps it.
  r.extra = entry_extra_blocks(entry, settings, method);
  uint16_t flags = utf8 ? kFlagUtf8Names : 0;
  if (descriptor) flags |= kFlagDataDescriptor;
  if (method != zip::kMethodStore) flags |= deflateFlagBits(method, settings.compression.level);

  // The Zip64 block of the local header is decided now, before the data:
  // for sizes that may not fit, and for data of unknown size.
  const bool zip64_local =
      settings.large && (entry.force_zip64 || entry.from_callback || entry.size > kLocalZip64Threshold);

  r.header.flags = flags;
  if (encryption != nullptr) mark_encrypted(*encryption, method, 0, &r);
  else r.header.method = method;
  r.header.mod_date = static_cast<uint16_t>(entry.dos_datetime >> 16);
  r.header.mod_time = static_cast<uint16_t>(entry.dos_datetime);
  r.header.external_attributes = unix_attributes(entry.unix_mode, entry.attributes, settings.dosify);
  r.local_offset = out.offset();
  r.disk = out.disk();

  auto local_version = [&](uint16_t m) {
    if (keyed) return kVersionAes;
    if (zip64_local) return kVersionZip64;
    return version_needed_for(m, false);
  };
  std::vector<uint8_t> local = local_header_bytes(r, zip64_local, local_version(method));
  if (int rc = out.keep_together(local.size())) return rc;
  // Keeping the header whole may have started the next piece.
  r.local_offset = out.offset();
  r.disk = out.disk();
  if (int rc = out.write(local.data(), local.size())) return rc;

  // The encryption header: made now when the data streams out, else reserved.
  const uint64_t header_offset = out.offset();
  std::optional<EntryCipher> cipher;
  std::optional<EncryptingSink> encrypting;
  ByteSink* sink = &out;
  if (encryption != nullptr) {
    cipher.emplace(*encryption);
    std::vector<uint8_t> header(encryption->header_nbytes(descriptor), 0);
    if (descriptor) {
      EncryptionHeaderInput input;
      input.streaming = true;
      input.dos_time = r.header.mod_time;
      if (cipher->start(input, &header) != 0) {
        if (detail_ret != nullptr) *detail_ret = kEncryptionHeaderFailed;
        return OZ_OUT_OF_MEMORY;
      }
      sink = &encrypting.emplace(*cipher, out);
    }
    if (int rc = out.write(header.data(), header.size())) return rc;
  }
  const uint64_t data_offset = out.offset();

  // The data.
  if (data != nullptr && !folder) {
    EntryReader reader(*data, settings.convert_eol, observer);
    uint32_t crc = 0;
    uint64_t nbytes = 0;
    DataType data_type = DataType::kUnknown;
    bool stored_whole = false;  // the compressor found the raw bytes smallest
    std::unique_ptr<AheadResult> taken;
    const AheadResult* ahead = method == zip::kMethodStore ? nullptr : entry.ahead;
    if (ahead == nullptr && method != zip::kMethodStore && settings.pool != nullptr && !settings.convert_eol &&
        !entry.from_callback && !entry.path.empty()) {
      taken = settings.pool->take(entry.path, entry.size);
      ahead = taken.get();
    }
    if (method == zip::kMethodStore) {
      if (int rc = store_data(reader, *sink)) return rc;
      r.compressed_size = reader.nbytes();
    } else if (ahead) {
      // Compressed ahead: report the bytes as read, then hand the stream on.
      if (ahead->read_error != 0) return ahead->read_error;
      if (observer != nullptr && observer->progress(ahead->nbytes) != 0) return OZ_INTERRUPTED;
      if (!ahead->compressed.empty())
        if (int rc = sink->write(ahead->compressed.data(), ahead->compressed.size())) return rc;
      r.compressed_size = ahead->deflate.out_nbytes;
      stored_whole = ahead->deflate.stored_entry;
      crc = ahead->crc;
      nbytes = ahead->nbytes;
      data_type = ahead->data_type;
    } else {
      const DeflateOptions options = entry_deflate_options(settings, method, repositionable, entry.from_callback);
      DeflateResult result;
      const bool chunked = settings.pool != nullptr && (entry.from_callback || entry.size > kDeflateChunkNbytes);
      if (int rc = chunked ? settings.pool->compressChunked(reader, *sink, options, &result)
                           : compressor.compress(reader, *sink, options, &result)) {
        if (detail_ret != nullptr && result.detail != nullptr && *result.detail != '\0') *detail_ret = result.detail;
        return rc;
      }
      r.compressed_size = result.out_nbytes;
      stored_whole = result.stored_entry;
    }
    if (stored_whole) {
      method = zip::kMethodStore;
      r.header.flags &= static_cast<uint16_t>(~kLevelFlagBits);
      r.extra = entry_extra_blocks(entry, settings, method);  // same size: only a method changes
    }
    if (ahead == nullptr) {
      crc = reader.crc();
      nbytes = reader.nbytes();
      data_type = reader.dataType();
    }
    r.uncompressed_size = nbytes;
    r.header.crc32 = crc;
    if (data_type == DataType::kText) r.header.internal_attributes = kInternalText;
  }
  const uint64_t data_nbytes = r.compressed_size;
  if (encryption != nullptr) {
    if (descriptor)
      if (int rc = encrypting->finish()) return rc;
    r.compressed_size = encryption->stored_nbytes(data_nbytes, descriptor);
  }

  if (!zip64_local && (needs64(r.compressed_size) || needs64(r.uncompressed_size)))
    return settings.large && repositionable ? kEntryNeedsZip64 : OZ_TOO_BIG;

  const uint32_t crc = r.header.crc32;
  r.header.version_needed = zip64_local ? kVersionZip64 : version_needed_for(method, false);
  r.header.version_made_by = version_made_by_for(method, zip64_local, settings.dosify, false);
  if (encryption != nullptr) mark_encrypted(*encryption, method, crc, &r);
  else r.header.method = method;
  if (descriptor) {
    DataDescriptor d{r.header.crc32, r.compressed_size, r.uncompressed_size};
    uint8_t raw[kDataDescriptor64Size];
    size_t n = write_data_descriptor(d, zip64_local, raw);
    if (int rc = out.keep_together(n)) return rc;
    if (int rc = out.write(raw, n)) return rc;
  } else {
    local = local_header_bytes(r, zip64_local, local_version(method));
    if (int rc = out.patch(r.local_offset, local.data(), local.size())) return rc;
    if (encryption != nullptr) {
      // Now that CRC and size are known: the header, then the data encrypted over itself.
      EncryptionHeaderInput input;
      input.crc32 = crc;
      input.uncompressed_nbytes = r.uncompressed_size;
      input.dos_time = r.header.mod_time;
      std::vector<uint8_t> header;
      if (cipher->start(input, &header) != 0) {
        if (detail_ret != nullptr) *detail_ret = kEncryptionHeaderFailed;
        return OZ_OUT_OF_MEMORY;
      }
      if (int rc = out.patch(header_offset, header.data(), header.size())) return rc;
      if (int rc = encrypt_in_place(out, data_offset, data_nbytes, *cipher, observer)) return rc;
    }
  }
  *ret = std::move(r);
  return OZ_SUCCESS;
}

}  // namespace ostrana
