/* engine/unzip/item_info.h - describing an item in zInfo and pZipInfoEx.
 *
 * Functions 2, 4 and 7 of the unzip entry describe one loaded directory entry
 * in the caller's short (`zInfo`) or extended (`pZipInfoEx`) record; functions
 * 5 and 6 give the archive comment's length and a copy of it.  This file holds
 * what those functions compute: the attribute word, the encryption class, the
 * two date texts, the names (cut to the record's buffer at a character
 * boundary, or in their 8.3 form when the caller asks for it) and the comment
 * copy with its `returnCount` rule.
 *
 * Sizes in `zInfo` are 32-bit: an item whose 64-bit size does not fit shows
 * 0xFFFFFFFF there (the full value is in `pZipInfoEx`).  The folder flag is set
 * for names that end with "/", the format's mark of a folder entry.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/archive_input.h"
#include "engine/unzip/central_directory.h"
#include "ostrana_info.h"

namespace ostrana {

/// Attribute word: low 15 bits of the external attributes, 0x8000 when
/// encrypted, 0x10000 when the shown name is not an 8.3 name.
int32_t attribute_word(const DirectoryEntry& e);

/// Encryption class of an encrypted item (OSTRANA_ENC_*); 0 when not encrypted.
int32_t encryption_class(const DirectoryEntry& e);

/// "MM/DD/YY  hh:mm" (two-digit year = (year - 1900) mod 100).
std::string short_date_text(uint16_t dos_date, uint16_t dos_time);
/// "MM/DD/YYYY  hh:mm:ss".
std::string long_date_text(uint16_t dos_date, uint16_t dos_time);

/// Copies @p name into @p dest of @p dest_avail bytes (at least 1), NUL-terminated,
/// cut at the last whole UTF-8 character that fits.
void copy_name(std::string_view name, char* dest, size_t dest_avail);

/// The name an entry is reported under: its 8.3 form when @p short_form (option
/// bit 5) and the name is long, else the shown name.
std::string reported_name(const DirectoryEntry& e, bool short_form);

/// Fills every field of @p out from @p e.
void fill_zinfo(const DirectoryEntry& e, bool short_form, zInfo* out);
/// Fills every field of @p out except the caller's first word.
void fill_zipinfoex(const DirectoryEntry& e, bool short_form, pZipInfoEx* out);

/// Finds the end record (asking for the last volume when the input says the
/// open one is not) and reads the comment after it.  @return 0, OU_BAD_STRUCTURE
/// when there is no end record, OU_OUT_OF_MEMORY, or the input's volume code.
int read_comment(ArchiveInput& in, std::vector<uint8_t>* comment_ret);

/// Function 6's copy: at most @p return_count bytes of the comment (0 when it
/// is negative) into @p dest, then a NUL; @p dest has room for return_count + 1.
/// @return the number of bytes copied (the new `returnCount`).
int32_t copy_comment(const std::vector<uint8_t>& comment, char* dest, int32_t return_count);

}  // namespace ostrana
