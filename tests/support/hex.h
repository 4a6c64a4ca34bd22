/* tests/support/hex.h - hexadecimal text to bytes and back, for known-answer tests. */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

/// "00ff 10" -> {0x00, 0xff, 0x10}; blanks are ignored.
std::vector<uint8_t> from_hex(const std::string& text);
/// {0x00, 0xff} -> "00ff"
std::string to_hex(const uint8_t* data, size_t nbytes);
inline std::string to_hex(const std::vector<uint8_t>& v) { return to_hex(v.data(), v.size()); }

}  // namespace testenv
