/* tests/engine/zip/entry_encryption_test.cpp - one entry encrypted as the writer stores it.
 *
 * Risks: a header or size that the reader (and 7-Zip, see the interop tests)
 * takes differently from what the writer meant: the strong-encryption header
 * table (294 bytes, or 310 with a stored IV), the always-padded data and its
 * compressed size, the 0x0017 block, the traditional check byte (CRC-32 on a
 * repositionable output, DOS time with flag bit 3); the in-place pass going
 * wrong at its 8 KiB block edges or its last partial block; random header
 * bytes that repeat; a failed read-back or a cancel reported as success.
 *
 * Entries are written by write_entry() into two test doubles: a repositionable
 * output over memory, and one that cannot go back (as multi-volume output
 * is), whose patch() fails the test.  The engine's own reader
 * (open_item_data) decrypts them.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "../unzip/decrypt_test_util.h"
#include "engine/common/crc32.h"
#include "engine/common/traditional_cipher.h"
#include "engine/common/zip_records.h"
#include "engine/zip/entry_encryption.h"
#include "engine/zip/entry_writer.h"
#include "engine/zip/zip_headers.h"
#include "ostrana_results.h"
#include "peer_run.h"
#include "platform/file.h"
#include "reference_inflate.h"
#include "test_env.h"
#include "zip_walk.h"

using namespace ostrana;
using decrypt_test::run_decrypt;

namespace {

constexpr uint32_t kDosDateTime = 0x5A8B7C2Du;  // time 0x7C2D: check byte 0x7C with flag bit 3

/// A repositionable output over memory.
class MemoryOutput final : public ArchiveOutput {
 public:
  int write(const uint8_t* data, size_t nbytes) override {
    bytes.insert(bytes.end(), data, data + nbytes);
    return 0;
  }
  uint64_t offset() const override { return bytes.size(); }
  bool repositionable() const override { return true; }
  int patch(uint64_t at, const uint8_t* data, size_t nbytes) override {
    EXPECT_LE(at + nbytes, bytes.size());
    std::memcpy(bytes.data() + at, data, nbytes);
    return 0;
  }
  int truncate(uint64_t at) override {
    bytes.resize(at);
    return 0;
  }
  int read_back(uint64_t at, uint8_t* data, size_t nbytes) override {
    ++read_backs;
    EXPECT_LE(nbytes, kEncryptPassBlock);
    if (fail_read_back) return OZ_READ_FAILED;
    std::memcpy(data, bytes.data() + at, nbytes);
    return 0;
  }
  int finish() override { return 0; }

  std::vector<uint8_t> bytes;
  bool fail_read_back = false;
  int read_backs = 0;
};

/// An output that cannot go back, as multi-volume output: nothing may be rewritten.
class StreamOutput final : public ArchiveOutput {
 public:
  int write(const uint8_t* data, size_t nbytes) override {
    bytes.insert(bytes.end(), data, data + nbytes);
    return 0;
  }
  uint64_t offset() const override { return bytes.size(); }
  bool repositionable() const override { return false; }
  int patch(uint64_t, const uint8_t*, size_t) override {
    ADD_FAILURE() << "patch() on an output that cannot be repositioned";
    return OZ_INTERNAL;
  }
  int truncate(uint64_t) override {
    ADD_FAILURE() << "truncate() on an output that cannot be repositioned";
    return OZ_INTERNAL;
  }
  int finish() override { return 0; }

  std::vector<uint8_t> bytes;
};

/// Records the pass progress; cancels at @p cancel_at bytes when set.
class PassObserver final : public EntryReadObserver {
 public:
  int progress(uint64_t) override { return 0; }
  int pass_progress(uint64_t done, uint64_t total) override {
    calls.emplace_back(done, total);
    return cancel_at != 0 && done >= cancel_at ? 1 : 0;
  }
  void warning(const char*) override {}
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  uint64_t cancel_at = 0;
};

std::vector<uint8_t> random_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

struct Written {
  int rc = -1;
  CentralRecord record;
  std::vector<uint8_t> archive;  ///< the entry and a central directory
  testenv::WalkedItem item;
};

/// Writes @p data as "f.bin" with @p method (0 or 8) under @p enc into @p out,
/// then the central directory, and walks the result.
template <class Output>
Written write_one(Output& out, const std::vector<uint8_t>& data, WriteEncryption& enc, int method,
                  EntryReadObserver* observer = nullptr) {
  Written w;
  EntrySource source;
  source.name = "f.bin";
  source.dos_datetime = kDosDateTime;
  source.attributes = 0x20;
  source.size = data.size();
  EntrySettings settings;
  settings.compression = {method, method == 0 ? 0 : 6};
  settings.encryption = &enc;
  MemorySource in(data.data(), data.size());
  DeflateCompressor compressor;
  std::string detail;
  w.rc = write_entry(out, source, &in, settings, compressor, observer, &w.record, &detail);
  if (w.rc != 0) return w;
  EXPECT_EQ(0, write_central_directory(out, {w.record}, {}, false));
  w.archive = out.bytes;
  auto items = testenv::walk_zip(w.archive);
  EXPECT_EQ(1u, items.size());
  if (!items.empty()) w.item = items[0];
  return w;
}

/// The entry's content as the engine's reader gives it back with @p password.
std::vector<uint8_t> read_back(const Written& w, const char* password, int* open_rc = nullptr) {
  auto run = run_decrypt(w.archive, w.item, password);
  if (open_rc != nullptr) *open_rc = run.open_rc;
  if (run.open_rc != 0 || run.read_rc != 0) return {};
  if (w.item.method == 0) return run.data;
  auto inflated = refinflate::inflate(run.data.data(), run.data.size(), false);
  EXPECT_TRUE(inflated.ok) << inflated.error;
  return inflated.data;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

/// Input whose level-6 deflate output (as the writer makes it on a
/// repositionable output) is exactly @p nbytes bytes and not stored.
std::vector<uint8_t> deflating_to(size_t nbytes) {
  std::string text;
  for (int k = 0; text.size() < 2000; ++k) text += "ab" + std::to_string(k % 7) + ",";
  DeflateCompressor compressor;
  for (size_t n = 1; n < text.size(); ++n) {
    std::vector<uint8_t> data(text.begin(), text.begin() + n);
    MemorySource in(data.data(), data.size());
    VectorSink out;
    DeflateOptions options;
    options.allow_stored_entry = true;
    DeflateResult result;
    if (compressor.compress(in, out, options, &result) == 0 && !result.stored_entry && result.out_nbytes == nbytes)
      return data;
  }
  ADD_FAILURE() << "no input deflates to " << nbytes << " bytes";
  return {};
}

// ---- the run's settings ---------------------------------------------------------------

TEST(WriteEncryptionSettings, RefusesWhatTheReaderCouldNotOpen) {
  WriteEncryption e;
  EXPECT_EQ(OZ_BAD_PARAMETERS, e.setup(WriteScheme::kTraditional, 0, ""));
  EXPECT_EQ(OZ_BAD_PARAMETERS, e.setup(WriteScheme::kTraditional, 0, std::string(129, 'p')));
  EXPECT_EQ(OZ_BAD_PARAMETERS, e.setup(WriteScheme::kStrongAes, 0, "pw"));
  EXPECT_EQ(OZ_BAD_PARAMETERS, e.setup(WriteScheme::kStrongAes, 4, "pw"));
  EXPECT_FALSE(e.enabled());
  // 128 characters is the reader's limit, for both schemes (no cut at 65).
  EXPECT_EQ(0, e.setup(WriteScheme::kTraditional, 0, std::string(128, 'p')));
  EXPECT_EQ(128u, e.password_nbytes());
  EXPECT_EQ(0x0001, e.flag_bits());
  EXPECT_TRUE(e.extra_block().empty());
}

TEST(WriteEncryptionSettings, SizesAndStrongBlockFollowTheHeaderTable) {
  const uint16_t ids[] = {0x660E, 0x660F, 0x6610};
  for (int strength = 1; strength <= 3; ++strength) {
    SCOPED_TRACE(strength);
    WriteEncryption e;
    ASSERT_EQ(0, e.setup(WriteScheme::kStrongAes, strength, "pw"));
    EXPECT_EQ(0x0041, e.flag_bits());
    EXPECT_EQ(294u, e.header_nbytes(false));
    EXPECT_EQ(310u, e.header_nbytes(true));
    // Always padded: empty data is one block, a whole block gains a block.
    EXPECT_EQ(294u + 16, e.stored_nbytes(0, false));
    EXPECT_EQ(294u + 16, e.stored_nbytes(15, false));
    EXPECT_EQ(294u + 32, e.stored_nbytes(16, false));
    EXPECT_EQ(294u + 48, e.stored_nbytes(32, false));
    EXPECT_EQ(310u + 48, e.stored_nbytes(33, true));
    const std::vector<uint8_t> block = e.extra_block();
    const uint16_t bits = static_cast<uint16_t>(64 * (strength + 1));
    const std::vector<uint8_t> expected = {0x17, 0,   12, 0, 2, 0, static_cast<uint8_t>(ids[strength - 1]),
                                           static_cast<uint8_t>(ids[strength - 1] >> 8),
                                           static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                                           1,    0,   0,  0, 0, 0};
    EXPECT_EQ(expected, block);
  }
  WriteEncryption t;
  ASSERT_EQ(0, t.setup(WriteScheme::kTraditional, 0, "pw"));
  EXPECT_EQ(12u, t.header_nbytes(false));
  EXPECT_EQ(12u + 33, t.stored_nbytes(33, true));
}

// ---- strong encryption --------------------------------------------------------------------

TEST(StrongEncryptionWriting, RoundTripsAcrossBlockEdgesOfTheInPlacePass) {
  for (int strength = 1; strength <= 3; ++strength) {
    WriteEncryption enc;
    ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, strength, "s3cret"));
    for (size_t n : {0, 1, 15, 16, 17, 8191, 8192, 8193, 8192 + 16, 20000}) {
      SCOPED_TRACE(testing::Message() << "strength " << strength << ", " << n << " bytes");
      const auto data = random_bytes(n, static_cast<unsigned>(n + strength));
      MemoryOutput out;
      Written w = write_one(out, data, enc, 0);
      ASSERT_EQ(0, w.rc);
      EXPECT_EQ(0x0041, w.item.flags & 0x0049);
      EXPECT_EQ(enc.stored_nbytes(n, false), w.item.compressed_size);
      EXPECT_EQ(n, w.item.uncompressed_size);
      // IV size 0: the IV is the CRC and the size; header 294 bytes with remaining size 288.
      EXPECT_EQ(0, le16(w.archive, w.item.data_offset));
      EXPECT_EQ(288u, zip::get_le32(w.archive.data() + w.item.data_offset + 2));
      EXPECT_EQ(data, read_back(w, "s3cret"));
      int open_rc = 0;
      read_back(w, "s3cret!", &open_rc);
      EXPECT_EQ(OU_BAD_PASSWORD, open_rc);
    }
  }
}

TEST(StrongEncryptionWriting, ThirtyTwoBytesOfDeflatedDataTake294Plus48) {
  const auto data = deflating_to(32);
  ASSERT_FALSE(data.empty());
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 3, "pw"));
  MemoryOutput out;
  Written w = write_one(out, data, enc, 8);
  ASSERT_EQ(0, w.rc);
  EXPECT_EQ(8, w.item.method);
  EXPECT_EQ(294u + 48, w.item.compressed_size);
  EXPECT_EQ(0, w.item.flags & 0x0008);
  EXPECT_EQ(data, read_back(w, "pw"));
  // Versions 51, and the 0x0017 block in both headers.
  EXPECT_EQ(51, w.record.header.version_needed & 0xFF);
  EXPECT_EQ(51, w.record.header.version_made_by & 0xFF);
  const std::vector<uint8_t> block = enc.extra_block();
  EXPECT_EQ(block, w.item.extra_block(0x0017));
  EXPECT_NE(w.item.local_extra.end(),
            std::search(w.item.local_extra.begin(), w.item.local_extra.end(), block.begin(), block.end()));
}

TEST(StrongEncryptionWriting, WithoutRepositioningTheIvIsStoredAndSizesFollowTheData) {
  const auto data = deflating_to(32);
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 3, "pw"));
  std::vector<uint8_t> ivs[2];
  for (auto& iv : ivs) {
    StreamOutput out;
    Written w = write_one(out, data, enc, 8);
    ASSERT_EQ(0, w.rc);
    EXPECT_EQ(0x0049, w.item.flags & 0x0049);
    // Header with IV, then the deflated data (its trees are the streaming
    // kind here) padded to whole blocks.
    auto raw = run_decrypt(w.archive, w.item, "pw");
    ASSERT_EQ(0, raw.open_rc);
    EXPECT_EQ(310u + (raw.data.size() / 16 + 1) * 16, w.item.compressed_size);
    ASSERT_EQ(16, le16(w.archive, w.item.data_offset));
    iv.assign(w.archive.begin() + w.item.data_offset + 2, w.archive.begin() + w.item.data_offset + 18);
    EXPECT_EQ(data, read_back(w, "pw"));
    // The data descriptor after the data holds the same CRC and sizes.
    const size_t descriptor = w.item.data_offset + w.item.compressed_size;
    EXPECT_EQ(zip::kDataDescriptorSignature, zip::get_le32(w.archive.data() + descriptor));
    EXPECT_EQ(w.item.crc32, zip::get_le32(w.archive.data() + descriptor + 4));
    EXPECT_EQ(w.item.compressed_size, zip::get_le32(w.archive.data() + descriptor + 8));
    EXPECT_EQ(data.size(), zip::get_le32(w.archive.data() + descriptor + 12));
  }
  EXPECT_NE(ivs[0], ivs[1]);
  EXPECT_NE(std::vector<uint8_t>(16, 0), ivs[0]);
}

TEST(StrongEncryptionWriting, StreamedDataOfEverySizeRoundTrips) {
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 1, "pw"));
  for (size_t n : {0, 5, 16, 70000}) {
    SCOPED_TRACE(n);
    const auto data = random_bytes(n, 3);
    StreamOutput out;
    Written w = write_one(out, data, enc, 0);
    ASSERT_EQ(0, w.rc);
    EXPECT_EQ(enc.stored_nbytes(n, true), w.item.compressed_size);
    EXPECT_EQ(data, read_back(w, "pw"));
  }
}

// ---- traditional --------------------------------------------------------------------------

/// The 12 header bytes of @p w decrypted with @p password.
std::vector<uint8_t> traditional_header(const Written& w, const char* password) {
  std::vector<uint8_t> h(w.archive.begin() + w.item.data_offset, w.archive.begin() + w.item.data_offset + 12);
  TraditionalCipher c;
  c.init(reinterpret_cast<const uint8_t*>(password), std::strlen(password));
  c.decrypt(h.data(), h.size());
  return h;
}

TEST(TraditionalWriting, CheckByteIsTheCrcOrWithFlagBit3TheDosTime) {
  const auto data = deflating_to(32);
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kTraditional, 0, "pw"));
  MemoryOutput in_place;
  Written a = write_one(in_place, data, enc, 8);
  ASSERT_EQ(0, a.rc);
  EXPECT_EQ(0x0001, a.item.flags & 0x0049);
  EXPECT_EQ(32u + 12, a.item.compressed_size);
  auto header = traditional_header(a, "pw");
  EXPECT_EQ(a.item.crc32 >> 24, header[11]);
  EXPECT_EQ(static_cast<uint8_t>(~header[11]), header[10]);
  EXPECT_EQ(data, read_back(a, "pw"));

  StreamOutput streamed;
  Written b = write_one(streamed, data, enc, 8);
  ASSERT_EQ(0, b.rc);
  EXPECT_EQ(0x0009, b.item.flags & 0x0049);
  EXPECT_EQ(12u + run_decrypt(b.archive, b.item, "pw").data.size(), b.item.compressed_size);
  ASSERT_NE((kDosDateTime >> 8) & 0xFF, a.item.crc32 >> 24) << "choose a time that tells the two apart";
  EXPECT_EQ((kDosDateTime >> 8) & 0xFF, traditional_header(b, "pw")[11]);
  EXPECT_EQ(data, read_back(b, "pw"));
}

TEST(TraditionalWriting, HeadersNeverRepeatAndEmptyDataIsTheHeaderAlone) {
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kTraditional, 0, "pw"));
  const auto data = random_bytes(100, 1);
  MemoryOutput o1, o2;
  Written a = write_one(o1, data, enc, 0), b = write_one(o2, data, enc, 0);
  ASSERT_EQ(0, a.rc);
  ASSERT_EQ(0, b.rc);
  // Same data, same second: the random bytes still differ, and so does the cipher text.
  EXPECT_NE(traditional_header(a, "pw"), traditional_header(b, "pw"));
  EXPECT_NE(std::vector<uint8_t>(a.archive.begin() + a.item.data_offset + 12, a.archive.begin() + a.item.data_offset + 112),
            std::vector<uint8_t>(b.archive.begin() + b.item.data_offset + 12, b.archive.begin() + b.item.data_offset + 112));
  MemoryOutput o3;
  Written empty = write_one(o3, {}, enc, 0);
  ASSERT_EQ(0, empty.rc);
  EXPECT_EQ(12u, empty.item.compressed_size);
  EXPECT_TRUE(read_back(empty, "pw").empty());
  // A wrong password: refused by the check byte, or (1 in 256) caught by the content.
  int open_rc = 0;
  auto wrong = read_back(a, "px", &open_rc);
  EXPECT_TRUE(open_rc == OU_BAD_PASSWORD || wrong != data);
}

// ---- the in-place pass ------------------------------------------------------------------------

TEST(InPlacePass, ReportsEachBlockAndStopsOnCancel) {
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 2, "pw"));
  const auto data = random_bytes(3 * 8192 + 100, 9);
  PassObserver seen;
  MemoryOutput out;
  Written w = write_one(out, data, enc, 0, &seen);
  ASSERT_EQ(0, w.rc);
  EXPECT_EQ(4, out.read_backs);
  ASSERT_EQ(4u, seen.calls.size());
  EXPECT_EQ(std::make_pair(uint64_t{8192}, uint64_t{data.size()}), seen.calls[0]);
  EXPECT_EQ(std::make_pair(uint64_t{data.size()}, uint64_t{data.size()}), seen.calls[3]);

  PassObserver cancelling;
  cancelling.cancel_at = 8192;
  MemoryOutput out2;
  EXPECT_EQ(OZ_INTERRUPTED, write_one(out2, data, enc, 0, &cancelling).rc);
  EXPECT_EQ(1u, cancelling.calls.size());
}

TEST(InPlacePass, AReadBackFailureIsAReadFailure) {
  for (WriteScheme scheme : {WriteScheme::kTraditional, WriteScheme::kStrongAes}) {
    WriteEncryption enc;
    ASSERT_EQ(0, enc.setup(scheme, 1, "pw"));
    MemoryOutput out;
    out.fail_read_back = true;
    EXPECT_EQ(OZ_READ_FAILED, write_one(out, random_bytes(50, 2), enc, 0).rc);
  }
}

TEST(InPlacePass, RefusesARangeThatIsNotTheOutputsEnd) {
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kTraditional, 0, "pw"));
  EntryCipher cipher(enc);
  std::vector<uint8_t> header;
  ASSERT_EQ(0, cipher.start({}, &header));
  MemoryOutput out;
  out.bytes.assign(100, 0);
  EXPECT_EQ(OZ_INTERNAL, encrypt_in_place(out, 10, 50, cipher, nullptr));
  EXPECT_EQ(std::vector<uint8_t>(100, 0), out.bytes);
}

TEST(InPlacePass, ReadsBackAcrossTheFileOutputsBufferAndTheFile) {
  // 600 KB stored: the file output has written the start of the data to the
  // file and holds the rest in its 256 KiB buffer when the pass begins.
  const std::string dir = testenv::make_temp_dir("encrypt-file");
  platform::File file;
  ASSERT_EQ(0, file.open(dir + "/a.zip", platform::File::Mode::kCreate));
  FileArchiveOutput out(file, 0, OZ_TEMP_FAILED);
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 3, "pw"));
  const auto data = random_bytes(600000, 8);
  EntrySource source;
  source.name = "big.bin";
  source.dos_datetime = kDosDateTime;
  source.size = data.size();
  EntrySettings settings;
  settings.compression = {0, 0};
  settings.encryption = &enc;
  MemorySource in(data.data(), data.size());
  DeflateCompressor compressor;
  CentralRecord record;
  std::string detail;
  ASSERT_EQ(0, write_entry(out, source, &in, settings, compressor, nullptr, &record, &detail));
  ASSERT_EQ(0, write_central_directory(out, {record}, {}, false));
  ASSERT_EQ(0, out.finish());
  file.close();
  Written w;
  w.archive = testenv::read_file(dir + "/a.zip");
  w.item = testenv::walk_zip(w.archive).at(0);
  EXPECT_EQ(294u + 600000 + 16 - 600000 % 16, w.item.compressed_size);
  EXPECT_EQ(data, read_back(w, "pw"));
}

TEST(EncryptingSinkTest, PiecesOfAnySizeComeBackThroughTheReader) {
  // Writes in odd-sized pieces; the reader gets the bytes back, padded to whole blocks.
  WriteEncryption enc;
  ASSERT_EQ(0, enc.setup(WriteScheme::kStrongAes, 3, "pw"));
  const auto data = random_bytes(1000, 4);
  EntryCipher cipher(enc);
  std::vector<uint8_t> header;
  EncryptionHeaderInput input;
  input.streaming = true;
  ASSERT_EQ(0, cipher.start(input, &header));
  VectorSink out;
  EncryptingSink sink(cipher, out);
  size_t at = 0, step = 1;
  while (at < data.size()) {
    size_t n = std::min(step, data.size() - at);
    ASSERT_EQ(0, sink.write(data.data() + at, n));
    at += n;
    step = step * 3 % 97 + 1;
  }
  ASSERT_EQ(0, sink.finish());
  EXPECT_EQ(1008u, sink.out_nbytes());
  ASSERT_EQ(1008u, out.bytes().size());

  // Decrypt through the reader: header + data as an item of flag bit 3.
  std::vector<uint8_t> raw = header;
  raw.insert(raw.end(), out.bytes().begin(), out.bytes().end());
  const auto block = enc.extra_block();
  ItemDataInfo info;
  info.flags = 0x0049;
  info.compressed_size = raw.size();
  info.uncompressed_size = data.size();
  info.strong_block = block.data();
  info.strong_block_nbytes = block.size();
  info.password = "pw";
  auto run = decrypt_test::run_decrypt_info(info, raw);
  ASSERT_EQ(0, run.open_rc);
  EXPECT_EQ(data, run.data);
}

}  // namespace
