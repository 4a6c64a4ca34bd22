/* tasks/task_info_lines.h - the lines of a task info file and how they are read.
 *
 * Both forms of the task info file (plain and protected) carry the same
 * sixteen lines "KEY = value": the marker line first, then the task and
 * operation fields of the operation record.  The last two, the destination
 * folder of an extraction and whether the results log is written, came after
 * the first fourteen; readers that do not know a key skip its line, so files
 * with and without them are read alike, and a file without the log line logs
 * when it names a log file.  This file is the one place that
 * knows the lines, their keys, their order and their encodings; the two forms
 * only differ in how a line is stored as a record.
 *
 * Writing: each line is formatted as the program always did ("%s" for texts,
 * "%d" for integers) and ends at its first zero byte; a line longer than the
 * 16,384-byte line buffer is cut to 16,384 bytes.
 *
 * Reading: the first line must be "PRJ_TAG = " followed by the marker token
 * (compared without regard to letter case); every later line is tested against
 * the keys in a fixed order, each key searched anywhere in the line, and the
 * first key found takes the line.  Text fields take everything after the key;
 * integer fields take the code of the one character after the key minus the
 * code of "0", so only 0..9 survive a round trip.  Lines without a key are
 * skipped; a repeated key leaves its last value.
 */
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace core {
struct OperationRecord;
}

namespace tasks {

/// Size of the line buffer: a line is cut to this many bytes on writing, and a
/// record of this length or longer ends reading.
inline constexpr size_t kTaskLineBufferBytes = 16384;

/// The marker that identifies a task info file.
inline constexpr char kTaskFileMarker[] = "_PARVELL_SECURE_TASK_FILE_INFO_";
/// The literal that starts the marker line.
inline constexpr char kMarkerKey[] = "PRJ_TAG = ";

/// Keys of the two lines after the first fourteen.
inline constexpr char kDestinationFolderKey[] = "ZIP_DESTINATION_FOLDER_NAME = ";
inline constexpr char kLogEnabledKey[] = "ZIP_LOG_ENABLED = ";

/// The sixteen lines of @p record in writing order.
std::vector<std::string> format_task_info_lines(const core::OperationRecord& record);

/// Takes the lines of one task info file, in order, into an operation record.
class TaskInfoLineReader {
 public:
  explicit TaskInfoLineReader(core::OperationRecord* record) : m_record(record) {}

  /// Handles the next line (its bytes up to the first zero byte are used).
  /// @return false when reading must stop: the first line was not the marker line.
  bool take_line(std::string_view line);

  /// Call after the last line: fills what a file may leave out (log enabled).
  void finish();

  /// True once the first line carried the marker.
  bool marker_accepted() const { return m_marker_accepted; }

 private:
  void take_keyed_line(std::string_view line);

  core::OperationRecord* m_record;
  bool m_first = true;
  bool m_marker_accepted = false;
  bool m_log_enabled_seen = false;
};

}  // namespace tasks
