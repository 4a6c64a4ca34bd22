/* engine/zip/zip_state.h - the zip side's per-thread state and the record of one run.
 *
 * All working data of a zip call lives in the calling thread's ZipThreadState:
 * the busy flag of the re-entry guard and the ZipRun, which the entry clears
 * at the start of every call.  Later stages of the zip side (item selection,
 * the archive writer, encryption, multi-volume output) receive the ZipRun and
 * read the caller's settings from it, already checked and decoded; they
 * report through zip_report() (zip_run.h) and ask through run.display().
 *
 * The state is a thread_local object: created on a thread's first call (or by
 * OstranaZipStateCreate), kept between calls, freed by OstranaZipStateRelease,
 * OstranaEngineEnd or the thread's end.  The entry frees the run's buffers
 * before it returns; the run's scalar settings stay readable until the next
 * call (tests look at them).
 */
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/activity_log.h"
#include "engine/common/engine_run.h"
#include "engine/zip/deflate.h"
#include "engine/zip/zip_messages.h"
#include "ostrana_zip.h"

namespace ostrana {

struct ZipOutputState;  // engine/zip/zip_output.h

/// One zip call: the caller's record in full, and everything decoded from it.
struct ZipRun : EngineRun {
  ZipRun() : EngineRun(kZipMessages, kZipDisplayTable, kZipMsgDiagnosticLogName) {}

  ZIPCMDSTRUCT cmd{};        ///< the caller's record, fields beyond its size zero

  // The caller's strings, copied by the entry (only those its flags use); later
  // stages read these, never the record's pointers.
  std::string archive_path;      ///< lpszZIPFile ("" for memory-to-memory)
  std::string item_list;         ///< lpszItemList
  std::string temp_path;         ///< lpszTempPath, with pathForTempFlag
  std::string comment;           ///< lpszComment, with addCommentFlag
  std::string date;              ///< lpszDate, with afterDateFlag
  std::string include_patterns;  ///< lpszIncludeFollowing, with includeOnlyFollowingFlag
  std::string exclude_patterns;  ///< lpszExludeFollowing, with excludeFollowingFlag
  std::string store_suffixes;    ///< lpszStoreSuffixes, with dontCompressTheseSuffixesFlag
  std::string password;          ///< lpszEncryptCode, with encryptFlag (wiped at the end)
  std::string progress_title;    ///< lpszExtProgTitle, at most 299 characters
  CompressionChoice compression{};  ///< from compFactor (deflate.h)
  bool aes = false;            ///< lZipSubOptions2 bit 2 with encryptFlag
  bool aes_zip_format = false; ///< with bit 3 as well: the ZIP AES format (method 99), not strong encryption
  int aes_strength = 0;        ///< 1, 2, 3 (128, 192, 256 bits)
  std::vector<uint8_t> aes_work;  ///< 8,208-byte work area of AES encryption
  bool after_date = false;
  uint32_t after_dos_datetime = 0;  ///< lpszDate as a DOS date-time (00:00:00)
  const uint8_t* mem_block = nullptr;  ///< lpMemBlock when lpszItemList names its entry
  uint64_t mem_block_nbytes = 0;       ///< lMemBlockSizeH:lMemBlockSize
  OSTRANA_DATA_PROC data_proc = nullptr;  ///< from lpCallbackStruct
  void* data_user = nullptr;

  ActivityLog activity;  ///< option bit 8: what the run did to each item
  std::shared_ptr<ZipOutputState> output;  ///< the archive being written (zip_output.h)
};

class ZipThreadState {
 public:
  bool busy = false;  ///< inside OstranaZip on this thread
  ZipRun run;
  DeflateCompressor compressor;  ///< work memory kept between runs, freed with the state
};

/// The calling thread's state; created when missing and @p create is set.
/// @return nullptr when there is none (or it cannot be allocated).
ZipThreadState* zip_thread_state(bool create);

/// Replaces the calling thread's state by a new one.  @return 0, 4 (no memory)
/// or 1 (the thread is inside OstranaZip).
int zip_state_create();

/// Frees the calling thread's state unless it is inside OstranaZip.
void zip_state_release();

}  // namespace ostrana
