/* common/utf8.h - the two facts about UTF-8 the engine's name handling needs.
 *
 * Names are UTF-8 (the engine's 8-bit code page).  Wherever a name is cut to a
 * field or a length limit, the cut must not split a multi-byte sequence, or
 * the stored name would stop being valid text.  Stray bytes count as one-byte
 * characters: names from the file system are not guaranteed to be valid UTF-8,
 * and they must survive unchanged.
 */
#pragma once

#include <cstddef>
#include <string_view>

namespace ostrana {

/// Bytes of the UTF-8 sequence starting at @p s[@p i]: its lead byte's length,
/// shortened to the continuation bytes really present (a malformed sequence
/// never swallows a following ASCII byte such as "." or "/"), at least 1.
inline size_t utf8_sequence_length(std::string_view s, size_t i) {
  auto lead = static_cast<unsigned char>(s[i]);
  size_t want = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  size_t end = i + 1;
  while (end < i + want && end < s.size() && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) ++end;
  return end - i;
}

/// The length of the longest prefix of @p s of at most @p avail bytes that does
/// not end inside a UTF-8 sequence.
inline size_t utf8_cut(std::string_view s, size_t avail) {
  if (s.size() <= avail) return s.size();
  // A sequence has at most 3 continuation bytes; stray ones further back are
  // single characters of malformed text and may end the prefix.
  size_t cut = avail;
  while (cut > 0 && avail - cut < 3 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace ostrana
