/* engine/common/entry_names.cpp - entry names and comments: the bytes stored and the text shown. */
#include "engine/common/entry_names.h"

#include "engine/common/cp437.h"
#include "engine/common/crc32.h"
#include "engine/common/zip_extra.h"
#include "engine/common/zip_records.h"

namespace ostrana {

bool is_valid_utf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t n = decode_utf8(text.substr(i), &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

StoredName stored_name_kind(std::string_view name) {
  if (is_ascii(name)) return StoredName::kAscii;
  return is_valid_utf8(name) ? StoredName::kUtf8 : StoredName::kRawBytes;
}

std::string shown_text(std::string_view raw, bool utf8_flag) {
  if (utf8_flag || is_ascii(raw) || is_valid_utf8(raw)) return std::string(raw);
  std::string shown;
  cp437_to_utf8(raw, &shown);
  return shown;
}

bool unicode_path_name(const uint8_t* extra, size_t extra_nbytes, std::string_view raw, std::string* name_ret) {
  zip::ExtraBlock b;
  if (extra == nullptr || !zip::find_extra_block(extra, extra_nbytes, kExtraUnicodePath, &b)) return false;
  if (b.data_nbytes < 5 || b.data[0] != 1) return false;
  const uint32_t crc = zip::get_le32(b.data + 1);
  if (crc != crc32(0, reinterpret_cast<const uint8_t*>(raw.data()), raw.size())) return false;
  std::string_view name(reinterpret_cast<const char*>(b.data + 5), b.data_nbytes - 5u);
  if (name.empty() || !is_valid_utf8(name)) return false;
  name_ret->assign(name);
  return true;
}

std::string shown_name(std::string_view raw, uint16_t flags, const uint8_t* extra, size_t extra_nbytes) {
  const bool utf8 = (flags & zip::kFlagUtf8Names) != 0;
  std::string name;
  if (!utf8 && unicode_path_name(extra, extra_nbytes, raw, &name)) return name;
  return shown_text(raw, utf8);
}

}  // namespace ostrana
