/* tests/engine/unzip/expander_test_support.h - helpers of the expander tests.
 *
 * Streams are built three ways: by an independent encoder (Python's zlib,
 * 7-Zip; files and processes through peer_run.h), by hand bit by bit
 * (BitWriter, for the hostile cases), or taken from the sample archives
 * (zip_walk.h).  Expanding goes through the engine's driver with
 * sources and sinks that can split the data into awkward pieces, so that
 * every buffer boundary of the expanders is crossed.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/unzip/expand.h"
#include "peer_run.h"
#include "zip_walk.h"

namespace exptest {

// ---- python, archives, CRC -----------------------------------------------------

/// Runs python3 with @p script (written to a file in @p dir) and @p args, for
/// scripts that write several files; fails the current test and returns false
/// when python does not exit 0.
bool run_python_in(const std::string& dir, const std::string& script, const std::vector<std::string>& args = {});

/// The stored data of @p item of @p archive.
std::vector<uint8_t> member_data(const std::vector<uint8_t>& archive, const testenv::WalkedItem& item);

/// CRC-32 computed bit by bit, independently of the engine's.
uint32_t reference_crc32(const std::vector<uint8_t>& data);

// ---- hand-built streams -----------------------------------------------------------

/// Packs fields least significant bit first, as deflate and the legacy formats do.
class BitWriter {
 public:
  /// Appends the @p n (at most 32) low bits of @p value, lowest first.
  void put(uint32_t value, unsigned n);
  /// Appends a Huffman codeword of @p n bits, most significant bit first.
  void put_code(uint32_t code, unsigned n);
  /// Pads with zero bits to the next byte boundary.
  void align();
  void put_byte(uint8_t b) { put(b, 8); }
  /// The bytes so far (a partial last byte padded with zeros).
  std::vector<uint8_t> bytes() const;

 private:
  std::vector<uint8_t> m_bytes;
  unsigned m_nbits = 0;  // bits used in the last byte (0..7)
};

/// Fixed Huffman codeword of a literal/length symbol (RFC 1951, 3.2.6).
void put_fixed_litlen(BitWriter& w, unsigned symbol);
/// A length (3..258) in the fixed code, its extra bits included.
void put_fixed_length(BitWriter& w, unsigned length);
/// A distance (1..32768, or up to 65536 for Deflate64) in the fixed code.
void put_fixed_distance(BitWriter& w, unsigned distance);

// ---- running the driver ------------------------------------------------------------

/// A source that hands out at most @p piece bytes per read (1 = byte by byte).
class PieceSource final : public ostrana::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t nbytes, size_t piece) : m_data(data), m_left(nbytes), m_piece(piece) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override;
  size_t remaining() const { return m_left; }

 private:
  const uint8_t* m_data;
  size_t m_left;
  size_t m_piece;
};

/// A sink that keeps everything, optionally refusing after a number of bytes.
class CollectSink final : public ostrana::ByteSink {
 public:
  int write(const uint8_t* data, size_t nbytes) override;
  std::vector<uint8_t> bytes;
  size_t writes = 0;
  size_t largest_write = 0;
  uint64_t refuse_after = UINT64_MAX;  ///< more than this many bytes in total: return refuse_code
  int refuse_code = ostrana::kExpandOutputFull;
};

struct ExpandOutcome {
  int rc = -1;
  std::vector<uint8_t> out;
  size_t writes = 0;
  size_t largest_write = 0;
};

/// Expands @p data with @p method through the driver.
/// @param size  the item's uncompressed size as the request tells it
/// @param piece largest read of the source (0: all at once)
ExpandOutcome expand(uint16_t method, const std::vector<uint8_t>& data, uint64_t size,
                     ostrana::ExpandMode mode = ostrana::ExpandMode::kToFile, uint16_t flags = 0,
                     size_t piece = 0);

}  // namespace exptest
