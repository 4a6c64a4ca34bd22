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

/// Bytes of the UTF-8 sequence that starts with @p lead (1 for a stray byte).
inline size_t utf8_sequence_length(unsigned char lead) {
  return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
}

/// The length of the longest prefix of @p s of at most @p avail bytes that does
/// not end inside a UTF-8 sequence.
inline size_t utf8_cut(std::string_view s, size_t avail) {
  if (s.size() <= avail) return s.size();
  size_t cut = avail;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace ostrana
