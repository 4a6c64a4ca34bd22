/* common/ascii_case.h - case folding of entry names in the engine's 8-bit code page.
 *
 * The engine's "ANSI code page" is UTF-8.  Upper- and lower-casing touch only
 * the ASCII letters; every byte of a multi-byte sequence is left as it is and
 * compared byte for byte.  This keeps lengths unchanged (a prefix found in the
 * folded text has the same length in the original) and never breaks a UTF-8
 * sequence.  Comparisons built on it are the engine's "without regard to case".
 */
#pragma once

#include <string>
#include <string_view>

namespace ostrana {

inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string ascii_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

inline std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

/// <0, 0, >0 like strcmp, comparing upper-cased bytes as unsigned.
inline int ascii_icompare(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(ascii_upper(a[i]));
    auto y = static_cast<unsigned char>(ascii_upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

inline bool ascii_iequal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ascii_icompare(a, b) == 0;
}

}  // namespace ostrana
