/* engine/common/cp437.h - entry names between CP437 and UTF-8.
 *
 * ZIP entry names without general purpose flag bit 11 are in the "OEM code
 * page", which on this platform is IBM PC code page 437; the engine works in
 * UTF-8 (the "ANSI code page" here).  Bytes 0x00-0x7F are ASCII in both; the
 * upper half maps through a fixed table of 128 code points.
 *
 * The reverse direction answers whether a UTF-8 name can be stored in CP437 at
 * all: the writer stores a name that cannot (or that is not valid UTF-8) as
 * UTF-8 with flag bit 11, so no character is ever lost.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrana {

/// Appends the UTF-8 form of the CP437 bytes @p text to @p out.
void cp437_to_utf8(std::string_view text, std::string* out);

/// True when every byte of @p text is ASCII, so both code pages read it alike.
bool is_ascii(std::string_view text);

/// Converts UTF-8 @p text to CP437 into @p out.  @return false (and @p out
/// unspecified) when the text is not valid UTF-8 or holds a character that
/// CP437 cannot represent.
bool utf8_to_cp437(std::string_view text, std::string* out);

/// The Unicode code point of CP437 byte @p b.
uint32_t cp437_code_point(uint8_t b);

/// Appends the UTF-8 encoding of @p cp (at most U+10FFFF) to @p out.
void append_utf8(uint32_t cp, std::string* out);

/// Decodes one UTF-8 character at the start of @p text.  @return its length in
/// bytes (1..4) with the code point in @p cp_ret, or 0 when the bytes are not a
/// valid, shortest-form UTF-8 character.
size_t decode_utf8(std::string_view text, uint32_t* cp_ret);

}  // namespace ostrana
