/* engine/zip/deflate_input.h - the read function of an entry being compressed.
 *
 * EntryReader sits between the archive writer's source (a file, a memory block
 * or a data callback) and the compressor.  As the data passes it computes the
 * CRC-32 and the size of what is stored (after line-end conversion), tells its
 * observer how far the source has been read (the writer turns that into the
 * minor status and its cancel answer), classifies the data as text or binary,
 * and, when asked, turns line feeds into carriage return + line feed.
 *
 * Text or binary: over the first 64 KiB of the data (or all of it when
 * shorter), the data is text when the count of bytes 7..127, divided by four,
 * is at least the count of bytes 0..6 and 128..255.  The writer records the
 * result in the entry's internal attributes.  Converting line ends of data that
 * looks binary gives one warning per entry ("can not translate EOL in binary
 * files"); the data is converted all the same.
 *
 * Line-end conversion reads at most half of the caller's buffer so that the
 * converted data always fits.  A line feed that already follows a carriage
 * return is left alone, so CR LF text is not turned into CR CR LF.
 *
 * Failures: a source read failure makes read() return -1 with error() 11
 * ("Input file read failure") unless the source names its own code; a non-zero
 * answer from the observer's progress() makes read() return -1 with error() 9
 * ("Operation interrupted by application").
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/byte_stream.h"

namespace ostrana {

/// The warning given once per entry when line ends are converted in binary data.
inline constexpr const char kBinaryEolWarning[] = "can not translate EOL in binary files";

/// What an EntryReader reports while it reads.
class EntryReadObserver {
 public:
  virtual ~EntryReadObserver() = default;
  /// Called after each read from the source with the number of source bytes read
  /// so far.  @return 0 to go on, non-zero to cancel the entry.
  virtual int progress(uint64_t source_nbytes) = 0;
  /// Called after each block of a second pass over the entry's stored bytes
  /// (the in-place encryption) with the bytes done of @p total_nbytes.
  /// @return 0 to go on, non-zero to cancel the entry.
  virtual int pass_progress(uint64_t done_nbytes, uint64_t total_nbytes) {
    (void)done_nbytes;
    (void)total_nbytes;
    return 0;
  }
  /// A warning for the user (kBinaryEolWarning).
  virtual void warning(const char* text) = 0;
};

enum class DataType { kUnknown, kBinary, kText };

/// Text or binary by the byte counts @p counts (256 entries) of the data.
DataType classifyData(const uint64_t* counts);

class EntryReader final : public ByteSource {
 public:
  /// @p source is read; @p observer may be null.
  EntryReader(ByteSource& source, bool convert_line_ends, EntryReadObserver* observer);

  std::ptrdiff_t read(uint8_t* buf, size_t avail) override;
  int error() const override { return m_error; }

  /// CRC-32 of the data delivered (after conversion).
  uint32_t crc() const { return m_crc; }
  /// Bytes delivered (after conversion): the entry's uncompressed size.
  uint64_t nbytes() const { return m_delivered; }
  /// Bytes read from the source.
  uint64_t sourceNbytes() const { return m_sourceRead; }
  /// Text or binary; kUnknown until 64 KiB or the end of the data have passed.
  DataType dataType() const { return m_type; }

  /// How much data decides text or binary.
  static constexpr uint64_t kClassifyNbytes = 65536;

 private:
  void deliver(const uint8_t* data, size_t nbytes);
  void count(const uint8_t* data, size_t nbytes);
  void decide();
  size_t convert(uint8_t* buf, const uint8_t* in, size_t nread);

  ByteSource& m_source;
  bool m_convert;
  EntryReadObserver* m_observer;
  int m_error = 0;
  bool m_ended = false;
  bool m_lastWasCr = false;
  bool m_pendingLf = false;
  uint32_t m_crc = 0;
  uint64_t m_delivered = 0;
  uint64_t m_sourceRead = 0;
  DataType m_type = DataType::kUnknown;
  uint64_t m_counted = 0;
  uint64_t m_counts[256] = {};
};

}  // namespace ostrana
