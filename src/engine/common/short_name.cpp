/* engine/common/short_name.cpp - the 8.3 name test and the 8.3 form of a name. */
#include "engine/common/short_name.h"

#include <cstdint>

namespace ostrana {

namespace {

constexpr size_t kBaseMax = 8;
constexpr size_t kExtensionMax = 3;

bool is_separator(char c) { return c == '/' || c == '\\' || c == ':'; }

/// Bytes of the character that starts with @p lead (1 for anything that is not
/// a UTF-8 lead byte, so broken text is still walked byte by byte).
size_t char_nbytes(uint8_t lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

bool is_long_name(std::string_view name) {
  size_t before = 0, after = 0;
  bool dot = false;
  for (char c : name) {
    if (is_separator(c)) {
      before = after = 0;
      dot = false;
      continue;
    }
    if (c == ' ' || c == '"') return true;
    if (!dot && c == '.') {
      dot = true;
      continue;
    }
    if (dot ? ++after > kExtensionMax : ++before > kBaseMax) return true;
  }
  return false;
}

std::string short_name_form(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t before = 0, after = 0;
  bool dot = false;
  for (size_t i = 0; i < name.size();) {
    char c = name[i];
    if (is_separator(c)) {
      out.push_back(c);
      before = after = 0;
      dot = false;
      ++i;
      continue;
    }
    if (c == ' ' || c == '"') {
      ++i;
      continue;
    }
    if (c == '.') {
      if (!dot) out.push_back('.');
      dot = true;
      ++i;
      continue;
    }
    size_t n = char_nbytes(static_cast<uint8_t>(c));
    if (n > name.size() - i) n = name.size() - i;
    size_t& used = dot ? after : before;
    size_t room = dot ? kExtensionMax : kBaseMax;
    if (used + n <= room) {
      out.append(name.substr(i, n));
      used += n;
    } else {
      used = room;  // the part is full: later characters are dropped too
    }
    i += n;
  }
  return out;
}

}  // namespace ostrana
