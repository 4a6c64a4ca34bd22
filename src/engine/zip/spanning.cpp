/* engine/zip/spanning.cpp - writing a multi-volume archive over removable disks. */
#include "engine/zip/spanning.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "engine/zip/directory_first.h"
#include "engine/zip/zip_output.h"
#include "engine/zip/zip_run.h"
#include "ostrana_callbacks.h"
#include "platform/disk_preparation.h"
#include "platform/file_info.h"
#include "platform/folders.h"
#include "platform/output_tree.h"
#include "platform/volume.h"

namespace ostrana {
namespace {

constexpr size_t kCopyBlockNbytes = 30720;
/// Disks refused in a row before the run gives up (a caller that always says OK).
constexpr int kDiskAttemptLimit = 64;

/// Tells the caller how a format goes; its cancel stops the format.
class FormatProgress final : public platform::FormatObserver {
 public:
  FormatProgress(ZipRun& run, const std::string& drive) : m_run(run), m_drive(drive) {}
  int track(int cylinder, int, int last_cylinder) override {
    const int percent = last_cylinder > 0 ? cylinder * 100 / last_cylinder : 100;
    std::string drive = m_run.messages.format(kZipMsgFormattingDrive, 1, m_drive.c_str());
    if (int rc = m_run.status.major(drive.c_str(), percent)) return rc;
    std::string text = m_run.messages.format(kZipMsgFormattingCylinder, 1, cylinder);
    return m_run.status.minor(text.c_str(), percent);
  }
  void initializing() override { m_run.status.minor(m_run.messages.text(kZipMsgInitializingMedia, 1), 100); }

 private:
  ZipRun& m_run;
  std::string m_drive;
};

}  // namespace

std::string spanned_disk_label(ZipRun& run, uint32_t disk) {
  std::string label = run.messages.format(kZipMsgDiskLabel, 1, static_cast<int>(disk));
  label.erase(std::remove(label.begin(), label.end(), '.'), label.end());
  if (label.size() > 11) label.resize(11);
  return label;
}

int SpannedPieceStore::ask_for_disk(uint32_t disk) {
  const int answer = disk == 0 ? m_run.display(0, OSTRANA_MB_OKCANCEL, -1, -1)
                               : m_run.display(0, OSTRANA_MB_OKCANCEL, static_cast<int>(disk + 1), 0);
  return answer == OSTRANA_ID_OK ? 0 : OZ_INTERRUPTED;
}

/// @return 0 when the disk takes a scratch file, 1 to ask for a disk again, 9 cancelled.
int SpannedPieceStore::write_test_passes() {
  platform::VolumeService& volumes = platform::volume_service();
  if ((m_control & ZIP_MV_FORMAT) != 0 || volumes.drive_kind(m_archive) == platform::DriveKind::kCdRom) return 0;
  if (platform::write_test(volumes.volume_root(m_archive)) == 0) return 0;
  const int answer =
      m_run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_RETRYCANCEL, 0, 0, m_run.messages.text(kZipMsgWriteProtected, 0));
  return answer == OSTRANA_ID_RETRY ? 1 : OZ_INTERRUPTED;
}

/// Formats or wipes, then labels.  @return 0, 9 cancelled, 20 no diskette, 19 failure.
int SpannedPieceStore::prepare_disk(uint32_t disk) {
  platform::VolumeService& volumes = platform::volume_service();
  const std::string root = volumes.volume_root(m_archive);
  const std::string saved_text = m_run.status.last_major_text();
  const int saved_percent = m_run.status.last_major_percent();
  if (m_control & ZIP_MV_FORMAT) {
    FormatProgress progress(m_run, root);
    int err = volumes.format_medium(m_archive, (m_control & ZIP_MV_LOW_DENSITY) != 0, &progress);
    if (err == ECANCELED) return OZ_INTERRUPTED;
    if (err == ENOTSUP) return OZ_BAD_MULTIVOLUME;
    if (err != 0) return OZ_MEDIA_ERROR;
  } else if (m_control & ZIP_MV_WIPE) {
    int cancelled = 0;
    auto observer = [&](const std::string&) {
      std::string text = m_run.messages.format(kZipMsgWiping, 1, root.c_str());
      cancelled = m_run.status.minor(text.c_str(), 100);
      return cancelled;
    };
    int err = platform::wipe_disk(root, (m_control & ZIP_MV_WIPE_TREE) != 0, (m_control & ZIP_MV_WIPE_PROTECTED) != 0,
                                  observer);
    if (cancelled != 0) return OZ_INTERRUPTED;
    if (err != 0) return OZ_MEDIA_ERROR;
  }
  // The run's own progress text comes back after the preparation's texts.
  if (m_control & (ZIP_MV_FORMAT | ZIP_MV_WIPE))
    if (m_run.status.major(saved_text.c_str(), saved_percent) != 0) return OZ_INTERRUPTED;
  // A volume that keeps no label (or refuses one) is used without.
  volumes.set_volume_label(m_archive, spanned_disk_label(m_run, disk + 1));
  return 0;
}

int SpannedPieceStore::open_piece(uint32_t disk, platform::File** file_ret, uint64_t* limit_ret) {
  const bool first = disk == 0;
  for (int attempt = 0;; ++attempt) {
    if (attempt == kDiskAttemptLimit) return zip_report(m_run, OZ_MEDIA_ERROR, m_archive.c_str());
    if (int rc = ask_for_disk(disk)) return zip_report(m_run, rc);
    if (!first) {
      int rc = write_test_passes();
      if (rc == 1) continue;
      if (rc != 0) return zip_report(m_run, rc);
    }
    // What was at the archive's path on this disk goes (a format removes it anyway).
    const int gone = (m_control & ZIP_MV_FORMAT) != 0 ? 0 : platform::remove_file(m_archive);
    if (gone != 0 && gone != ENOENT) {
      if (first) return zip_report(m_run, OZ_BAD_STRUCTURE, m_archive.c_str());
      continue;
    }
    int rc = prepare_disk(disk);
    if (rc == OZ_INTERRUPTED || rc == OZ_BAD_MULTIVOLUME) return zip_report(m_run, rc, m_archive.c_str());
    if (rc == 0 && platform::make_folder_path(platform::parent_folder(m_archive)) != 0) rc = OZ_MEDIA_ERROR;
    if (rc == 0 && m_file.open(m_archive, platform::File::Mode::kCreate) != 0) rc = OZ_MEDIA_ERROR;
    if (rc == 0) m_run.output->started = true;
    if (rc != 0) {
      if (first) return zip_report(m_run, rc, m_archive.c_str());
      continue;  // another disk
    }
    uint64_t free = 0;
    if (platform::volume_service().free_space(m_archive, &free) != 0) free = UINT64_MAX >> 1;
    if (free == 0) {
      m_file.close();
      platform::remove_file(m_archive);
      if (first) return zip_report(m_run, OZ_MEDIA_ERROR, m_archive.c_str());
      continue;
    }
    *limit_ret = free;
    *file_ret = m_staging != nullptr ? m_staging : &m_file;
    return 0;
  }
}

int SpannedPieceStore::copy_staged() {
  const int64_t size = m_staging->size();
  if (size < 0) return zip_report(m_run, OZ_TEMP_FAILED);
  uint64_t free = 0;
  if (platform::volume_service().free_space(m_archive, &free) == 0 && free < static_cast<uint64_t>(size))
    return zip_report(m_run, OZ_TEMP_FAILED, m_archive.c_str());
  std::vector<uint8_t> block(kCopyBlockNbytes);
  for (uint64_t at = 0; at < static_cast<uint64_t>(size);) {
    if (int rc = m_run.status.major_poll()) return zip_report(m_run, rc);
    size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), static_cast<uint64_t>(size) - at));
    if (m_staging->read_at(at, block.data(), n) != static_cast<std::ptrdiff_t>(n) ||
        m_file.write_at(at, block.data(), n) != 0)
      return zip_report(m_run, OZ_TEMP_FAILED, m_archive.c_str());
    at += n;
  }
  if (m_file.sync() != 0 || m_staging->truncate(0) != 0) return zip_report(m_run, OZ_TEMP_FAILED, m_archive.c_str());
  return 0;
}

int SpannedPieceStore::close_piece(uint32_t, bool) {
  if (m_staging != nullptr)
    if (int rc = copy_staged()) return rc;
  if (m_file.close() != 0) return zip_report(m_run, OZ_WRITE_FAILED, m_archive.c_str());
  // A disk taken out before its file was complete: the set is lost.
  platform::FileInfo info;
  if (platform::file_info(m_archive, &info) != 0) return zip_report(m_run, OZ_INTERRUPTED, m_archive.c_str());
  return 0;
}

int SpannedPieceStore::rewrite_first_piece(const std::vector<uint8_t>& directory, const std::string& first_name) {
  constexpr size_t kCentralHeadNbytes = 46;
  for (int attempt = 0;; ++attempt) {
    if (attempt == kDiskAttemptLimit) return zip_report(m_run, OZ_MEDIA_ERROR, m_archive.c_str());
    if (int rc = ask_for_disk(0)) return zip_report(m_run, rc);
    platform::File first;
    std::vector<uint8_t> head(kCentralHeadNbytes + first_name.size());
    std::ptrdiff_t got = -1;
    if (first.open(m_archive, platform::File::Mode::kReadWrite) == 0) got = first.read_at(0, head.data(), head.size());
    if (got < 0 || !starts_with_central_header(head.data(), static_cast<size_t>(got), first_name)) {
      if (m_run.display(10, OSTRANA_MB_OKCANCEL, 0, 0) != OSTRANA_ID_OK) return zip_report(m_run, OZ_INTERRUPTED);
      continue;
    }
    if (first.write_at(0, directory.data(), directory.size()) != 0 || first.sync() != 0 || first.close() != 0)
      return zip_report(m_run, OZ_WRITE_FAILED, m_archive.c_str());
    return 0;
  }
}

}  // namespace ostrana
