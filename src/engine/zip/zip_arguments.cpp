/* engine/zip/zip_arguments.cpp - decoding and checking the zip record's settings. */
#include "engine/zip/zip_arguments.h"

#include <cstring>

namespace ostrana {

CompressionChoice decode_comp_factor(int32_t comp_factor, int32_t function) {
  int factor = comp_factor;
  if ((function == ZIP_ADD_FROM_CALLBACK || function == ZIP_MEMORY_TO_MEMORY) && factor < 1) factor = 1;
  return compressionForFactor(factor);
}

bool parse_after_date(const char* text, uint32_t* dos_datetime_ret) {
  if (text == nullptr || std::strlen(text) != 6) return false;
  for (int i = 0; i < 6; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  auto two = [&](int at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  int month = two(0);
  int day = two(2);
  int yy = two(4);
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  int year = yy < 80 ? 2000 + yy : 1900 + yy;
  if (year < 1980) {
    year = 1980;
    month = 1;
    day = 1;
  }
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  *dos_datetime_ret = date << 16;
  return true;
}

bool delete_options_refused(const ZIPCMDSTRUCT& cmd) {
  return cmd.Function == ZIP_DELETE &&
         (cmd.deleteOriginalFlag != 0 || cmd.recurseFlag != 0 || cmd.encryptFlag != 0 ||
          cmd.addCommentFlag != 0);
}

}  // namespace ostrana
