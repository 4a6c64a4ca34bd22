/* engine/common/entry_names.h - entry names and comments: the bytes stored and the text shown.
 *
 * The engine works in UTF-8.  On writing, a name that is plain ASCII is stored
 * as it is; any other name that is valid UTF-8 is stored as UTF-8 with general
 * purpose flag bit 11, which is what Java, Go, Python, 7-Zip and the Linux
 * archivers expect.  A name that is not valid UTF-8 (a Linux file system can
 * hold any bytes) is stored as its raw bytes without the flag: with the flag,
 * strict readers refuse the whole archive.
 *
 * On reading, bit 11 means UTF-8.  Without it, a text that is valid UTF-8
 * and holds at least one multi-byte sequence is UTF-8 too (macOS and Go
 * write names that way); anything else is CP437, the DOS code page.  For a
 * name, an Info-ZIP Unicode Path block (0x7075) whose CRC-32 matches the
 * stored bytes wins over both.  Comments follow the same rule (the archive
 * comment has no flag to look at).
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrana {

inline constexpr uint16_t kExtraUnicodePath = 0x7075;

/// True when @p text is valid, shortest-form UTF-8 (ASCII included).
bool is_valid_utf8(std::string_view text);

/// How a name is stored.
enum class StoredName {
  kAscii,     ///< as it is, no flag
  kUtf8,      ///< as it is, with flag bit 11
  kRawBytes,  ///< not valid UTF-8: its bytes as they are, no flag (the caller warns)
};
StoredName stored_name_kind(std::string_view name);

/// The UTF-8 text of a stored name or comment without a Unicode Path block:
/// @p raw itself when @p utf8_flag is set, when it is ASCII, or when it is
/// valid UTF-8 (then it holds a multi-byte sequence); else its CP437 reading.
std::string shown_text(std::string_view raw, bool utf8_flag);

/// The name the Unicode Path block of @p extra gives for the stored bytes
/// @p raw: version 1, a CRC-32 that matches @p raw and valid UTF-8.
/// @return false when there is no such block (*@p name_ret unchanged).
bool unicode_path_name(const uint8_t* extra, size_t extra_nbytes, std::string_view raw, std::string* name_ret);

/// The shown name of an entry: without flag bit 11 a matching Unicode Path
/// block wins, else shown_text().
std::string shown_name(std::string_view raw, uint16_t flags, const uint8_t* extra, size_t extra_nbytes);

}  // namespace ostrana
