/* run/processed_files.h - "delete after": the files a zip run stored, and their safe deletion.
 *
 * A zip run with "delete after" notes each file whose progress reached 100 %,
 * by the name the engine reported (its name below the drive root, "/" here),
 * together with the file's state when the engine began to read it.  After a
 * successful run the files are deleted only when all of this holds:
 *   - the new archive tests whole through the engine (every entry expanded,
 *     its CRC-32 checked) - a failed test deletes nothing at all;
 *   - the archive holds a file entry of exactly that name and size, stamped
 *     with the file's modification time (to the 2 seconds the format keeps);
 *   - the file still has the size, modification and change times and the
 *     identity it had when the engine first reported it (a file changed
 *     during the run is kept);
 *   - the name has no ".." in it and resolves inside the originating folder's
 *     tree.
 * Deleting is best effort: a file that cannot be deleted is reported, never an error.
 */
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bridge/engine_bridge.h"
#include "platform/file_info.h"

namespace run {

/// One file entry of the new archive, as the check found it.
struct TestedEntry {
  std::string name;
  uint64_t size = 0;
  bool folder = false;
  int64_t mtime = -1;  ///< the stored modification time (local, 2-second steps); -1 unknown
};

/// Tests @p archive and lists its entries into @p entries.  @return 0 when every
/// entry tested whole, else the engine's code.
using ArchiveTester = std::function<int32_t(const std::string& archive, std::vector<TestedEntry>* entries)>;

/// The engine's test and listing through the bridge.
ArchiveTester engine_archive_tester(bridge::ProgramInstance instance);

/// Where the engine's name @p name stands on disk for a run from @p originating_folder:
/// "/" + name (the drive root), or the bare name when no originating folder is
/// known.  @return "" when the name must never be deleted (empty, a ".."
/// component, or outside the originating folder's tree).
std::string processed_file_path(const std::string& originating_folder, const std::string& name);

/// The processed-files list, in the order the files finished.
class ProcessedFiles {
 public:
  /// Notes the state of @p path the first time the engine reports @p name (reading begins).
  void note_reading(const std::string& name, const std::string& path);
  /// Adds @p name to the list (once) when it reached 100 %.
  void note_finished(const std::string& name);

  const std::vector<std::string>& names() const { return m_order; }
  void clear();

  struct Report {
    int32_t test_result = 0;          ///< the engine's test of the new archive
    std::vector<std::string> deleted; ///< paths deleted
    std::vector<std::string> kept;    ///< names kept: changed, missing from the archive, or refused
    std::vector<std::string> failed;  ///< paths whose deletion the system refused
  };

  /// Tests @p archive with @p tester and deletes what passes the rules above.
  Report delete_verified(const std::string& archive, const std::string& originating_folder,
                         const ArchiveTester& tester) const;

 private:
  struct Noted {
    std::string path;
    platform::FileInfo read_state;
    bool have_state = false;
    bool finished = false;
  };
  std::map<std::string, Noted> m_noted;
  std::vector<std::string> m_order;
};

}  // namespace run
