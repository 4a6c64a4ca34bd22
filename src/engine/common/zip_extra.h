/* engine/common/zip_extra.h - the extra blocks this engine understands.
 *
 * An extra field is a run of blocks: tag (2), data size (2), data.  Three tags
 * matter here - 0x0001 (Zip64 sizes and offset), 0x9901 (AES) and 0x0017
 * (strong encryption); every other block is skipped by its size.  Each kept
 * block has a largest size (tag and size included): 32, 11 and 16 bytes.  A
 * larger one makes the entry unusable and is refused with "structure invalid".
 *
 * The walk is written for hostile bytes: a block whose size runs past the end of
 * the field ends the walk (the trailing bytes are ignored, as many writers pad
 * extra fields), and no value is read that is not inside the field.
 *
 * Zip64 values: every entry carries one Zip64Values record.  When the entry has
 * no 0x0001 block it is built from the 32-bit header values (the 28 data bytes of
 * a full block), so later stages always take 64-bit sizes and offsets from one
 * place.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/zip_records.h"

namespace ostrana::zip {

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraAes = 0x9901;
constexpr uint16_t kExtraStrongEncryption = 0x0017;
constexpr uint16_t kExtraTimestamp = 0x5455;      // extended timestamp: UTC seconds
constexpr uint16_t kExtraNtfs = 0x000A;           // NTFS times: 100 ns units since 1601 (UTC)

constexpr size_t kExtraBlockHead = 4;             // tag + size
constexpr size_t kMaxZip64Block = 32;             // 4 + 8 + 8 + 8 + 4
constexpr size_t kMaxAesBlock = 11;               // 4 + 7
constexpr size_t kMaxStrongEncryptionBlock = 16;  // 4 + 12
constexpr size_t kZip64FullData = 28;             // the built block's data bytes
constexpr size_t kAesData = 7;
constexpr size_t kStrongEncryptionFixedData = 8;

/// One block found in an extra field: a view into the caller's bytes.
struct ExtraBlock {
  uint16_t tag = 0;
  const uint8_t* data = nullptr;
  uint16_t data_nbytes = 0;
  size_t block_nbytes() const { return kExtraBlockHead + data_nbytes; }
};

/// Finds the first block with @p tag in @p extra.  @return false when absent.
bool find_extra_block(const uint8_t* extra, size_t extra_nbytes, uint16_t tag, ExtraBlock* ret);

/// 64-bit values of an entry: sizes, local header offset and starting disk.
struct Zip64Values {
  uint64_t uncompressed_size = 0;
  uint64_t compressed_size = 0;
  uint64_t local_header_offset = 0;
  uint32_t disk_start = 0;
};

/// The header values an entry's Zip64 block is read against: a field is in the
/// block only when its header value is saturated.  The local header has no
/// offset or disk fields (pass 0 for them).
struct Zip64Header {
  uint32_t uncompressed_size = 0;
  uint32_t compressed_size = 0;
  uint32_t local_header_offset = 0;
  uint16_t disk_start = 0;
};

/// The built block: every value taken from the 32-bit header fields.
Zip64Values zip64_from_header(const Zip64Header& h);

/// Reads a 0x0001 block against @p h: for each saturated header value, in the
/// order uncompressed, compressed, offset, disk, the next field of the block.
/// @return 0, or OU_BAD_STRUCTURE when the block lacks a field it must hold.
int parse_zip64_block(const ExtraBlock& block, const Zip64Header& h, Zip64Values* ret);

/// Writes a 0x0001 block (tag and size included) holding exactly the fields
/// named by the mask: bit 0 uncompressed, 1 compressed, 2 offset, 3 disk.
/// @p out has room for 32 bytes.  @return bytes written.
size_t write_zip64_block(const Zip64Values& v, unsigned field_mask, uint8_t* out);

/// AES extra block (0x9901): 7 data bytes.
struct AesExtra {
  uint16_t vendor_version = 0;  // 1 = AE-1, 2 = AE-2
  uint16_t vendor_id = 0;       // the letters "AE" (0x4541)
  uint8_t strength = 0;         // 1 = 128, 2 = 192, 3 = 256 bits
  uint16_t method = 0;          // the actual compression method
};
constexpr uint16_t kAesVendorId = 0x4541;  // "AE"

/// @return false when the block is shorter than its 7 fixed bytes.
bool parse_aes_block(const ExtraBlock& block, AesExtra* ret);
/// Writes the 11-byte block (tag and size included).  @return 11.
size_t write_aes_block(const AesExtra& a, uint8_t* out);

/// Strong Encryption Header block (0x0017): 8 fixed data bytes, then
/// certificate data this engine does not keep.
struct StrongEncryptionExtra {
  uint16_t format = 0;
  uint16_t algorithm_id = 0;
  uint16_t bit_length = 0;
  uint16_t flags = 0;
};

/// @return false when the block is shorter than its 8 fixed bytes.
bool parse_strong_encryption_block(const ExtraBlock& block, StrongEncryptionExtra* ret);
/// Writes the 12-byte block (tag and size included, no certificate data).  @return 12.
size_t write_strong_encryption_block(const StrongEncryptionExtra& s, uint8_t* out);

/// Extended timestamp block (0x5455): a flags byte (bit 0 modification,
/// bit 1 access, bit 2 creation time) and the 32-bit UTC times the flags
/// announce, in that order.  This engine writes the modification time alone,
/// in both headers, as 9 bytes; readers take the first value when bit 0 is set.
constexpr size_t kTimestampBlock = 9;
/// Writes the 9-byte block for @p mtime.  @return 9, or 0 (nothing written)
/// when @p mtime does not fit the block's 32 bits.
size_t write_timestamp_block(int64_t mtime, uint8_t* out);
/// The modification time of a 0x5455 block.  @return false when the block
/// does not carry one (a short block is passed over, never refused).
bool parse_timestamp_block(const ExtraBlock& block, int64_t* mtime_ret);

/// The modification time of an NTFS block (0x000A: 4 reserved bytes, then
/// attributes; attribute 1 holds modification, access and creation time).
/// @return false when the block carries none.
bool parse_ntfs_block(const ExtraBlock& block, int64_t* mtime_ret);

/// What an entry's extra field tells once the entry is loaded for use.
struct EntryExtras {
  bool has_zip64_block = false;  // false: `zip64` was built from the header
  Zip64Values zip64;
  bool has_aes = false;
  AesExtra aes;
  bool has_strong_encryption = false;
  StrongEncryptionExtra strong_encryption;
  bool has_mtime = false;        // a 0x5455 (else 0x000A) block with the modification time
  int64_t mtime = 0;             // seconds since 1970, UTC
};

/// Which header an extra field belongs to: a local header is searched for the
/// 0x0001 and 0x9901 blocks only.
enum class ExtraScope { kCentral, kLocal };

/// The searches made when an entry is loaded (only when the field is longer
/// than 4 bytes): first 0x0001, then 0x9901, then (central only) 0x0017, each
/// refused (OU_BAD_STRUCTURE) when larger than its limit or too short for its
/// fixed fields; then the 0x5455 time, else the 0x000A one, taken when well formed.  Without a 0x0001 block the values are built from @p h.
/// @return 0 or OU_BAD_STRUCTURE.
int scan_entry_extras(const uint8_t* extra, size_t extra_nbytes, const Zip64Header& h, ExtraScope scope,
                      EntryExtras* ret);

}  // namespace ostrana::zip
