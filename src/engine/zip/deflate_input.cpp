/* engine/zip/deflate_input.cpp - the read function of an entry being compressed.
 *
 * Conversion works in place: the source fills the upper half of the caller's
 * buffer and the converted bytes are written from the start; the write position
 * never passes the read position because each input byte yields at most two.
 */
#include "engine/zip/deflate_input.h"

#include <cstring>

#include "engine/common/crc32.h"
#include "ostrana_results.h"

namespace ostrana {

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
  m_crc = crc32(m_crc, data, nbytes);
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
    m_error = m_source.error() != 0 ? m_source.error() : OZ_READ_FAILED;
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
    m_error = OZ_INTERRUPTED;
    return -1;
  }
  return static_cast<std::ptrdiff_t>(delivered);
}

}  // namespace ostrana
