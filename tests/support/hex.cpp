/* tests/support/hex.cpp - hexadecimal text to bytes and back. */
#include "hex.h"

#include <stdexcept>

namespace testenv {

std::vector<uint8_t> from_hex(const std::string& text) {
  std::vector<uint8_t> out;
  int high = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == '\n') continue;
    else throw std::invalid_argument("not a hex digit");
    if (high < 0) high = v;
    else {
      out.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return out;
}

std::string to_hex(const uint8_t* data, size_t nbytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < nbytes; ++i) {
    s += digits[data[i] >> 4];
    s += digits[data[i] & 15];
  }
  return s;
}

}  // namespace testenv
