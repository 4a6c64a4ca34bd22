/* engine/common/byte_stream.h - the two interfaces through which data flows.
 *
 * Every stage of the engine that moves entry data - the file or volume reader,
 * the decrypting read, the expanders, the compressors, the encrypting write, the
 * output stage - meets the next one through these two small interfaces.  A
 * source is pulled (the consumer asks for as much as it can take); a sink is
 * pushed (the producer hands over what it has).  Codecs know nothing of ZIP:
 * they read a ByteSource and write a ByteSink.
 *
 * Errors: a stage that fails remembers the engine result code of its failure
 * and reports it through error(); read() then returns -1 and write() returns
 * that code.  A consumer passes the code on unchanged.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrana {

/// Pull side: where a stage takes its input from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  /// Reads up to @p avail bytes into @p buf.
  /// @return the number of bytes read (0 only at the end of the data), or -1 on
  ///         failure, in which case error() tells the engine result code.
  virtual std::ptrdiff_t read(uint8_t* buf, size_t avail) = 0;

  /// The engine result code of the failure that made read() return -1 (0 if none).
  virtual int error() const { return 0; }
};

/// Push side: where a stage delivers its output.
class ByteSink {
 public:
  virtual ~ByteSink() = default;

  /// Takes @p nbytes bytes from @p data.
  /// @return 0 to go on, or an engine result code to stop the producer.
  virtual int write(const uint8_t* data, size_t nbytes) = 0;
};

/// A source over bytes already in memory (not owned).
class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t nbytes) : m_data(data), m_left(nbytes) {}

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t n = avail < m_left ? avail : m_left;
    if (n != 0) std::memcpy(buf, m_data, n);
    m_data += n;
    m_left -= n;
    return static_cast<std::ptrdiff_t>(n);
  }

  size_t remaining() const { return m_left; }

 private:
  const uint8_t* m_data;
  size_t m_left;
};

/// A sink that appends everything to a vector.
class VectorSink final : public ByteSink {
 public:
  int write(const uint8_t* data, size_t nbytes) override {
    m_bytes.insert(m_bytes.end(), data, data + nbytes);
    return 0;
  }

  std::vector<uint8_t>& bytes() { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
};

}  // namespace ostrana
