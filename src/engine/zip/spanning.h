/* engine/zip/spanning.h - writing a multi-volume archive over removable disks.
 *
 * Each disk holds one file at the archive's path.  The user is asked for the
 * first disk, and for disk 2, 3, ... as each fills (display type 0, OK or
 * Cancel; Cancel ends the run with 9).  Every disk after the first must pass
 * the write test (a scratch file in its root) - a write-protected or missing
 * disk brings a Retry/Cancel warning - and is then prepared: formatted
 * (wMultiVolControl bit 0, at the lower density with bit 1) or wiped (bit 8:
 * the root's files, the whole tree with bit 9, protected files too with bit
 * 10), and labelled "PKBACK# 001", "PKBACK# 002", ... where the volume keeps
 * labels.  The piece's limit is the disk's free space after that.  A later
 * disk that cannot be prepared or written is asked for again; the first one
 * fails the run with 19.  A disk that is no diskette cannot be formatted: 20.
 *
 * With a staging file (a temporary file on a fixed drive) each piece is
 * written there first and copied onto its disk in blocks of 30,720 bytes once
 * it is complete, the user's cancel polled between blocks; the staging file is
 * then emptied for the next piece.
 *
 * Disks are reached through the platform's volume service, so tests swap
 * folders for disks.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/zip/multi_volume_output.h"
#include "platform/file.h"

namespace ostrana {

struct ZipRun;

/// The label of disk @p disk (1-based): "PKBACK# 001".
std::string spanned_disk_label(ZipRun& run, uint32_t disk);

class SpannedPieceStore final : public PieceStore {
 public:
  /// @p staging: an open, empty staging file, or nullptr to write onto the disks directly.
  SpannedPieceStore(ZipRun& run, std::string archive_path, uint16_t control, platform::File* staging)
      : m_run(run), m_archive(std::move(archive_path)), m_control(control), m_staging(staging) {}

  int open_piece(uint32_t disk, platform::File** file_ret, uint64_t* limit_ret) override;
  int close_piece(uint32_t disk, bool last) override;
  /// Asks for the first disk again (display type 10 when a wrong one is
  /// inserted, OK/Cancel) and writes the final directory over its start.
  int rewrite_first_piece(const std::vector<uint8_t>& directory, const std::string& first_name) override;

 private:
  int ask_for_disk(uint32_t disk);
  int write_test_passes();
  int prepare_disk(uint32_t disk);
  int copy_staged();

  ZipRun& m_run;
  std::string m_archive;
  uint16_t m_control;
  platform::File* m_staging;
  platform::File m_file;  ///< the archive's file on the disk in the drive
};

}  // namespace ostrana
