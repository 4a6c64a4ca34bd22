/* run/archive_replacement.h - "create new" without losing the old archive first.
 *
 * A run that must make a new archive where one exists does not delete the old
 * one before it starts.  The engine builds the new archive under a fresh
 * hidden name beside the old one (".NAME.new-XXXXXXXXXXXX.zip", which the
 * engine's own selection skips as a hidden file), and only a complete run
 * renames it over the old archive, with the old file's permission bits.  A
 * failed or stopped run removes what it built, so the old archive stays
 * exactly as it was.  A symbolic link named as the archive keeps pointing at
 * the archive: the file it names is the one replaced.
 */
#pragma once

#include <string>

namespace run {

class ArchiveReplacement {
 public:
  ArchiveReplacement() = default;
  ArchiveReplacement(const ArchiveReplacement&) = delete;
  ArchiveReplacement& operator=(const ArchiveReplacement&) = delete;
  ~ArchiveReplacement();  ///< discards a work file that was neither committed nor discarded

  /// Chooses where the engine writes for @p archive_path: the archive itself when
  /// nothing exists there, else a fresh name beside it.  @return false when no
  /// free name could be found (the run must not start).
  bool begin(const std::string& archive_path);

  /// The path the engine is to write.
  const std::string& work_path() const { return m_work_path; }
  /// True when an old archive is being replaced (work_path() differs from it).
  bool replacing() const { return m_replacing; }
  /// The archive's own path (a symbolic link followed).
  const std::string& target_path() const { return m_target_path; }

  /// After a complete run: the new archive takes the old one's place.
  /// @return 0 or the errno of the failed rename (the old archive is then untouched).
  int commit();
  /// After a failed or stopped run: removes the partial new archive, if any.
  void discard();

 private:
  std::string m_target_path;
  std::string m_work_path;
  bool m_replacing = false;
  bool m_pending = false;
};

}  // namespace run
