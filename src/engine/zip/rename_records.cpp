/* zip/rename_records.cpp - filling and reading the rename callbacks' records. */
#include "engine/zip/rename_records.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "engine/common/utf8.h"

namespace ostrana {

namespace {

/// Copies @p s into a field of @p avail bytes with its NUL, cut so that no
/// UTF-8 sequence is split.
void put_text(char* field, size_t avail, std::string_view s) {
  size_t n = utf8_cut(s, avail - 1);
  std::memcpy(field, s.data(), n);
  std::memset(field + n, 0, avail - n);
}

/// The text of a field the callback wrote: up to its NUL or the field's end.
std::string_view get_text(const char* field, size_t avail) {
  const void* nul = std::memchr(field, 0, avail);
  return std::string_view(field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : avail);
}

template <typename Record>
void fill_common(Record& r, const RenameRequest& request) {
  put_text(r.szEntryName, sizeof r.szEntryName, request.name);
  put_text(r.szSourcePath, sizeof r.szSourcePath, request.source_path);
  r.lDosDate = request.dos_date;
  r.lDosTime = request.dos_time;
  r.lAttributes = static_cast<int32_t>(request.attributes);
}

template <typename Record>
void take_back(const Record& r, RenameRequest& request) {
  request.name.assign(get_text(r.szEntryName, sizeof r.szEntryName));
  request.dos_date = static_cast<uint16_t>(r.lDosDate);
  request.dos_time = static_cast<uint16_t>(r.lDosTime);
  request.attributes = static_cast<uint32_t>(r.lAttributes);
}

}  // namespace

void RecordRenameHook::rename(RenameRequest& request) {
  if (m_proc == nullptr) return;
  if (m_extended) {
    // 4 KiB: on the heap rather than on a stack that may belong to a small thread.
    auto r = std::make_unique<ZipRenameRecordEx>();
    r->lRecordSize = static_cast<int32_t>(sizeof(ZipRenameRecordEx));
    fill_common(*r, request);
    r->ulFileSizeLow = static_cast<uint32_t>(request.size);
    r->ulFileSizeHigh = static_cast<uint32_t>(request.size >> 32);
    m_proc(r.get(), m_user_data);
    take_back(*r, request);
  } else {
    ZipRenameRecord r{};
    fill_common(r, request);
    m_proc(&r, m_user_data);
    take_back(r, request);
  }
}

}  // namespace ostrana
