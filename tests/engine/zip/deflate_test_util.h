/* tests/engine/zip/deflate_test_util.h - inputs, sources, sinks and peer checks for the compressor tests.
 *
 * Inputs are made by a seeded generator so every run sees the same bytes.
 * PeerCheck collects streams in a temporary folder and hands them to
 * check_deflate_streams.py, which decodes method 8 with Python's zlib and
 * both methods with 7-Zip.
 */
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/zip/deflate.h"
#include "test_env.h"

namespace deflatetest {

using Bytes = std::vector<uint8_t>;

/// xorshift64*: a small seeded generator.
class Rng {
 public:
  explicit Rng(uint64_t seed) : m_s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next() {
    m_s ^= m_s >> 12;
    m_s ^= m_s << 25;
    m_s ^= m_s >> 27;
    return m_s * 0x2545F4914F6CDD1Dull;
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }

 private:
  uint64_t m_s;
};

/// English-like text: words from a small vocabulary, punctuation and line feeds.
inline Bytes makeText(size_t n, uint64_t seed) {
  static const char* const kWords[] = {
      "the",    "archive", "engine",  "deflate", "window", "match",   "block", "tree",   "of",
      "and",    "a",       "to",      "in",     "is",      "that",    "for",   "with",   "file",
      "folder", "entry",   "header",  "data",   "length",  "distance", "code", "Huffman", "zip",
      "stored", "level",   "compress", "ratio",  "speed",   "the",     "of",    "a",      "it"};
  Rng rng(seed);
  Bytes out;
  out.reserve(n + 16);
  while (out.size() < n) {
    const char* w = kWords[rng.below(sizeof kWords / sizeof kWords[0])];
    while (*w) out.push_back(static_cast<uint8_t>(*w++));
    uint32_t r = rng.below(20);
    out.push_back(r == 0 ? '\n' : r == 1 ? '.' : r == 2 ? ',' : ' ');
  }
  out.resize(n);
  return out;
}

/// Binary that compresses somewhat: records of small integers, repeated fields and noise.
inline Bytes makeBinary(size_t n, uint64_t seed) {
  Rng rng(seed);
  Bytes out;
  out.reserve(n + 32);
  uint32_t counter = 0;
  while (out.size() < n) {
    uint32_t kind = rng.below(4);
    if (kind == 0) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(counter >> (8 * i)));
      ++counter;
    } else if (kind == 1) {
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(rng.next()));
    } else {
      static const uint8_t kRecord[] = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0x48, 0x89, 0xE5, 0xC3};
      out.insert(out.end(), kRecord, kRecord + sizeof kRecord);
    }
  }
  out.resize(n);
  return out;
}

inline Bytes makeRandom(size_t n, uint64_t seed) {
  Rng rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng.next() >> 24);
  return out;
}

/// Compresses @p in with @p options in one call; fails the test on a non-zero result.
inline Bytes compress(ostrana::DeflateCompressor& c, const Bytes& in, const ostrana::DeflateOptions& options,
                      ostrana::DeflateResult* result_ret = nullptr) {
  ostrana::MemorySource src(in.data(), in.size());
  ostrana::VectorSink sink;
  ostrana::DeflateResult result;
  int rc = c.compress(src, sink, options, &result);
  EXPECT_EQ(rc, 0) << result.detail;
  EXPECT_EQ(result.in_nbytes, in.size());
  EXPECT_EQ(result.out_nbytes, sink.bytes().size());
  if (result_ret) *result_ret = result;
  return sink.bytes();
}

inline ostrana::DeflateOptions options(int level, bool deflate64) {
  ostrana::DeflateOptions o;
  o.level = level;
  o.deflate64 = deflate64;
  return o;
}

inline void writeFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  ASSERT_TRUE(f.good()) << path;
}

/// Streams for the peer decoders, checked all at once by run().
class PeerCheck {
 public:
  explicit PeerCheck(const std::string& hint) : m_dir(testenv::make_temp_dir(hint)) {}

  /// A stream whose original is kept beside it.
  void add(const std::string& name, const Bytes& stream, bool deflate64, const Bytes& original) {
    writeFile(m_dir + "/" + name + ".orig", original);
    addFile(name, stream, deflate64, name + ".orig", 0, 0);
  }

  /// A stream already in a file of the folder, known by the CRC and size of its original.
  void addKnown(const std::string& stream_file, bool deflate64, uint32_t crc, uint64_t size) {
    m_manifest += stream_file + "\t" + (deflate64 ? "9" : "8") + "\t-\t" + hex(crc) + "\t" +
                  std::to_string(size) + "\n";
  }

  const std::string& dir() const { return m_dir; }

  /// Runs the checker; fails the test with its report unless every stream passes.
  void run() {
    std::ofstream(m_dir + "/manifest.txt") << m_manifest;
    // From the test data folder, not __FILE__: a compiler cache may make that relative.
    std::string script = std::string(OSTRANA_TEST_DATA) + "/../engine/zip/check_deflate_streams.py";
    std::string cmd = "python3 '" + script + "' '" + m_dir + "' 2>&1";
    std::string report;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) report.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find(" passed, 0 failed"), std::string::npos) << report;
  }

 private:
  static std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", v);
    return b;
  }
  void addFile(const std::string& name, const Bytes& stream, bool deflate64, const std::string& original,
               uint32_t crc, uint64_t size) {
    std::string file = name + (deflate64 ? ".m9" : ".m8");
    writeFile(m_dir + "/" + file, stream);
    m_manifest += file + "\t" + (deflate64 ? "9" : "8") + "\t" + original + "\t" + hex(crc) + "\t" +
                  std::to_string(size) + "\n";
  }

  std::string m_dir;
  std::string m_manifest;
};

}  // namespace deflatetest
