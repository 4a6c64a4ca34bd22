/* engine/zip/deflate_input.cpp - the read function of an entry being compressed.
 *
 * Conversion works in place: the source fills the upper half of the caller's
 * buffer and the converted bytes are written from the start; the write position
 * never passes the read position because each input byte yields at most two.
 */
#include "engine/zip/deflate_input.h"

#include <cstring>

namespace ostrana {

namespace {

constexpr int kReadFailure = 11;  // "Input file read failure"
constexpr int kInterrupted = 9;   // "Operation interrupted by application"

// Bytewise CRC-32 (reflected 0xEDB88320); stands in until the engine's shared
// CRC-32 is available to this module.
struct CrcTable {
  uint32_t t[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
  }
};
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t nbytes) {
  static const CrcTable table;
  crc = ~crc;
  for (size_t i = 0; i < nbytes; ++i) crc = table.t[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace

DataType classifyData(const uint64_t* counts) {
  uint64_t text = 0, binary = 0;
  for (int b = 0; b < 256; ++b) {
    if (b >= 7 && b <= 127) text += counts[b];
    else binary += counts[b];
  }
  return text / 4 >= binary ? DataType::kText : DataType::kBinary;
}

EntryReader::EntryReader(ByteSource& source, bool convert_line_ends, EntryReadObserver* observer)
    : m_source(source), m_convert(convert_line_ends), m_observer(observer) {}

void EntryReader::count(const uint8_t* data, size_t nbytes) {
  uint64_t left = kClassifyNbytes - m_counted;
  size_t n = nbytes < left ? nbytes : static_cast<size_t>(left);
  for (size_t i = 0; i < n; ++i) ++m_counts[data[i]];
  m_counted += n;
  if (m_counted >= kClassifyNbytes) decide();
}

void EntryReader::decide() {
  m_type = classifyData(m_counts);
  if (m_type == DataType::kBinary && m_convert && m_observer) m_observer->warning(kBinaryEolWarning);
}

size_t EntryReader::convert(uint8_t* buf, const uint8_t* in, size_t nread) {
  size_t out = 0;
  bool cr = m_lastWasCr;
  for (size_t i = 0; i < nread; ++i) {
    uint8_t c = in[i];
    if (c == '\n' && !cr) buf[out++] = '\r';
    buf[out++] = c;
    cr = c == '\r';
  }
  m_lastWasCr = cr;
  return out;
}

void EntryReader::deliver(const uint8_t* data, size_t nbytes) {
  m_crc = crc32Update(m_crc, data, nbytes);
  m_delivered += nbytes;
  if (m_type == DataType::kUnknown) count(data, nbytes);
}

std::ptrdiff_t EntryReader::read(uint8_t* buf, size_t avail) {
  if (m_error != 0) return -1;
  if (avail == 0) return 0;
  if (m_pendingLf) {  // the second half of a pair that did not fit a one-byte buffer
    buf[0] = '\n';
    m_pendingLf = false;
    m_lastWasCr = false;
    deliver(buf, 1);
    return 1;
  }
  if (m_ended) return 0;
  size_t ask = m_convert ? (avail > 1 ? avail / 2 : 1) : avail;
  std::ptrdiff_t n = m_source.read(buf + (avail - ask), ask);
  if (n < 0) {
    m_error = m_source.error() != 0 ? m_source.error() : kReadFailure;
    return -1;
  }
  if (n == 0) {
    m_ended = true;
    if (m_type == DataType::kUnknown) decide();
    return 0;
  }
  m_sourceRead += static_cast<uint64_t>(n);
  size_t delivered = static_cast<size_t>(n);
  if (m_convert) {
    if (avail == 1 && buf[0] == '\n' && !m_lastWasCr) {
      buf[0] = '\r';
      m_pendingLf = true;
      delivered = 1;
    } else {
      delivered = convert(buf, buf + (avail - ask), static_cast<size_t>(n));
    }
  }
  deliver(buf, delivered);
  if (m_observer && m_observer->progress(m_sourceRead) != 0) {
    m_error = kInterrupted;
    return -1;
  }
  return static_cast<std::ptrdiff_t>(delivered);
}

}  // namespace ostrana
