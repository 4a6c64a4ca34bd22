/* engine/unzip/item_info.cpp - describing an item in zInfo and pZipInfoEx. */
#include "engine/unzip/item_info.h"

#include <cstdio>
#include <cstring>

#include "engine/common/checks.h"
#include "engine/common/directory_end.h"
#include "engine/common/dos_time.h"
#include "engine/common/short_name.h"
#include "engine/common/utf8.h"

namespace ostrana {

using namespace zip;

namespace {

int32_t strong_encryption_class(uint16_t algorithm_id) {
  switch (algorithm_id) {
    case 0x660E: return OSTRANA_ENC_STRONG_AES | 1;
    case 0x660F: return OSTRANA_ENC_STRONG_AES | 2;
    case 0x6610: return OSTRANA_ENC_STRONG_AES | 3;
    case 0x6601: return OSTRANA_ENC_STRONG_DES;
    case 0x6609: return OSTRANA_ENC_STRONG_3DES112;
    case 0x6603: return OSTRANA_ENC_STRONG_3DES168;
    case 0x6602: return OSTRANA_ENC_STRONG_RC2_OLD;
    case 0x6702: return OSTRANA_ENC_STRONG_RC2;
    case 0x6801: return OSTRANA_ENC_STRONG_RC4;
    default: return OSTRANA_ENC_UNKNOWN;
  }
}

bool is_folder_name(std::string_view name) { return !name.empty() && name.back() == '/'; }

}  // namespace

int32_t attribute_word(const DirectoryEntry& e) {
  int32_t word = static_cast<int32_t>(e.header.external_attributes & 0x7FFFu);
  if (e.encrypted()) word |= OSTRANA_ATTR_ENCRYPTED;
  if (!is_short_name(e.name)) word |= OSTRANA_ATTR_LONG_NAME;
  return word;
}

int32_t encryption_class(const DirectoryEntry& e) {
  if (!e.encrypted()) return 0;
  if (e.extras.has_aes) {
    const AesExtra& a = e.extras.aes;
    if (a.vendor_version != 1 && a.vendor_version != 2) return OSTRANA_ENC_UNKNOWN;
    int32_t scheme = a.vendor_version == 1 ? OSTRANA_ENC_AE1 : OSTRANA_ENC_AE2;
    return scheme | (a.strength >= 1 && a.strength <= 3 ? a.strength : 0xFF);
  }
  if (e.header.flags & kFlagStrongEncryption) {
    if (!e.extras.has_strong_encryption) return OSTRANA_ENC_UNKNOWN;
    return strong_encryption_class(e.extras.strong_encryption.algorithm_id);
  }
  return OSTRANA_ENC_TRADITIONAL;
}

std::string short_date_text(uint16_t dos_date, uint16_t dos_time) {
  DosDateTime t = unpack_dos_date_time(dos_date, dos_time);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u/%02u/%02u  %02u:%02u", t.month, t.day, (t.year - 1900) % 100, t.hour,
                t.minute);
  return buf;
}

std::string long_date_text(uint16_t dos_date, uint16_t dos_time) {
  DosDateTime t = unpack_dos_date_time(dos_date, dos_time);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02u/%02u/%04u  %02u:%02u:%02u", t.month, t.day, t.year, t.hour, t.minute,
                t.second);
  return buf;
}

void copy_name(std::string_view name, char* dest, size_t dest_avail) {
  size_t n = utf8_cut(name, dest_avail - 1);
  std::memcpy(dest, name.data(), n);
  dest[n] = '\0';
}

std::string reported_name(const DirectoryEntry& e, bool short_form) {
  if (short_form && !is_short_name(e.name)) return short_name_form(e.name);
  return std::string(e.name);
}

void fill_zinfo(const DirectoryEntry& e, bool short_form, zInfo* out) {
  std::memset(out, 0, sizeof *out);
  out->wIndex = static_cast<int16_t>(e.index);
  out->dwUncompressedSize = saturate32(e.uncompressed_size());
  out->dwCompressedSize = saturate32(e.compressed_size());
  out->wMethod = static_cast<int16_t>(e.method);
  out->wFlags = static_cast<int16_t>(e.header.flags);
  out->wIsFolder = is_folder_name(e.name) ? 1 : 0;
  out->dwCRC32 = e.header.crc32;
  std::string date = short_date_text(e.shown_date, e.shown_time);
  copy_name(date, out->szDate, sizeof out->szDate);
  copy_name(reported_name(e, short_form), out->szFileName, sizeof out->szFileName);
  out->lAttributes = attribute_word(e);
  out->lSeconds = static_cast<int32_t>((e.shown_time & 0x1Fu) * 2u);
  out->lResv = 0;
}

void fill_zipinfoex(const DirectoryEntry& e, bool short_form, pZipInfoEx* out) {
  int32_t caller_word = out->lCallerWord;
  std::memset(out, 0, sizeof *out);
  out->lCallerWord = caller_word;
  out->lIndex = static_cast<int32_t>(e.index);
  out->qwUncompressedSize = e.uncompressed_size();
  out->qwCompressedSize = e.compressed_size();
  out->lAttributes = attribute_word(e);
  out->dwCRC32 = e.header.crc32;
  out->wMethod = static_cast<int16_t>(e.method);
  out->wFlags = static_cast<int16_t>(e.header.flags);
  out->wIsFolder = is_folder_name(e.name) ? 1 : 0;
  std::string date = long_date_text(e.shown_date, e.shown_time);
  copy_name(date, out->szDate, sizeof out->szDate);
  copy_name(reported_name(e, short_form), out->szFileName, sizeof out->szFileName);
  out->lSeconds = static_cast<int32_t>((e.shown_time & 0x1Fu) * 2u);
  out->lVersions = static_cast<int32_t>(static_cast<uint32_t>(e.header.version_needed) << 16 |
                                        e.header.version_made_by);
  out->lEncryptionClass = encryption_class(e);
}

int read_comment(ArchiveInput& in, std::vector<uint8_t>* comment_ret) {
  comment_ret->clear();
  DirectoryEnd end;
  bool volume_failed = false;
  FORWARD_IF_ERROR(find_directory_end(in, &end, &volume_failed));
  return read_archive_comment(in, end, comment_ret);
}

int32_t copy_comment(const std::vector<uint8_t>& comment, char* dest, int32_t return_count) {
  size_t room = return_count > 0 ? static_cast<size_t>(return_count) : 0;
  size_t n = comment.size() < room ? comment.size() : room;
  if (n != 0) std::memcpy(dest, comment.data(), n);
  dest[n] = '\0';
  return static_cast<int32_t>(n);
}

}  // namespace ostrana
