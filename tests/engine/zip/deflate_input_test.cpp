/* tests/engine/zip/deflate_input_test.cpp - the entry reader: CRC, size, progress, cancel, text, line ends.
 *
 * Risks: a CRC or size that is not that of the stored (converted) data; line
 * ends converted wrongly across read boundaries or doubled in CR LF text; the
 * binary warning shown more than once or not at all, or stopping the
 * conversion; a cancel or read failure that is lost.
 */
#include <gtest/gtest.h>

#include <string>

#include "deflate_test_util.h"
#include "engine/zip/deflate_input.h"
#include "reference_inflate.h"

using namespace deflatetest;
using ostrana::DataType;
using ostrana::EntryReader;

namespace {

class RecordingObserver final : public ostrana::EntryReadObserver {
 public:
  int progress(uint64_t source_nbytes) override {
    reports.push_back(source_nbytes);
    return cancel_after != 0 && source_nbytes >= cancel_after ? 1 : 0;
  }
  void warning(const char* text) override { warnings.push_back(text); }

  std::vector<uint64_t> reports;
  std::vector<std::string> warnings;
  uint64_t cancel_after = 0;
};

/// Everything the reader delivers, read with buffers of @p avail bytes.
Bytes drain(EntryReader& reader, size_t avail) {
  Bytes out, buf(avail);
  for (;;) {
    std::ptrdiff_t n = reader.read(buf.data(), buf.size());
    if (n <= 0) {
      EXPECT_EQ(n, 0);
      return out;
    }
    out.insert(out.end(), buf.begin(), buf.begin() + n);
  }
}

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

/// The CRC-32 of @p data computed bit by bit from the polynomial (a control).
uint32_t slowCrc(const Bytes& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : data) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace

TEST(EntryReader, CrcSizeAndProgressOfPlainData) {
  Bytes data = makeBinary(300000, 51);
  ostrana::MemorySource src(data.data(), data.size());
  RecordingObserver obs;
  EntryReader reader(src, false, &obs);
  Bytes got = drain(reader, 65536);
  EXPECT_TRUE(got == data);
  EXPECT_EQ(reader.crc(), slowCrc(data));
  EXPECT_EQ(reader.nbytes(), data.size());
  EXPECT_EQ(reader.sourceNbytes(), data.size());
  ASSERT_FALSE(obs.reports.empty());
  EXPECT_EQ(obs.reports.back(), data.size());
  for (size_t i = 1; i < obs.reports.size(); ++i) EXPECT_GT(obs.reports[i], obs.reports[i - 1]);
  EXPECT_TRUE(obs.warnings.empty());
  // Known values: CRC-32 of "123456789" is 0xCBF43926; of nothing, 0.
  Bytes check = toBytes("123456789");
  ostrana::MemorySource s2(check.data(), check.size());
  EntryReader r2(s2, false, nullptr);
  drain(r2, 4);
  EXPECT_EQ(r2.crc(), 0xCBF43926u);
  ostrana::MemorySource s3(nullptr, 0);
  EntryReader r3(s3, false, nullptr);
  drain(r3, 16);
  EXPECT_EQ(r3.crc(), 0u);
  EXPECT_EQ(r3.nbytes(), 0u);
}

TEST(EntryReader, LineEndsBecomeCrLfAcrossEveryBufferSize) {
  const Bytes text = toBytes("one\ntwo\r\nthree\n\nfour\r\r\nend\n");
  const Bytes want = toBytes("one\r\ntwo\r\nthree\r\n\r\nfour\r\r\nend\r\n");
  for (size_t avail : {1u, 2u, 3u, 4u, 5u, 7u, 64u}) {
    ostrana::MemorySource src(text.data(), text.size());
    EntryReader reader(src, true, nullptr);
    Bytes got = drain(reader, avail);
    EXPECT_EQ(std::string(got.begin(), got.end()), std::string(want.begin(), want.end())) << avail;
    EXPECT_EQ(reader.nbytes(), want.size());
    EXPECT_EQ(reader.sourceNbytes(), text.size());
    EXPECT_EQ(reader.crc(), slowCrc(want)) << "the CRC is that of the converted data";
    EXPECT_EQ(reader.dataType(), DataType::kText);
  }
}

TEST(EntryReader, BinaryWithConversionWarnsOnceAndIsStillConverted) {
  Bytes data = makeRandom(200000, 52);
  size_t lfs = 0;
  for (uint8_t b : data) lfs += b == '\n';
  ASSERT_GT(lfs, 100u);
  ostrana::MemorySource src(data.data(), data.size());
  RecordingObserver obs;
  EntryReader reader(src, true, &obs);
  Bytes got = drain(reader, 8192);
  ASSERT_EQ(obs.warnings.size(), 1u);
  EXPECT_EQ(obs.warnings[0], "can not translate EOL in binary files");
  EXPECT_EQ(reader.dataType(), DataType::kBinary);
  EXPECT_GT(got.size(), data.size());
  // Every line feed not preceded by a carriage return in the source gets one.
  Bytes want;
  uint8_t prev = 0;
  for (uint8_t b : data) {
    if (b == '\n' && prev != '\r') want.push_back('\r');
    want.push_back(b);
    prev = b;
  }
  EXPECT_TRUE(got == want);
  EXPECT_EQ(reader.crc(), slowCrc(want));

  // The same binary without conversion: no warning.
  ostrana::MemorySource src2(data.data(), data.size());
  RecordingObserver quiet;
  EntryReader plain(src2, false, &quiet);
  drain(plain, 8192);
  EXPECT_TRUE(quiet.warnings.empty());
  EXPECT_EQ(plain.dataType(), DataType::kBinary);
}

TEST(EntryReader, ConvertedEntryThroughTheCompressor) {
  // The compressor asks for large buffers; the stream holds the converted data.
  Bytes text = makeText(150000, 53);
  Bytes want;
  for (uint8_t b : text) {
    if (b == '\n') want.push_back('\r');
    want.push_back(b);
  }
  ostrana::MemorySource src(text.data(), text.size());
  RecordingObserver obs;
  EntryReader reader(src, true, &obs);
  ostrana::DeflateCompressor c;
  ostrana::VectorSink sink;
  ostrana::DeflateResult res;
  ASSERT_EQ(c.compress(reader, sink, options(7, false), &res), 0);
  EXPECT_EQ(res.in_nbytes, want.size());
  EXPECT_EQ(reader.crc(), slowCrc(want));
  EXPECT_TRUE(obs.warnings.empty()) << "text gives no warning";
  refinflate::Result r = refinflate::inflate(sink.bytes().data(), sink.bytes().size(), false);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.data == want);
}

TEST(EntryReader, ClassificationBoundary) {
  uint64_t counts[256] = {};
  counts[static_cast<unsigned char>('a')] = 400;
  counts[0] = 100;  // 400 / 4 = 100 >= 100: text
  EXPECT_EQ(ostrana::classifyData(counts), DataType::kText);
  counts[200] = 1;  // 101 binary bytes: binary
  EXPECT_EQ(ostrana::classifyData(counts), DataType::kBinary);
  uint64_t edges[256] = {};
  edges[7] = 4;
  edges[127] = 4;
  edges[6] = 1;
  edges[128] = 1;  // 8 / 4 = 2 >= 2: text; bytes 6 and 128 count as binary, 7 and 127 as text
  EXPECT_EQ(ostrana::classifyData(edges), DataType::kText);
  edges[255] = 1;
  EXPECT_EQ(ostrana::classifyData(edges), DataType::kBinary);
}

TEST(EntryReader, OnlyTheFirst64KiBDecide) {
  Bytes data = makeText(EntryReader::kClassifyNbytes, 54);
  Bytes tail = makeRandom(300000, 55);
  data.insert(data.end(), tail.begin(), tail.end());
  ostrana::MemorySource src(data.data(), data.size());
  RecordingObserver obs;
  EntryReader reader(src, true, &obs);
  Bytes buf(1000);
  reader.read(buf.data(), buf.size());
  EXPECT_EQ(reader.dataType(), DataType::kUnknown) << "undecided before 64 KiB";
  drain(reader, 4096);
  EXPECT_EQ(reader.dataType(), DataType::kText);
  EXPECT_TRUE(obs.warnings.empty());
}

TEST(EntryReader, CancelAndReadFailure) {
  Bytes data = makeText(500000, 56);
  ostrana::MemorySource src(data.data(), data.size());
  RecordingObserver obs;
  obs.cancel_after = 100000;
  EntryReader reader(src, false, &obs);
  ostrana::DeflateCompressor c;
  ostrana::VectorSink sink;
  EXPECT_EQ(c.compress(reader, sink, options(6, false), nullptr), 9) << "a cancel from the progress hook";
  EXPECT_EQ(reader.error(), 9);
  Bytes buf(16);
  EXPECT_EQ(reader.read(buf.data(), buf.size()), -1) << "stays failed";

  class Broken final : public ostrana::ByteSource {
   public:
    std::ptrdiff_t read(uint8_t*, size_t) override { return -1; }
  } broken;
  EntryReader r2(broken, true, nullptr);
  EXPECT_EQ(c.compress(r2, sink, options(6, true), nullptr), 11) << "a read failure without a code is 11";
  EXPECT_EQ(r2.error(), 11);
}
