/* tasks/protected_task_file.h - the protected task info file, written and read.
 *
 * The same sixteen lines as the plain form (tasks/task_info_lines.h), each
 * written through the task file cipher stream.  The writer draws fresh random
 * values for every file, so two files of one record differ completely; like
 * the plain writer it builds the file beside its final name and renames it into
 * place, leaving nothing half-written when a write fails.
 */
#pragma once

#include <string>

#include "tasks/task_file_cipher_stream.h"

namespace core {
struct OperationRecord;
}

namespace tasks {

/// Writes @p record protected to record->task_file_path.
/// @return 1 when written, 0 when no record was given, the stream could not be
/// opened, or a write failed.  @p random replaces the system's random bytes (tests).
int write_protected_task_info_file(const core::OperationRecord* record,
                                   TaskFileCipherStream::RandomSource random = {});

/// What the protected reader made of a file.
enum class ProtectedRead {
  kAccepted,   ///< opened, and the first line carried the marker
  kNotOpened,  ///< the stream did not open it (no file, empty, header check, key): try the plain form
  kRefused,    ///< opened, but the marker line did not match
};

/// Reads @p path as a protected task info file into @p record and stores @p path
/// as the record's command-line task path.  @p open_result_ret receives the
/// stream's open result when given.
ProtectedRead read_protected_task_info_file(const std::string& path, core::OperationRecord* record,
                                            int* open_result_ret = nullptr);

/// Verdict of reading a task info file in whichever form it has.
enum class TaskFileVerdict {
  kAccepted,   ///< read (protected or plain) and the marker matched
  kRefused,    ///< neither form accepted the file
};

/// The scheduled start's one call: the protected reader first; when it cannot
/// open the file (no file, empty file, header check, cipher set-up) the plain
/// reader.  A file the protected reader opened but whose marker is wrong is
/// refused.  May throw what the readers throw (std::bad_alloc).
TaskFileVerdict read_any_task_info_file(const std::string& path, core::OperationRecord* record);

}  // namespace tasks
