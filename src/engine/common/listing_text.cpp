/* engine/common/listing_text.cpp - the texts of an archive listing. */
#include "engine/common/listing_text.h"

#include <cstdio>

namespace ostrana {

const char* method_name(int method) {
  static const char* const kNames[] = {"Store",   "Shrunk",  "Reduce1",  "Reduce2", "Reduce3",
                                       "Reduce4", "Implode", "Tokenize", "Deflate", "Deflate64"};
  if (method < 0 || method > 9) return "Unknown";
  return kNames[method];
}

std::string encryption_text(bool encrypted, int32_t encryption_class) {
  if (!encrypted) return "none";
  unsigned scheme = static_cast<unsigned>(encryption_class) >> 8 & 0xFFu;
  unsigned strength = static_cast<unsigned>(encryption_class) & 0xFFu;
  auto with_strength = [strength](const char* name) {
    static const char* const kStrengths[] = {" [default]", " [128 bit]", " [192 bit]", " [256 bit]"};
    return std::string(name) + kStrengths[strength >= 1 && strength <= 3 ? strength : 0];
  };
  switch (scheme) {
    case 0x00: return "Zip 2.04 Compatible";
    case 0x01: return with_strength("wZip AES-1");
    case 0x02: return with_strength("wZip AES-2");
    case 0x08: return with_strength("AES");
    case 0x09: return "DES [default]";
    case 0x0A: return "3DES [112 bit]";
    case 0x0B: return "3DES [168 bit]";
    case 0x0C: return "RC2 [before 5.2]";
    case 0x0D: return "RC2 [5.2 and later]";
    case 0x0E: return "RC4 [default]";
    default: return "Unknown";
  }
}

int ratio_per_mille(uint64_t uncompressed, uint64_t compressed) {
  if (uncompressed == 0 || compressed >= uncompressed) return 0;
  uint64_t saved = uncompressed - compressed;
  // saved * 1000 may not fit 64 bits for sizes near 2^64: scale down first.
  uint64_t per_mille = saved > UINT64_MAX / 1000 ? saved / (uncompressed / 1000) : saved * 1000 / uncompressed;
  return static_cast<int>(per_mille > 1000 ? 1000 : per_mille);
}

std::string ratio_text(int per_mille) {
  if (per_mille > 1000) per_mille = 1000;
  if (per_mille < 0) per_mille = 0;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d.%d%%", per_mille / 10, per_mille % 10);
  return buf;
}

std::string attribute_text(int32_t attributes) {
  uint32_t a = static_cast<uint32_t>(attributes);
  std::string s(8, ' ');
  s[0] = a & 0x20 ? 'A' : '-';
  s[1] = a & 0x10 ? 'S' : '-';
  s[2] = a & 0x08 ? 'V' : '-';
  s[3] = a & 0x04 ? 'S' : '-';
  s[4] = a & 0x02 ? 'H' : '-';
  s[5] = a & 0x01 ? 'R' : '-';
  s[6] = a & 0x8000 ? 'E' : ' ';
  s[7] = a & 0x10000 ? 'L' : ' ';
  return s;
}

std::string crc_text(uint32_t crc) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", crc);
  return buf;
}

}  // namespace ostrana
