/* engine/unzip/unzip_state.h - the unzip side's per-thread state and the record of one run.
 *
 * The calling thread's UnzipThreadState holds the busy flag of the re-entry
 * guard, the UnzipRun (cleared at the start of every call) and what lasts
 * between calls: the last archive's loaded central directory with the
 * position of the item walk, so that successive "next item" calls continue
 * where the previous one stopped.
 *
 * The stages behind the entry (the information functions, extraction) receive
 * the UnzipRun with the caller's settings checked and decoded, report through
 * unzip_report() (unzip_run.h) and ask through run.display().
 */
#pragma once

#include <cstdint>
#include <string>

#include "engine/common/engine_run.h"
#include "engine/unzip/central_directory.h"
#include "engine/unzip/piece_chain.h"
#include "engine/unzip/unzip_messages.h"
#include "ostrana_unzip.h"
#include "platform/file.h"

namespace ostrana {

/// One unzip call: the caller's record in full, and everything decoded from it.
struct UnzipRun : EngineRun {
  UnzipRun() : EngineRun(kUnzipMessages, kUnzipDisplayTable, kUnzipMsgDiagnosticLogName) {}

  UNZIPCMDSTRUCT cmd{};       ///< the caller's record, fields beyond its size zero

  size_t in_buffer_nbytes = 0;   ///< 10,240, or 8,192 for functions 9 to 11
  size_t out_buffer_nbytes = 0;  ///< 61,440, or 8,192 for functions 9 to 11

  // The caller's strings, copied before use; later stages read these, never
  // the record's pointers.
  std::string archive_path;    ///< lpszZIPFile
  std::string filespec;        ///< lpszFilespec ("" when missing)
  bool filespec_given = false; ///< lpszFilespec is not null
  std::string destination;     ///< lpszDestination without quotes, ending in "/" ("" when none)
  bool destination_given = false;
  std::string password;        ///< lpszDecryptCode when decryptFlag is set (wiped at the end)
  std::string progress_title;  ///< at most 299 characters
  bool file_to_memory = false;
  uint64_t mem_block_nbytes = 0;   ///< lMemBlockSizeH:lMemBlockSize
  uint64_t starting_offset = 0;    ///< lStartingOffsetH:lStartingOffset
  OSTRANA_DATA_PROC data_proc = nullptr;  ///< the archive-data callback
  void* data_user = nullptr;

  platform::File archive;      ///< the archive, open for the functions that read it
  PieceChain pieces;           ///< a byte-split archive's pieces (archive holds the first)
};

class UnzipThreadState {
 public:
  bool busy = false;           ///< inside OstranaUnzip on this thread
  UnzipRun run;
  CentralDirectory directory;  ///< kept between calls, with its iteration position
};

/// The calling thread's state; created when missing and @p create is set.
/// @return nullptr when there is none (or it cannot be allocated).
UnzipThreadState* unzip_thread_state(bool create);

/// Replaces the calling thread's state by a new one.  @return 0, 4 (no memory)
/// or 45 (the thread is inside OstranaUnzip).
int unzip_state_create();

/// Frees the calling thread's state unless it is inside OstranaUnzip.
void unzip_state_release();

}  // namespace ostrana
