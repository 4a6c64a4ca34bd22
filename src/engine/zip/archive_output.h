/* engine/zip/archive_output.h - where the archive writer's bytes go.
 *
 * The writer pushes every byte of the new archive (local headers, entry data,
 * descriptors, the central directory and the end records) into one
 * ArchiveOutput, a ByteSink that also knows its 64-bit running offset.  Two
 * kinds of output exist by design:
 *
 *   - a repositionable one (an ordinary file: the temporary archive, or the
 *     old archive when appending in place): the writer goes back and rewrites
 *     each local header once the entry's CRC and sizes are known, and may drop
 *     a half-written entry to write it again;
 *   - one that cannot be repositioned (multi-volume output, where a piece may
 *     already be closed): entries then carry their CRC and sizes in a data
 *     descriptor after the data.
 *
 * The multi-volume output plugs in as another implementation; it also says on
 * which piece (disk) the next byte lands and keeps each header in one piece
 * (keep_together).  An encrypting stage sits between the compressor and the
 * output; it is a ByteSink of its own.  On a repositionable output the
 * encryption runs as a second pass instead (its header depends on the CRC):
 * it reads the entry's data back (read_back) and patches it over itself.
 *
 * FileArchiveOutput buffers 256 KiB and writes with positioned writes, so the
 * file position never matters.  Its first failure is remembered and returned
 * by every later call as the code the caller chose (10 for the temporary file
 * or the appended archive), with the system's errno kept for the report.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/common/byte_stream.h"

namespace platform {
class File;
}

namespace ostrana {

class ArchiveOutput : public ByteSink {
 public:
  static constexpr int kReadBackFailed = 11;  ///< OZ_READ_FAILED

  /// The archive offset of the next byte written.
  virtual uint64_t offset() const = 0;
  /// The piece (0-based disk number) the next byte lands on; 0 for one file.
  virtual uint32_t disk() const { return 0; }
  /// True when bytes already written can be rewritten (patch, truncate).
  virtual bool repositionable() const = 0;
  /// Makes sure the next @p nbytes (a header or record) land in one piece.
  /// @return 0 or a code.
  virtual int keep_together(size_t nbytes) {
    (void)nbytes;
    return 0;
  }
  /// Rewrites @p nbytes at @p offset, which lies before offset().  @return 0 or a code.
  virtual int patch(uint64_t offset, const uint8_t* data, size_t nbytes) = 0;
  /// Reads back @p nbytes written at @p offset (the range lies before
  /// offset()), for a pass over data already written.  @return 0, or
  /// OZ_READ_FAILED (also from an output that cannot be repositioned).
  virtual int read_back(uint64_t offset, uint8_t* data, size_t nbytes) {
    (void)offset;
    (void)data;
    (void)nbytes;
    return kReadBackFailed;
  }
  /// Drops everything from @p offset on (at most offset()).  @return 0 or a code.
  virtual int truncate(uint64_t offset) = 0;
  /// Writes out what is buffered and makes it durable.  @return 0 or a code.
  virtual int finish() = 0;
  /// The system's errno behind the first failure (0 if none or not known).
  virtual int system_error() const { return 0; }
};

class FileArchiveOutput final : public ArchiveOutput {
 public:
  /// Writes into @p file (not owned) from @p start_offset on; failures give
  /// @p failure_code.
  FileArchiveOutput(platform::File& file, uint64_t start_offset, int failure_code);

  int write(const uint8_t* data, size_t nbytes) override;
  uint64_t offset() const override { return m_base + m_buffer.size(); }
  bool repositionable() const override { return true; }
  int patch(uint64_t offset, const uint8_t* data, size_t nbytes) override;
  int truncate(uint64_t offset) override;
  int read_back(uint64_t offset, uint8_t* data, size_t nbytes) override;
  /// Flushes the buffer, cuts the file at offset() (an appended archive may
  /// have been longer) and syncs it to the disk.
  int finish() override;

  /// The errno of the first failure (0 if none).
  int system_error() const override { return m_errno; }

 private:
  int flush();
  int fail(int err);

  platform::File& m_file;
  uint64_t m_base;               ///< file offset of m_buffer[0]
  std::vector<uint8_t> m_buffer; ///< bytes not yet written, at most kBufferNbytes
  int m_failure_code;
  int m_code = 0;
  int m_errno = 0;
};

}  // namespace ostrana
