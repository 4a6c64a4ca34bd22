/* engine/common/append_rollback.cpp - the rollback file of an in-place append. */
#include "engine/common/append_rollback.h"

#include <cerrno>
#include <cstring>

#include "engine/common/crc32.h"
#include "engine/common/zip_records.h"
#include "platform/file_info.h"
#include "platform/folders.h"

namespace ostrana {
namespace {

constexpr char kMagic[16] = {'O', 'S', 'T', 'R', 'A', 'N', 'A', '-', 'R', 'O', 'L', 'L', 'B', 'A', 'C', 'K'};
constexpr uint32_t kFormat = 1;
constexpr size_t kHeaderSize = 16 + 4 + 8 * 5;
constexpr size_t kTrailerSize = 4;

struct RollbackRecord {
  uint64_t device = 0, inode = 0, old_length = 0, from = 0;
  std::vector<uint8_t> old_bytes;
};

std::string reason(int err) { return std::strerror(err); }

/// Reads and checks the rollback file at @p path.  @return 0, ENOENT, or
/// EINVAL for a record that is incomplete or inconsistent.
int read_record(const std::string& path, RollbackRecord* r) {
  platform::File f;
  if (int err = f.open(path, platform::File::Mode::kRead)) return err;
  const int64_t size = f.size();
  if (size < static_cast<int64_t>(kHeaderSize + kTrailerSize)) return EINVAL;
  uint8_t head[kHeaderSize];
  if (f.read_at(0, head, sizeof head) != static_cast<std::ptrdiff_t>(sizeof head)) return EINVAL;
  if (std::memcmp(head, kMagic, sizeof kMagic) != 0 || zip::get_le32(head + 16) != kFormat) return EINVAL;
  r->device = zip::get_le64(head + 20);
  r->inode = zip::get_le64(head + 28);
  r->old_length = zip::get_le64(head + 36);
  r->from = zip::get_le64(head + 44);
  const uint64_t count = zip::get_le64(head + 52);
  // The saved bytes must be exactly what lies between header and trailer,
  // and must end where the old archive ended.
  if (count != static_cast<uint64_t>(size) - kHeaderSize - kTrailerSize) return EINVAL;
  if (r->from > r->old_length || r->old_length - r->from != count) return EINVAL;
  r->old_bytes.resize(static_cast<size_t>(count));
  uint8_t trailer[kTrailerSize];
  if (f.read_at(kHeaderSize, r->old_bytes.data(), r->old_bytes.size()) != static_cast<std::ptrdiff_t>(count) ||
      f.read_at(kHeaderSize + count, trailer, sizeof trailer) != static_cast<std::ptrdiff_t>(sizeof trailer))
    return EINVAL;
  uint32_t crc = crc32(0, head, sizeof head);
  crc = crc32(crc, r->old_bytes.data(), r->old_bytes.size());
  return crc == zip::get_le32(trailer) ? 0 : EINVAL;
}

}  // namespace

std::string rollback_path(const std::string& archive_path) { return archive_path + ".ostrana-rollback"; }

int save_rollback(const std::string& archive_path, const platform::File& archive, uint64_t from,
                  const std::vector<uint8_t>& old_bytes) {
  platform::FileInfo info;
  if (int err = platform::file_info_of(archive, &info)) return err;
  uint8_t head[kHeaderSize];
  std::memcpy(head, kMagic, sizeof kMagic);
  zip::put_le32(head + 16, kFormat);
  zip::put_le64(head + 20, info.device);
  zip::put_le64(head + 28, info.inode);
  zip::put_le64(head + 36, from + old_bytes.size());
  zip::put_le64(head + 44, from);
  zip::put_le64(head + 52, old_bytes.size());
  uint8_t trailer[kTrailerSize];
  zip::put_le32(trailer, crc32(crc32(0, head, sizeof head), old_bytes.data(), old_bytes.size()));

  const std::string path = rollback_path(archive_path);
  platform::File f;
  int err = f.open(path, platform::File::Mode::kCreate, 0600);
  if (err == 0) err = f.write(head, sizeof head);
  if (err == 0) err = f.write(old_bytes.data(), old_bytes.size());
  if (err == 0) err = f.write(trailer, sizeof trailer);
  if (err == 0) err = f.sync();
  if (int close_err = f.close(); err == 0) err = close_err;
  if (err == 0) err = platform::sync_folder(platform::parent_folder(path));
  if (err != 0) platform::remove_file(path);
  return err;
}

int discard_rollback(const std::string& archive_path) {
  const std::string path = rollback_path(archive_path);
  int err = platform::remove_file(path);
  if (err == 0) platform::sync_folder(platform::parent_folder(path));
  return err == ENOENT ? 0 : err;
}

RollbackOutcome restore_from_rollback(const std::string& archive_path, std::string* detail_ret) {
  const std::string path = rollback_path(archive_path);
  if (!platform::path_entry_exists(path)) return RollbackOutcome::kNone;
  RollbackRecord r;
  int err = read_record(path, &r);
  platform::FileInfo now;
  const bool same_archive =
      err == 0 && platform::file_info(archive_path, &now) == 0 && now.device == r.device && now.inode == r.inode;
  if (err == EINVAL || (err == 0 && !same_archive)) {
    // Written only partly (so never acted on), or left beside an archive that
    // has since been replaced: the archive is as its last complete run left it.
    discard_rollback(archive_path);
    return RollbackOutcome::kDiscarded;
  }
  if (err != 0) {
    *detail_ret = path + ": " + reason(err);
    return RollbackOutcome::kFailed;
  }
  platform::File archive;
  err = archive.open(archive_path, platform::File::Mode::kReadWrite);
  if (err == 0) err = archive.write_at(r.from, r.old_bytes.data(), r.old_bytes.size());
  if (err == 0) err = archive.truncate(r.old_length);
  if (err == 0) err = archive.sync();
  if (int close_err = archive.close(); err == 0) err = close_err;
  if (err != 0) {
    *detail_ret = archive_path + ": " + reason(err);
    return RollbackOutcome::kFailed;
  }
  discard_rollback(archive_path);
  return RollbackOutcome::kRestored;
}

}  // namespace ostrana
