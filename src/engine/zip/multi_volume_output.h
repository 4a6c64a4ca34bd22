/* engine/zip/multi_volume_output.h - the archive writer's output spread over pieces.
 *
 * A multi-volume archive is written once, front to back, into pieces: split
 * parts in one folder or files on successive removable disks.  The
 * MultiVolumeOutput is the writer's ArchiveOutput for it: it cannot be
 * repositioned (a finished piece may be on a disk that was taken out), so
 * entries carry data descriptors; offset() is the offset within the current
 * piece and disk() its 0-based number, which is what the headers record.
 *
 * Room: each piece has a limit fixed when it is opened (the part's size or
 * the free space of its disk).  Entry data runs on into the next piece at the
 * limit; a header or end record (keep_together) that does not fit the room
 * left starts the next piece first.  A record bigger than a whole empty piece
 * cannot be kept together: 6 ("Entry too big to split").  The first piece
 * starts with the spanning signature PK\7\8.
 *
 * Where the pieces go is a PieceStore: SplitPieceStore (below) or the
 * spanning store of spanning.h.  The output holds the current piece in a
 * buffered FileArchiveOutput that the store hands it.
 */
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/zip/archive_output.h"
#include "engine/zip/split_names.h"
#include "ostrana_results.h"
#include "platform/file.h"

namespace ostrana {

struct ZipRun;

/// Opens and closes the pieces of one multi-volume archive.
class PieceStore {
 public:
  virtual ~PieceStore() = default;
  /// Opens piece @p disk (0-based) for writing.  @return 0 with *@p file_ret
  /// the file its bytes go to and *@p limit_ret the most bytes it may hold; or
  /// a code (9 cancelled, 10 cannot create, 19 media error, 14 no room).
  virtual int open_piece(uint32_t disk, platform::File** file_ret, uint64_t* limit_ret) = 0;
  /// The piece's bytes are all in its file (flushed): closes it.  @p last: the
  /// archive's end is in it.  @return 0 or a code.
  virtual int close_piece(uint32_t disk, bool last) = 0;
  /// Directory-first layout, after the last piece was closed: writes
  /// @p directory over the start of the first piece, whose first header must
  /// be named @p first_name.  @return 0 or a code (9 when the piece is not
  /// the right one and the user gives up).
  virtual int rewrite_first_piece(const std::vector<uint8_t>& directory, const std::string& first_name) = 0;
};

class MultiVolumeOutput final : public ArchiveOutput {
 public:
  explicit MultiVolumeOutput(PieceStore& store) : m_store(store) {}

  /// Opens the first piece and writes the spanning signature (unless
  /// @p signature is false: the directory-first layout).  @return 0 or a code.
  int start(bool signature = true);

  int write(const uint8_t* data, size_t nbytes) override;
  uint64_t offset() const override { return m_in_piece; }
  uint32_t disk() const override { return m_disk; }
  bool repositionable() const override { return false; }
  int keep_together(size_t nbytes) override;
  int patch(uint64_t, const uint8_t*, size_t) override { return fail(OZ_INTERNAL); }
  int truncate(uint64_t) override { return fail(OZ_INTERNAL); }
  /// Flushes and closes the last piece.
  int finish() override;

  /// Pieces opened so far.
  uint32_t pieces() const { return m_open ? m_disk + 1 : m_disk; }

 private:
  int fail(int code) {
    if (m_code == 0) m_code = code;
    return m_code;
  }
  int open(uint32_t disk);
  int next_piece();

  PieceStore& m_store;
  std::unique_ptr<FileArchiveOutput> m_piece;
  uint32_t m_disk = 0;
  bool m_open = false;
  bool m_with_signature = true;
  uint64_t m_in_piece = 0;  ///< bytes in the current piece
  uint64_t m_limit = 0;     ///< the most the current piece may hold
  int m_code = 0;           ///< the first failure, returned by every later call
};

/// Split output: parts named by split_names.h in the archive's folder.
/// Part 1 is created before the run (create_first_part); every part but the
/// last is announced with display type 14 when it is closed.
class SplitPieceStore final : public PieceStore {
 public:
  /// @p directory_first: part 1 is rewritten at the end, so it is not
  /// announced when it is closed.
  SplitPieceStore(ZipRun& run, std::string first_part, const VolumeSizes& sizes, bool directory_first)
      : m_run(run), m_first(std::move(first_part)), m_sizes(sizes), m_directory_first(directory_first) {}

  /// Hands over the already created part 1.
  void adopt_first_part(platform::File&& file) { m_file = std::move(file); }

  int open_piece(uint32_t disk, platform::File** file_ret, uint64_t* limit_ret) override;
  int close_piece(uint32_t disk, bool last) override;
  int rewrite_first_piece(const std::vector<uint8_t>& directory, const std::string& first_name) override;

  /// The name of part @p n (1-based).
  std::string part_name(uint32_t n) const { return n == 1 ? m_first : split_part_name(m_first, n); }

 private:
  ZipRun& m_run;
  std::string m_first;
  const VolumeSizes& m_sizes;
  bool m_directory_first;
  platform::File m_file;
};

}  // namespace ostrana
