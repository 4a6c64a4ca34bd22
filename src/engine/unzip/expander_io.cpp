/* engine/unzip/expander_io.cpp - buffering of the expanders' input and output.
 *
 * The slow paths only: the hot loops of the expanders work on the fields of
 * BitInput and OutputWindow directly.  See expander_io.h.
 */
#include "engine/unzip/expander_io.h"

#include <algorithm>
#include <new>

namespace ostrana {

// ---- BitInput ---------------------------------------------------------------

bool BitInput::reserve(size_t buffer_nbytes) {
  if (m_buf && m_buf_nbytes >= buffer_nbytes) return true;
  m_buf.reset(new (std::nothrow) uint8_t[buffer_nbytes + kWordSlack]);
  m_buf_nbytes = m_buf ? buffer_nbytes : 0;
  return m_buf != nullptr;
}

void BitInput::start(ByteSource* source) {
  m_source = source;
  m_next = m_end = m_buf.get();
  m_bits = 0;
  m_nbits = 0;
  m_pad_bits = 0;
  m_eof = false;
  m_read_nbytes = 0;
}

bool BitInput::fill_buffer() {
  if (m_eof) return true;
  uint8_t* buf = m_buf.get();
  const size_t keep = static_cast<size_t>(m_end - m_next);
  if (keep != 0 && m_next != buf) std::memmove(buf, m_next, keep);
  size_t have = keep;
  // Fill the buffer as far as the source goes: a source may hand over less than
  // asked (a volume boundary, a decryption block) without having ended.
  while (have < m_buf_nbytes) {
    std::ptrdiff_t n = m_source->read(buf + have, m_buf_nbytes - have);
    if (n < 0) {
      m_next = buf;
      m_end = buf + have;
      return false;
    }
    if (n == 0) {
      m_eof = true;
      break;
    }
    have += static_cast<size_t>(n);
    m_read_nbytes += static_cast<uint64_t>(n);
  }
  m_next = buf;
  m_end = buf + have;
  std::memset(buf + have, 0, kWordSlack);
  return true;
}

bool BitInput::refill_careful() {
  while (m_nbits <= 56) {
    if (m_next == m_end) {
      if (!m_eof) {
        if (!fill_buffer()) return false;
        continue;
      }
      // Past the end: zero padding, counted so that consuming it is noticed.
      // The padding never grows beyond one bit buffer, however often a
      // (broken) caller refills without consuming.
      m_nbits += 8;
      m_pad_bits += 8;
      continue;
    }
    m_bits |= uint64_t{*m_next++} << m_nbits;
    m_nbits += 8;
  }
  return true;
}

bool BitInput::bytes_remain() {
  if (real_bits() >= 8 || m_next != m_end) return true;
  if (m_eof) return false;
  if (!fill_buffer()) return false;
  return m_next != m_end;
}

// ---- OutputWindow -----------------------------------------------------------

bool OutputWindow::reserve(size_t window_nbytes, size_t room_nbytes) {
  const size_t need = window_nbytes + room_nbytes + kSlack;
  if (!m_buf || m_capacity < need) {
    m_buf.reset(new (std::nothrow) uint8_t[need]);
    m_capacity = m_buf ? need : 0;
    if (!m_buf) return false;
  }
  m_window = window_nbytes;
  m_limit = m_buf.get() + window_nbytes + room_nbytes;
  return true;
}

void OutputWindow::start(ByteSink* sink, size_t chunk_nbytes, bool zero_history, uint64_t expected_nbytes) {
  m_sink = sink;
  m_chunk = chunk_nbytes;
  m_stop_code = 0;
  m_delivered = 0;
  uint8_t* buf = m_buf.get();
  if (zero_history) std::memset(buf, 0, m_window);
  m_pos = m_flushed = zero_history ? buf + m_window : buf;
  // Bytes past the item's expected size are never handed on; filling them
  // would only cost time on small items.
  size_t fill = std::min(chunk_nbytes, static_cast<size_t>(m_limit - m_pos));
  if (expected_nbytes < fill) fill = static_cast<size_t>(expected_nbytes);
  std::memset(m_pos, 0xAA, fill);
}

bool OutputWindow::deliver() {
  while (m_flushed < m_pos) {
    const size_t n = std::min(m_chunk, static_cast<size_t>(m_pos - m_flushed));
    const int rc = m_sink->write(m_flushed, n);
    if (rc != 0) {
      m_stop_code = rc;
      return false;
    }
    m_flushed += n;
    m_delivered += n;
  }
  return true;
}

bool OutputWindow::flush() {
  if (!deliver()) return false;
  uint8_t* buf = m_buf.get();
  const size_t keep = std::min(m_window, static_cast<size_t>(m_pos - buf));
  if (m_pos - keep != buf) std::memmove(buf, m_pos - keep, keep);
  m_pos = m_flushed = buf + keep;
  return true;
}

bool OutputWindow::finish() { return deliver(); }

}  // namespace ostrana
