/* engine/common/cp437.cpp - entry names between CP437 and UTF-8. */
#include "engine/common/cp437.h"

namespace ostrana {

namespace {

// Code points of CP437 bytes 0x80-0xFF.
const uint16_t kUpperHalf[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

}  // namespace

uint32_t cp437_code_point(uint8_t b) { return b < 0x80 ? b : kUpperHalf[b - 0x80]; }

void append_utf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | cp >> 6));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | cp >> 12));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | cp >> 18));
    out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

size_t decode_utf8(std::string_view text, uint32_t* cp_ret) {
  if (text.empty()) return 0;
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t b0 = byte(0);
  if (b0 < 0x80) {
    *cp_ret = b0;
    return 1;
  }
  size_t n;
  uint32_t cp, min;
  if ((b0 & 0xE0) == 0xC0) n = 2, cp = b0 & 0x1Fu, min = 0x80;
  else if ((b0 & 0xF0) == 0xE0) n = 3, cp = b0 & 0x0Fu, min = 0x800;
  else if ((b0 & 0xF8) == 0xF0) n = 4, cp = b0 & 0x07u, min = 0x10000;
  else return 0;
  if (text.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (byte(i) & 0x3Fu);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *cp_ret = cp;
  return n;
}

bool is_ascii(std::string_view text) {
  for (char c : text)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

void cp437_to_utf8(std::string_view text, std::string* out) {
  out->reserve(out->size() + text.size());
  for (char c : text) append_utf8(cp437_code_point(static_cast<uint8_t>(c)), out);
}

bool utf8_to_cp437(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  while (!text.empty()) {
    uint32_t cp = 0;
    size_t n = decode_utf8(text, &cp);
    if (n == 0) return false;
    text.remove_prefix(n);
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
      continue;
    }
    // 128 entries: a linear search is cheaper than building an index for names.
    int found = -1;
    for (int i = 0; i < 128; ++i)
      if (kUpperHalf[i] == cp) {
        found = i;
        break;
      }
    if (found < 0) return false;
    out->push_back(static_cast<char>(0x80 + found));
  }
  return true;
}

}  // namespace ostrana
