/* zip/short_name.cpp - the 8.3 test and the 8.3 form of a stored name (zip side). */
#include "engine/zip/short_name.h"

#include "engine/common/utf8.h"

namespace ostrana {

namespace {

constexpr size_t kBaseMax = 8;
constexpr size_t kExtensionMax = 3;

bool is_separator(char c) { return c == '/' || c == '\\' || c == ':'; }

}  // namespace

bool is_short_name(std::string_view name) {
  size_t base = 0, ext = 0;
  bool in_ext = false;
  for (char c : name) {
    if (is_separator(c)) {
      base = ext = 0;
      in_ext = false;
    } else if (c == ' ' || c == '"') {
      return false;
    } else if (c == '.' && !in_ext) {
      in_ext = true;
    } else if (in_ext) {
      if (++ext > kExtensionMax) return false;
    } else if (++base > kBaseMax) {
      return false;
    }
  }
  return true;
}

std::string short_name_form(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t used = 0;  // bytes kept in the current part (base or extension)
  bool in_ext = false;
  size_t i = 0;
  while (i < name.size()) {
    char c = name[i];
    if (is_separator(c)) {
      out += c;
      used = 0;
      in_ext = false;
      ++i;
    } else if (c == ' ' || c == '"') {
      ++i;
    } else if (c == '.') {
      if (!in_ext) {
        out += '.';
        in_ext = true;
        used = 0;
      }
      ++i;  // later dots of the component are dropped
    } else {
      size_t n = utf8_sequence_length(name, i);
      if (used + n <= (in_ext ? kExtensionMax : kBaseMax)) {
        out.append(name.substr(i, n));
        used += n;
      } else {
        used = in_ext ? kExtensionMax : kBaseMax;  // the part is full: drop the rest of it
      }
      i += n;
    }
  }
  return out;
}

}  // namespace ostrana
