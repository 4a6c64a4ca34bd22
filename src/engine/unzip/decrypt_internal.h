/* engine/unzip/decrypt_internal.h - what the schemes of decrypt.cpp share.
 *
 * PayloadReader is the one place that reads the raw source: it never reads
 * past the item's compressed size, turns an early end of the raw data into
 * OU_UNEXPECTED_EOF and keeps the first failure.  Each scheme file offers one
 * open function with the contract of open_item_data(), called after the
 * scheme has been chosen.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/include/ostrana_results.h"
#include "engine/unzip/decrypt.h"

namespace ostrana::detail {

/// Result for an allocation that failed during set-up.
inline constexpr int kDecryptNoMemory = OU_NO_STATE;

class PayloadReader {
 public:
  PayloadReader(ByteSource& raw, uint64_t payload_nbytes) : m_raw(raw), m_left(payload_nbytes) {}

  uint64_t left() const { return m_left; }
  int error() const { return m_error; }

  /// Reads up to @p avail bytes (at most left()).  @return bytes read (0 at
  /// the end of the payload), or -1 with error() set.
  std::ptrdiff_t read_some(uint8_t* buf, size_t avail);

  /// Reads exactly @p nbytes.  @return 0, OU_BAD_STRUCTURE when the payload
  /// is shorter, or the failure of the raw source.
  int read_exact(uint8_t* buf, size_t nbytes);

  /// Reads and drops @p nbytes, like read_exact().
  int skip(uint64_t nbytes);

 private:
  ByteSource& m_raw;
  uint64_t m_left;
  int m_error = 0;
};

inline uint16_t load_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t load_le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

/// The data of an extra block given with its 4-byte header: checks the tag and
/// that the declared size fits.  @return the data (with its size in
/// *@p data_nbytes_ret), or nullptr.
const uint8_t* extra_block_data(const uint8_t* block, size_t block_nbytes, uint16_t tag, size_t* data_nbytes_ret);

/// The password's length when it is present and at most kMaxPasswordBytes long, else 0.
size_t usable_password_nbytes(const char* password);

int open_traditional(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret);
int open_zip_aes(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret);
int open_strong(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret);

}  // namespace ostrana::detail
