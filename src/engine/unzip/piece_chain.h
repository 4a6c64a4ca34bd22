/* engine/unzip/piece_chain.h - an archive cut into raw pieces, read as one file.
 *
 * 7-Zip and many uploaders split a finished archive into plain byte pieces
 * NAME.zip.001, NAME.zip.002, ... (no disk numbers: the archive's offsets
 * run on across the cuts).  When the archive named is such a first piece, or
 * NAME.zip is missing and NAME.zip.001 exists, the reader takes the pieces in
 * order as one file: every read of the unzip side goes through the chain,
 * which maps an offset to its piece and reads from there; nothing is copied.
 *
 * The pieces are found when the chain opens: .001, .002, ... for as long as
 * they exist.  A gap (a later piece exists, one before it does not) names the
 * missing piece at once.  One piece is open at a time.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace ostrana {

class PieceChain {
 public:
  /// The first piece of a byte-split archive named by @p path: @p path itself
  /// when it ends in ".001", else @p path + ".001" when @p path does not exist
  /// and that does; "" when @p path names no chain.
  static std::string first_piece_of(const std::string& path);

  /// The name of piece @p n (1-based) of the chain whose first piece is @p first.
  static std::string piece_name(const std::string& first, uint32_t n);

  /// Finds the pieces following @p first.  @return 0, or errno; on a gap
  /// ENOENT with *@p missing_ret naming the missing piece.
  int open(const std::string& first, std::string* missing_ret);
  void close();
  bool active() const { return !m_pieces.empty(); }

  /// The whole archive's length.
  int64_t length() const { return static_cast<int64_t>(m_total); }
  /// Reads across the pieces: short only at the end of the last one; -1 on failure.
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes);

  size_t piece_count() const { return m_pieces.size(); }
  const std::string& last_piece_path() const { return m_pieces.back().path; }
  /// The piece that would come after the last one found.
  std::string next_piece_name() const;
  /// True when the last piece is as long as the first: the cut may have gone
  /// on, and a missing next piece would explain a missing end record.
  bool may_continue() const;

 private:
  struct Piece {
    std::string path;
    uint64_t start = 0;    ///< offset of its first byte in the whole archive
    uint64_t nbytes = 0;
  };
  int select(size_t index);

  std::vector<Piece> m_pieces;
  uint64_t m_total = 0;
  platform::File m_file;
  size_t m_open = SIZE_MAX;  ///< the piece m_file holds
};

}  // namespace ostrana
