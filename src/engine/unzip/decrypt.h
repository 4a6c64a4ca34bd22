/* engine/unzip/decrypt.h - reading one item's data, decrypted when it is encrypted.
 *
 * Extraction has one road for every item: it opens the item's data with
 * open_item_data() over a source positioned just after the local header, and
 * the store copy or the expander pulls the compressed data from the source it
 * gets back.  For an item without encryption that source passes the raw
 * bytes through; for an encrypted one it first reads the scheme's header and
 * checks the password, then decrypts as it is read.  Either way it yields
 * exactly the compressed data: encryption header, AES salt, verifier and
 * authentication code and the padding of strong encryption are consumed, and
 * it never reads past the item's compressed size.
 *
 * Schemes, chosen from the item's own description:
 *   - flag bit 0 clear: none;
 *   - a 0x9901 extra block: the ZIP AES format (AE-1/AE-2);
 *   - a 0x0017 extra block: strong encryption, AES algorithms only;
 *   - flag bit 6 without a 0x0017 block: refused, the cipher is unknown;
 *   - otherwise the traditional PKWARE cipher.
 *
 * After the consumer is done it calls verify_end(): for an AES item that
 * reads any payload the consumer left, and compares the authentication code,
 * which stands in for the CRC-32 check of the item (authenticates() tells the
 * caller to skip the CRC).  The component knows nothing of the engine's
 * per-thread state, callbacks or volumes; its caller supplies the item's
 * fields and the raw data source.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/common/byte_stream.h"

namespace ostrana {

/// The fields of one item that reading its data needs.
struct ItemDataInfo {
  uint16_t flags = 0;              ///< general purpose flags (bit 0 encrypted, 3 data descriptor, 6 strong)
  uint32_t crc32 = 0;              ///< CRC-32 from the central directory
  uint16_t dos_time = 0;           ///< modification time, the low 16 bits of the DOS date-time
  uint64_t compressed_size = 0;    ///< stored bytes of the item, encryption overhead included
  uint64_t uncompressed_size = 0;  ///< size of the item's content
  /// The 0x9901 (AES) and 0x0017 (strong encryption) extra blocks exactly as
  /// they stand in the extra field, tag and size included; nullptr when absent.
  const uint8_t* aes_block = nullptr;
  size_t aes_block_nbytes = 0;
  const uint8_t* strong_block = nullptr;
  size_t strong_block_nbytes = 0;
  /// The password, NUL-terminated; nullptr or empty when none was given.
  const char* password = nullptr;
};

enum class CipherScheme { kNone, kTraditional, kZipAes, kStrong };

/// The item's compressed data, decrypted as it is read.
class ItemDataSource : public ByteSource {
 public:
  virtual CipherScheme scheme() const = 0;

  /// True when the item's data is authenticated by the AES authentication
  /// code; the caller then skips the CRC-32 check.
  virtual bool authenticates() const { return false; }

  /// Checks the end of the item once the consumer is done with it.
  /// @return 0, OU_BAD_CRC (39) when the authentication code differs, or the
  ///         failure of reading the remaining payload.
  virtual int verify_end() { return error(); }
};

/// Sets up reading of one item's data from @p raw (positioned after the local
/// header; it must outlive the returned source).  Reads and checks the
/// encryption header where there is one.
/// @return 0 with *@p source_ret set, or OU_BAD_PASSWORD (44: wrong or missing
///         password, cipher not supported), OU_BAD_STRUCTURE (3: malformed
///         encryption header or payload too short for it), OU_NO_STATE (4: no
///         memory), OU_DECRYPTION_FAILED (22: strong encryption key set-up
///         failed), or the failure of the raw source (OU_UNEXPECTED_EOF when it
///         ends early).
int open_item_data(const ItemDataInfo& item, ByteSource& raw, std::unique_ptr<ItemDataSource>* source_ret);

/// The scheme open_item_data() would use for @p item (before any check).
CipherScheme item_cipher_scheme(const ItemDataInfo& item);

}  // namespace ostrana
