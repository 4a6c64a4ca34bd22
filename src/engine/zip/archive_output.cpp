/* engine/zip/archive_output.cpp - the file output of the archive writer. */
#include "engine/zip/archive_output.h"

#include <cstring>

#include "platform/file.h"

namespace ostrana {
namespace {

constexpr size_t kBufferNbytes = 256 * 1024;

}  // namespace

FileArchiveOutput::FileArchiveOutput(platform::File& file, uint64_t start_offset, int failure_code)
    : m_file(file), m_base(start_offset), m_failure_code(failure_code) {
  m_buffer.reserve(kBufferNbytes);
}

int FileArchiveOutput::fail(int err) {
  if (m_code == 0) {
    m_code = m_failure_code;
    m_errno = err;
  }
  return m_code;
}

int FileArchiveOutput::flush() {
  if (m_code != 0) return m_code;
  if (m_buffer.empty()) return 0;
  if (int err = m_file.write_at(m_base, m_buffer.data(), m_buffer.size())) return fail(err);
  m_base += m_buffer.size();
  m_buffer.clear();
  return 0;
}

int FileArchiveOutput::write(const uint8_t* data, size_t nbytes) {
  if (m_code != 0) return m_code;
  while (nbytes != 0) {
    if (m_buffer.empty() && nbytes >= kBufferNbytes) {
      // Large pieces go straight to the file, without a copy.
      if (int err = m_file.write_at(m_base, data, nbytes)) return fail(err);
      m_base += nbytes;
      return 0;
    }
    size_t n = kBufferNbytes - m_buffer.size();
    if (n > nbytes) n = nbytes;
    m_buffer.insert(m_buffer.end(), data, data + n);
    data += n;
    nbytes -= n;
    if (m_buffer.size() == kBufferNbytes)
      if (int rc = flush()) return rc;
  }
  return 0;
}

int FileArchiveOutput::patch(uint64_t offset, const uint8_t* data, size_t nbytes) {
  if (m_code != 0) return m_code;
  // The part before the buffer is in the file already; the rest is in the buffer.
  if (offset < m_base) {
    size_t in_file = offset + nbytes <= m_base ? nbytes : static_cast<size_t>(m_base - offset);
    if (int err = m_file.write_at(offset, data, in_file)) return fail(err);
    offset += in_file;
    data += in_file;
    nbytes -= in_file;
  }
  if (nbytes != 0) std::memcpy(m_buffer.data() + (offset - m_base), data, nbytes);
  return 0;
}

int FileArchiveOutput::read_back(uint64_t offset, uint8_t* data, size_t nbytes) {
  if (m_code != 0) return m_code;
  if (offset + nbytes > this->offset()) return kReadBackFailed;
  if (offset < m_base) {
    size_t in_file = offset + nbytes <= m_base ? nbytes : static_cast<size_t>(m_base - offset);
    if (m_file.read_at(offset, data, in_file) != static_cast<std::ptrdiff_t>(in_file)) return kReadBackFailed;
    offset += in_file;
    data += in_file;
    nbytes -= in_file;
  }
  if (nbytes != 0) std::memcpy(data, m_buffer.data() + (offset - m_base), nbytes);
  return 0;
}

int FileArchiveOutput::truncate(uint64_t offset) {
  if (m_code != 0) return m_code;
  if (offset >= m_base) {
    m_buffer.resize(static_cast<size_t>(offset - m_base));
    return 0;
  }
  m_buffer.clear();
  m_base = offset;
  if (int err = m_file.truncate(offset)) return fail(err);
  return 0;
}

int FileArchiveOutput::finish() {
  if (int rc = flush()) return rc;
  int64_t size = m_file.size();
  if (size < 0 || static_cast<uint64_t>(size) != m_base)
    if (int err = m_file.truncate(m_base)) return fail(err);
  if (int err = m_file.sync()) return fail(err);
  return 0;
}

}  // namespace ostrana
