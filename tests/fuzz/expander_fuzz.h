/* tests/fuzz/expander_fuzz.h - the shared harness of the expanders' fuzz targets.
 *
 * Input: byte 0 chooses the variant (target specific: mode, flags, factor)
 * and how the source splits the data; bytes 1-3 are the item's uncompressed
 * size (little-endian, the low 20 bits: at most 1 MiB); the rest is the
 * compressed data.
 *
 * Each input is expanded twice through the engine's driver: once with the
 * data in one piece and once handed out in small pieces.  Both runs must end
 * with the same result and the same output (the buffer boundaries must not
 * matter), no sink write may exceed the output buffer size, and nothing may
 * read or write outside its buffers (AddressSanitizer).  A mismatch aborts.
 * The sink takes at most 1 MiB per run and then reports itself full.
 */
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/unzip/expand.h"

namespace fuzz {

class PieceSource final : public ostrana::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t nbytes, size_t piece) : m_data(data), m_left(nbytes), m_piece(piece) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t n = avail < m_left ? avail : m_left;
    if (m_piece != 0 && n > m_piece) n = m_piece;
    if (n != 0) std::memcpy(buf, m_data, n);
    m_data += n;
    m_left -= n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  const uint8_t* m_data;
  size_t m_left;
  size_t m_piece;
};

/// Output kept per run at most, like a memory block: beyond it the sink says
/// "full" (so a bomb in the memory modes costs the fuzzer little time).
constexpr size_t kSinkCapacity = 1 << 20;

class CheckSink final : public ostrana::ByteSink {
 public:
  explicit CheckSink(size_t largest) : m_largest(largest) {}
  int write(const uint8_t* data, size_t nbytes) override {
    if (nbytes == 0 || nbytes > m_largest) {
      std::fprintf(stderr, "sink write of %zu bytes (largest allowed %zu)\n", nbytes, m_largest);
      std::abort();
    }
    if (bytes.size() + nbytes > kSinkCapacity) return ostrana::kExpandOutputFull;
    bytes.insert(bytes.end(), data, data + nbytes);
    return 0;
  }
  std::vector<uint8_t> bytes;

 private:
  size_t m_largest;
};

struct Result {
  int rc = 0;
  std::vector<uint8_t> out;
};

/// Runs one input; @p method and @p flags are the target's choice, @p mode
/// the output mode.
inline Result run(uint16_t method, uint16_t flags, ostrana::ExpandMode mode, uint64_t compressed_claim,
                const uint8_t* data, size_t size, unsigned piece_selector) {
  if (size < 4) return {};
  const uint64_t usize = (data[1] | data[2] << 8 | uint32_t{data[3]} << 16) & 0xFFFFF;
  data += 4;
  size -= 4;
  const size_t largest = mode == ostrana::ExpandMode::kToFile ? 61440 : 8192;
  static const size_t kPieces[] = {1, 2, 3, 7, 64, 1000, 4096, 9999};
  // One object for every run of the process: buffers and tables left by one
  // input must not change the result of the next.
  static ostrana::Expander expander;

  int rc[2];
  std::vector<uint8_t> out[2];
  for (int pass = 0; pass < 2; ++pass) {
    PieceSource src(data, size, pass == 0 ? 0 : kPieces[piece_selector % 8]);
    CheckSink sink(largest);
    ostrana::ExpandRequest r;
    r.method = method;
    r.flags = flags;
    r.compressed_nbytes = compressed_claim != 0 ? compressed_claim : size;
    r.uncompressed_nbytes = usize;
    r.mode = mode;
    r.source = &src;
    r.sink = &sink;
    rc[pass] = expander.expand(r);
    out[pass] = std::move(sink.bytes);
    if (expander.out_nbytes() != out[pass].size()) std::abort();
    // The legacy expanders stop at the item's size; inflate outside the
    // memory modes stops 1,000 bytes beyond it.
    if (method != ostrana::zip::kMethodDeflate && method != ostrana::zip::kMethodDeflate64 &&
        method != ostrana::zip::kMethodStore && out[pass].size() > usize)
      std::abort();
    if (mode == ostrana::ExpandMode::kToFile && out[pass].size() > usize + 1000) std::abort();
  }
  if (rc[0] != rc[1] || out[0] != out[1]) {
    std::fprintf(stderr, "whole: rc %d, %zu bytes; in pieces: rc %d, %zu bytes\n", rc[0], out[0].size(), rc[1],
                 out[1].size());
    std::abort();
  }
  switch (rc[0]) {
    case ostrana::kExpandOk:
    case ostrana::kExpandDamaged:
    case ostrana::kExpandOvergrown:
    case ostrana::kExpandOutputFull:
      break;
    default:
      std::fprintf(stderr, "unexpected result %d\n", rc[0]);
      std::abort();
  }
  return {rc[0], std::move(out[0])};
}

}  // namespace fuzz
