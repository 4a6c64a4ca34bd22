/* bridge/archive_listing.cpp - the archive listing, the comment and the encrypted-items question.
 *
 * The listing counts the items (function 1) and then walks them (function 2)
 * in one engine state, which keeps the loaded directory between the calls.
 * Its statistics stay in the process-wide state for the performing page, which
 * asks later whether the archive holds encrypted items; they name the archive
 * they were gathered from, so the answer never comes from another archive.
 */
#include "bridge/archive_listing.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "bridge/bridge_callbacks.h"
#include "bridge/bridge_state.h"
#include "bridge/command_records.h"

namespace bridge {
namespace {

// A text field of the record, bounded by its array even without a NUL.
template <size_t N>
std::string field_text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

int32_t listing_progress(int64_t index, int64_t count) {
  return count > 0 ? static_cast<int32_t>((25 * index) / count) : 0;
}

ArchiveItem make_archive_item(const ZIPINFOEX& info) {
  ArchiveItem item;
  char text[OSTRANA_LISTING_TEXT_SIZE];
  item.name = QString::fromStdString(field_text(info.szFileName));
  OstranaCrcText(info.dwCRC32, text, sizeof text);
  item.crc_text = QString::fromUtf8(text);
  item.method_name = QString::fromUtf8(OstranaMethodName(info.wMethod));
  OstranaRatioText(OstranaRatioPerMille(info.qwUncompressedSize, info.qwCompressedSize), text, sizeof text);
  item.ratio_text = QString::fromUtf8(text);
  OstranaAttributeText(info.lAttributes, text, sizeof text);
  item.attribute_text = QString::fromUtf8(text);
  item.date_text = QString::fromStdString(field_text(info.szDate));
  OstranaEncryptionText((info.lAttributes & OSTRANA_ATTR_ENCRYPTED) != 0, info.lEncryptionClass, text, sizeof text);
  item.encryption_text = QString::fromUtf8(text);
  item.is_folder = (info.lAttributes & OSTRANA_ATTR_FOLDER) != 0;
  item.uncompressed_size = info.qwUncompressedSize;
  item.compressed_size = info.qwCompressedSize;
  item.item_number = info.lIndex;
  return item;
}

void add_to_statistics(ListingStatistics& statistics, const ZIPINFOEX& info) {
  if (info.lAttributes & OSTRANA_ATTR_FOLDER) ++statistics.folders;
  else ++statistics.files;
  statistics.total_uncompressed += info.qwUncompressedSize;
  statistics.total_compressed += info.qwCompressedSize;
  if (info.lAttributes & OSTRANA_ATTR_ENCRYPTED) ++statistics.encrypted;
  const uint32_t versions = static_cast<uint32_t>(info.lVersions);
  statistics.lowest_version_made_by = std::min<uint8_t>(statistics.lowest_version_made_by, versions & 0xFF);
  statistics.lowest_host_system = std::min<uint8_t>(statistics.lowest_host_system, (versions >> 8) & 0xFF);
  statistics.lowest_version_needed = std::min<uint8_t>(statistics.lowest_version_needed, (versions >> 16) & 0xFF);
}

int32_t list_archive(ProgramInstance instance, QWidget*, const char* archive_path,
                     std::vector<ArchiveItem>* items, int32_t* count_ret, UiProgressCallback* callback) {
  std::vector<ArchiveItem> discarded;
  std::vector<ArchiveItem>& out = items ? *items : discarded;
  out.clear();
  if (count_ret) *count_ret = 0;
  if (archive_path == nullptr) return kNoArchivePath;
  OperationFrame frame;
  if (int32_t rc = frame.begin(EngineSide::kUnzip)) return rc;
  EngineBridge bridge(instance);
  BridgeState& state = bridge_state();
  state.statistics = ListingStatistics{};
  state.statistics.archive_path = archive_path;
  frame.set_callback(callback);

  build_info_record(UNZIP_COUNT_ITEMS, archive_path, bridge);
  if (int rc = OstranaUnzip(&bridge.unzip)) return rc;
  const int64_t count = std::max<int32_t>(bridge.unzip.returnCount, 0);
  bridge.return_count = bridge.unzip.returnCount;
  if (count_ret) *count_ret = bridge.unzip.returnCount;

  int32_t last_progress = -1;
  for (int64_t index = 0; index < count; ++index) {
    std::memset(&bridge.info, 0, sizeof bridge.info);
    build_info_record(UNZIP_NEXT_ITEM_INFO, archive_path, bridge);
    bridge.unzip.pZipInfoEx = &bridge.info;
    if (int rc = OstranaUnzip(&bridge.unzip)) return rc;
    ArchiveItem item = make_archive_item(bridge.info);
    add_to_statistics(state.statistics, bridge.info);
    if (callback != nullptr) {
      const int32_t progress = listing_progress(index, count);
      if (progress != last_progress) {
        last_progress = progress;
        const std::string line = format_with_name(kFoundItemFormat, field_text(bridge.info.szFileName).c_str());
        if (notify_ui(bridge, kNotifyItemFound, line.c_str(), progress) != 0) {
          if (bridge.callback_error) std::rethrow_exception(bridge.callback_error);
          return OU_USER_CANCELLED;
        }
      }
    }
    out.push_back(std::move(item));
  }
  return 0;
}

int32_t archive_comment(ProgramInstance instance, QWidget*, const char* archive_path, ArchiveComment* result) {
  ArchiveComment discarded;
  ArchiveComment& out = result ? *result : discarded;
  out.comment.clear();
  out.statistics = bridge_state().statistics;
  if (archive_path == nullptr) return kNoArchivePath;
  OperationFrame frame;
  if (int32_t rc = frame.begin(EngineSide::kUnzip)) return rc;
  EngineBridge bridge(instance);

  build_info_record(UNZIP_COMMENT_SIZE, archive_path, bridge);
  bridge.unzip.returnCount = 2047;
  if (int rc = OstranaUnzip(&bridge.unzip)) return rc;
  const size_t length = static_cast<size_t>(std::max<int32_t>(bridge.unzip.returnCount, 0));
  std::vector<char> buffer(length + 1, '\0');
  build_info_record(UNZIP_COMMENT, archive_path, bridge);
  bridge.unzip.lpszReturnString = buffer.data();
  bridge.unzip.returnCount = static_cast<int32_t>(length);
  if (int rc = OstranaUnzip(&bridge.unzip)) return rc;
  const size_t copied = std::min(length, static_cast<size_t>(std::max<int32_t>(bridge.unzip.returnCount, 0)));
  out.comment.assign(buffer.data(), strnlen(buffer.data(), copied));
  return 0;
}

int32_t archive_has_encrypted_items(ProgramInstance instance, QWidget* window, const char* archive_path) {
  ArchiveComment comment;
  archive_comment(instance, window, archive_path, &comment);
  const ListingStatistics& statistics = comment.statistics;
  const bool same_archive = archive_path != nullptr && statistics.archive_path == archive_path;
  return same_archive && statistics.encrypted != 0 ? 1 : 0;
}

const ListingStatistics& listing_statistics() { return bridge_state().statistics; }

}  // namespace bridge
