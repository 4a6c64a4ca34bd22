/* engine/zip/memory_to_memory.cpp - ZIP_MEMORY_TO_MEMORY: one item compressed, no archive.
 *
 * The input is the caller's memory block when it gives one, else the data
 * callback (direction 0).  The output goes back through the data callback
 * (direction 1) as the item exactly as the unzip side's memory function reads
 * it: its 46-byte central header (local header offset 0, no name), extra field
 * and comment (both empty here), then the compressed data.  The header comes
 * first, so the data is compressed into memory before anything is handed
 * out; the output cannot be repositioned, so every block carries its own
 * (or the fixed) trees and there are no stored blocks.
 *
 * The output is offered 64 KiB at a time; the callback may take fewer bytes
 * than offered, and the rest is offered again.
 * A callback that takes nothing of a non-empty offer has no room: the run
 * ends with 14 and "output buffer too small for in-memory compression".
 */
#include <limits>

#include "engine/zip/archive_operation.h"
#include "engine/zip/zip_messages.h"
#include "engine/zip/zip_run.h"
#include "engine/zip/zip_sources.h"
#include "platform/clock.h"
#include "platform/file_info.h"

namespace ostrana {

using namespace zip;

namespace {

/// The most the callback is offered at once.
constexpr uint32_t kOfferNbytes = 64 * 1024;

/// Hands @p nbytes to the caller's callback.  @return 0 or a code (with
/// *@p detail_id_ret for a failure that has a text).
int hand_out(ZipRun& run, const uint8_t* data, size_t nbytes, uint64_t* position, int* detail_id_ret) {
  std::vector<uint8_t> chunk;
  while (nbytes != 0) {
    uint32_t offered = nbytes > kOfferNbytes ? kOfferNbytes : static_cast<uint32_t>(nbytes);
    // The callback gets a copy: it may write into its buffer, the engine's stays intact.
    chunk.assign(data, data + offered);
    uint32_t length = offered;
    int32_t status = OSTRANA_DATA_MORE;
    run.data_proc(OSTRANA_DATA_FROM_ENGINE, chunk.data(), &length, static_cast<uint32_t>(*position),
                  static_cast<uint32_t>(*position >> 32), 0, 0, run.data_user, &status);
    if (status == OSTRANA_DATA_CANCEL) return OZ_INTERRUPTED;
    if (status != OSTRANA_DATA_MORE && status != OSTRANA_DATA_END) return OZ_WRITE_FAILED;
    if (length > offered) {
      *detail_id_ret = kZipMsgInvalidLength;
      return OZ_BAD_PARAMETERS;
    }
    if (length == 0) {
      *detail_id_ret = kZipMsgOutputTooSmall;
      return OZ_WRITE_FAILED;
    }
    data += length;
    nbytes -= length;
    *position += length;
  }
  return OZ_SUCCESS;
}

}  // namespace

int run_memory_to_memory(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  WriteEncryption encryption;
  if (c.encryptFlag != 0) {
    const WriteScheme scheme = !run.aes               ? WriteScheme::kTraditional
                               : run.aes_zip_format ? WriteScheme::kZipAes
                                                    : WriteScheme::kStrongAes;
    int rc = encryption.setup(scheme, run.aes_strength, run.password);
    if (rc != 0) return zip_report_message(run, rc == OZ_BAD_PARAMETERS ? rc : OZ_OUT_OF_MEMORY, kZipMsgGettingPassword);
  }
  const uint64_t block_nbytes = (static_cast<uint64_t>(c.lMemBlockSizeH) << 32) | c.lMemBlockSize;
  if (c.lpMemBlock != nullptr && block_nbytes > std::numeric_limits<size_t>::max())
    return zip_report_message(run, OZ_BAD_PARAMETERS, kZipMsgInvalidLength);
  MemorySource block(static_cast<const uint8_t*>(c.lpMemBlock), static_cast<size_t>(block_nbytes));
  CallbackSource callback(run.data_proc, run.data_user);
  ByteSource& source = c.lpMemBlock != nullptr ? static_cast<ByteSource&>(block) : callback;

  if (int rc = run.status.major(run.messages.text(kZipMsgLogMemoryToMemory, 1), 0)) return zip_report(run, rc);
  EntryProgress progress(run, "", c.lpMemBlock != nullptr ? block_nbytes : 0);
  EntryReader reader(source, c.convertLFtoCRLFFlag != 0, &progress);
  VectorSink compressed;
  DeflateOptions options;
  options.level = run.compression.level;
  options.deflate64 = run.compression.method == zip::kMethodDeflate64;
  options.allow_stored_entry = false;
  options.allow_stored_blocks = false;
  options.allow_fixed_blocks = true;
  DeflateResult result;
  int rc = zip_thread_state(true)->compressor.compress(reader, compressed, options, &result);
  if (rc != 0) {
    if (rc == OZ_BAD_PARAMETERS && callback.detail_id() != 0)
      return zip_report_message(run, rc, callback.detail_id());
    return zip_report(run, rc, result.detail);
  }

  const bool large = c.LargeZIPFilesFlag != 0;
  const uint16_t method = static_cast<uint16_t>(run.compression.method);
  CentralRecord r;
  const bool zip64 = reader.nbytes() >= kSaturated32;
  r.header.version_made_by = version_made_by_for(method, zip64, (c.dosifyFlag & 1) != 0, encryption.enabled() && encryption.key_nbytes() != 0);
  r.header.version_needed = version_needed_for(method, encryption.enabled() && encryption.key_nbytes() != 0);
  r.header.flags = deflateFlagBits(method, run.compression.level);
  r.header.method = method;
  uint32_t now = platform::dos_datetime_from_time(platform::clock_now());
  r.header.mod_date = static_cast<uint16_t>(now >> 16);
  r.header.mod_time = static_cast<uint16_t>(now);
  r.header.crc32 = reader.crc();
  r.header.external_attributes = unix_attributes(kMemoryEntryMode, platform::kDosArchive, (c.dosifyFlag & 1) != 0);
  if (reader.dataType() == DataType::kText) r.header.internal_attributes = 1;
  r.uncompressed_size = reader.nbytes();
  if (encryption.enabled()) {
    // All of the data is at hand: the header goes first, as on any output.
    EntryCipher cipher(encryption);
    EncryptionHeaderInput input;
    input.crc32 = r.header.crc32;
    input.uncompressed_nbytes = r.uncompressed_size;
    input.dos_time = r.header.mod_time;
    std::vector<uint8_t> header;
    if (cipher.start(input, &header) != 0) return zip_report(run, OZ_OUT_OF_MEMORY, kEncryptionHeaderFailed);
    if (int rc2 = encrypt_all(cipher, &compressed.bytes())) return zip_report(run, rc2);
    compressed.bytes().insert(compressed.bytes().begin(), header.begin(), header.end());
    r.extra = encryption.extra_block(method);
    mark_encrypted(encryption, method, r.header.crc32, &r);
  }
  r.compressed_size = compressed.bytes().size();
  if (!large && (r.compressed_size >= kSaturated32 || r.uncompressed_size >= kSaturated32))
    return zip_report_too_big(run);
  std::vector<uint8_t> header;
  central_header_bytes(r, &header);

  uint64_t position = 0;
  int detail_id = 0;
  rc = hand_out(run, header.data(), header.size(), &position, &detail_id);
  if (rc == 0) rc = hand_out(run, compressed.bytes().data(), compressed.bytes().size(), &position, &detail_id);
  if (rc != 0) return detail_id != 0 ? zip_report_message(run, rc, detail_id) : zip_report(run, rc);
  run.activity.line(run.messages.text(kZipMsgLogMemoryToMemory, 1));
  return OZ_SUCCESS;
}

}  // namespace ostrana
