/* engine/unzip/expander_io.h - the input bits and the output window of the expanders.
 *
 * BitInput reads an item's compressed bytes from a ByteSource through one
 * large buffer and keeps a 64-bit bit buffer, filled least significant bit
 * first as every format of the ZIP expanders packs its bits.  The hot loops of
 * inflate take its fields into local variables and refill a word at a time;
 * the careful path (refill_careful) refills byte by byte near the end of the
 * data.  Once the source has ended, the careful refill appends zero bytes so
 * that table lookups may peek past the end; the count of those padding bits
 * tells when a decoder actually consumed them, which means the data ended
 * early.
 *
 * OutputWindow is the output buffer: history (the expander's window) followed
 * by room for new output.  An expander writes straight into it and copies
 * matches from the history; when the room runs low, flush() hands the new
 * bytes to the sink in pieces of at most the output buffer size and slides
 * the last window's worth of bytes to the front.  The buffer carries slack
 * past its limit so that word-sized match copies may overshoot.
 *
 * Memory per stream: the input buffer, window + room + slack for the output.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/common/byte_stream.h"

namespace ostrana {

/// How an expander's run ended.  The numbers are the expanders' own; the item
/// driver (expand.cpp) maps them to the engine's results.
enum class CodecStatus : int {
  kDone = 0,                ///< the data is complete
  kEndedBetweenBlocks = 1,  ///< inflate: input ended at a block boundary, no final block seen
  kDamaged = 2,             ///< invalid data, or data that ends early
  kNoMemory = 3,            ///< tables or buffers could not be allocated
  kDoneInputLeft = 5,       ///< explode: output complete, compressed bytes left unread
  kStopped = 100,           ///< the sink refused more data; OutputWindow::stop_code() says why
  kInputFailed = 101,       ///< the source failed; its error() says why
};

inline uint64_t load_le64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

/// Compressed input: a buffer over a ByteSource and an LSB-first bit buffer.
class BitInput {
 public:
  /// Zero bytes the buffer keeps readable past its data for word loads: the
  /// inflater's last loop loads a word up to 8 bytes past the end.
  static constexpr size_t kWordSlack = 16;

  /// Allocates the buffer (once; a larger request reallocates).  False on failure.
  bool reserve(size_t buffer_nbytes);
  /// Starts reading @p source from its beginning.
  void start(ByteSource* source);

  /// Moves the unread bytes to the front and reads more from the source.
  /// @return false when the source failed.
  bool fill_buffer();
  /// Makes at least 56 bits available, appending zero padding past the end of
  /// the data.  @return false when the source failed.
  bool refill_careful();
  /// The same, a word at a time while the buffer holds at least 8 bytes.
  bool refill() {
    if (m_end - m_next < 8) return refill_careful();
    m_bits |= load_le64(m_next) << m_nbits;
    m_next += (63 - m_nbits) >> 3;
    m_nbits |= 56;
    return true;
  }

  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(m_bits & ((uint64_t{1} << n) - 1)); }
  void consume(unsigned n) {
    m_bits >>= n;
    m_nbits -= n;
  }
  /// Takes @p n (at most 32) bits; the caller made them available.
  uint32_t take(unsigned n) {
    uint32_t v = peek(n);
    consume(n);
    return v;
  }
  /// True once a decoder consumed padding, i.e. read past the end of the data.
  bool overran() const { return m_nbits < m_pad_bits; }
  /// Real (not padding) bits still in the bit buffer.
  unsigned real_bits() const { return m_nbits >= m_pad_bits ? m_nbits - m_pad_bits : 0; }
  /// Drops the bits up to the next byte boundary (deflate's stored blocks).
  void align_to_byte() { consume(m_nbits & 7); }
  /// True when whole bytes of data remain unread (bit buffer, buffer or source).
  /// May read from the source; false also when it fails.
  bool bytes_remain();
  /// Bytes taken from the source so far.
  uint64_t read_nbytes() const { return m_read_nbytes; }
  ByteSource* source() const { return m_source; }

  // The hot loops work on copies of these and write them back.
  const uint8_t* m_next = nullptr;  ///< next unread byte of the buffer
  const uint8_t* m_end = nullptr;   ///< end of the data in the buffer
  uint64_t m_bits = 0;              ///< bit buffer; bits above m_nbits may hold the next bytes again
  unsigned m_nbits = 0;             ///< valid bits in m_bits
  unsigned m_pad_bits = 0;          ///< how many of those are padding after the end of the data
  bool m_eof = false;               ///< the source has no more bytes

 private:
  std::unique_ptr<uint8_t[]> m_buf;
  size_t m_buf_nbytes = 0;
  ByteSource* m_source = nullptr;
  uint64_t m_read_nbytes = 0;
};

/// Output buffer with history, delivering to a ByteSink.
class OutputWindow {
 public:
  /// Writes that may overshoot the limit (word copies of matches) stay within this.
  static constexpr size_t kSlack = 64;

  /// Allocates room for @p window_nbytes of history and @p room_nbytes of new
  /// output (reuses the buffer when it is large enough).  False on failure.
  bool reserve(size_t window_nbytes, size_t room_nbytes);

  /// Starts an item.  @p chunk_nbytes is the largest piece handed to the sink
  /// at a time (the output buffer size).  With @p zero_history the window
  /// starts full of zero bytes (imploding and reducing refer to them); without
  /// it, no match may reach before the first byte.  The first output buffer
  /// is filled with 0xAA, as far as the @p expected_nbytes of output reach.
  void start(ByteSink* sink, size_t chunk_nbytes, bool zero_history, uint64_t expected_nbytes);

  uint8_t* base() const { return m_buf.get(); }  ///< oldest byte a match may copy from
  uint8_t* pos() const { return m_pos; }
  uint8_t* limit() const { return m_limit; }
  void set_pos(uint8_t* p) { m_pos = p; }
  /// Bytes produced so far (delivered and pending).
  uint64_t total_out() const { return m_delivered + static_cast<uint64_t>(m_pos - m_flushed); }

  /// Delivers the pending bytes and slides the window.  @return false when the
  /// sink stopped (then stop_code() holds its code).
  bool flush();
  /// Delivers the pending bytes without sliding (the driver calls it after
  /// the expander returned).  @return false when the sink stopped.
  bool finish();
  int stop_code() const { return m_stop_code; }

  /// Appends one byte, flushing first when there is no room.
  bool put(uint8_t b) {
    if (m_pos == m_limit && !flush()) return false;
    *m_pos++ = b;
    return true;
  }

 private:
  bool deliver();

  std::unique_ptr<uint8_t[]> m_buf;
  size_t m_capacity = 0;   ///< bytes allocated, slack included
  size_t m_window = 0;     ///< history kept on a slide
  uint8_t* m_pos = nullptr;
  uint8_t* m_limit = nullptr;
  uint8_t* m_flushed = nullptr;  ///< first byte not yet delivered
  uint64_t m_delivered = 0;
  ByteSink* m_sink = nullptr;
  size_t m_chunk = 0;
  int m_stop_code = 0;
};

}  // namespace ostrana
