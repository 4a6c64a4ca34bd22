/* engine/common/listing_api.cpp - the listing texts for callers of the C interface.
 *
 * Thin exports of engine/common/listing_text.h: one implementation of every
 * listing text, reached by the engine's own code directly and by programs
 * (the application's bridge, `ostrana`) through ostrana_listing.h.
 */
#include <cstring>
#include <string>

#include "engine/common/listing_text.h"
#include "ostrana_listing.h"

namespace {

int copy_out(const std::string& text, char* buf, size_t avail) {
  if (buf != nullptr && avail > 0) {
    size_t n = text.size() < avail - 1 ? text.size() : avail - 1;
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
  }
  return static_cast<int>(text.size());
}

}  // namespace

extern "C" {

OSTRANA_API const char* OstranaMethodName(int method) { return ostrana::method_name(method); }

OSTRANA_API int OstranaEncryptionText(int encrypted, int32_t encryptionClass, char* buf, size_t avail) {
  return copy_out(ostrana::encryption_text(encrypted != 0, encryptionClass), buf, avail);
}

OSTRANA_API int OstranaRatioPerMille(uint64_t uncompressed, uint64_t compressed) {
  return ostrana::ratio_per_mille(uncompressed, compressed);
}

OSTRANA_API int OstranaRatioText(int perMille, char* buf, size_t avail) {
  return copy_out(ostrana::ratio_text(perMille), buf, avail);
}

OSTRANA_API int OstranaAttributeText(int32_t attributes, char* buf, size_t avail) {
  return copy_out(ostrana::attribute_text(attributes), buf, avail);
}

OSTRANA_API int OstranaCrcText(uint32_t crc, char* buf, size_t avail) {
  return copy_out(ostrana::crc_text(crc), buf, avail);
}

}
