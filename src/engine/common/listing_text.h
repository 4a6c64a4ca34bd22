/* engine/common/listing_text.h - the texts of an archive listing.
 *
 * One place for the column texts that the application's archive listing and
 * `ostrana list` show for an item: the method name, the encryption text, the
 * ratio, the attribute letters and the CRC.  They are made from the values of
 * the item-information records (ostrana_info.h), so a listing built from either
 * record reads the same everywhere.
 */
#pragma once

#include <cstdint>
#include <string>

namespace ostrana {

/// "Store", "Shrunk", "Reduce1".."Reduce4", "Implode", "Tokenize", "Deflate",
/// "Deflate64" for methods 0..9, "Unknown" for any other number.
const char* method_name(int method);

/// "none" when the item is not encrypted; otherwise the text of its encryption
/// class (pZipInfoEx's lEncryptionClass), e.g. "wZip AES-1 [256 bit]".
std::string encryption_text(bool encrypted, int32_t encryption_class);

/// The share of the original size that compression saved, in per mille:
/// (uncompressed - compressed) * 1000 / uncompressed, 0 for an empty item or one
/// that grew, never above 1000.
int ratio_per_mille(uint64_t uncompressed, uint64_t compressed);

/// "%d.%d%%" from a per-mille value capped at 1000 (and at 0 below).
std::string ratio_text(int per_mille);

/// "%c%c%c%c%c%c%c%c": A, S, V, S, H, R for the DOS attributes 0x20, 0x10, 0x08,
/// 0x04, 0x02, 0x01 ("-" when clear), then "E" for 0x8000 (encrypted) and "L"
/// for 0x10000 (long name), each a blank when clear.
std::string attribute_text(int32_t attributes);

/// "0x%08X".
std::string crc_text(uint32_t crc);

}  // namespace ostrana
