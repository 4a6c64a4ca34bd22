/* tasks/protected_task_file.cpp - the protected task info file, written and read. */
#include "tasks/protected_task_file.h"

#include "core/operation_record.h"
#include "platform/file.h"
#include "tasks/task_info_file.h"
#include "tasks/task_info_lines.h"

namespace tasks {

int write_protected_task_info_file(const core::OperationRecord* record,
                                   TaskFileCipherStream::RandomSource random) {
  if (record == nullptr || record->task_file_path.empty()) return 0;
  const std::string& path = record->task_file_path;
  const std::string part = path + ".part";
  auto stream = std::make_unique<TaskFileCipherStream>(std::move(random));
  if (stream->open_for_writing(part.c_str()) != kStreamOk) {
    platform::remove_file(part);
    return 0;
  }
  // Per-line results are not errors of the file: an empty line is skipped and a
  // line over the limit is left out, as the format has always done.
  for (const std::string& line : format_task_info_lines(*record)) stream->write_line(line.c_str());
  const bool closed = stream->close();
  if (!closed || stream->write_failed() || platform::rename_path(part, path) != 0) {
    platform::remove_file(part);
    return 0;
  }
  return 1;
}

ProtectedRead read_protected_task_info_file(const std::string& path, core::OperationRecord* record,
                                            int* open_result_ret) {
  if (record != nullptr) record->cmdline_task_path = path;
  auto stream = std::make_unique<TaskFileCipherStream>();
  const int opened = stream->open_for_reading(path.c_str());
  if (open_result_ret != nullptr) *open_result_ret = opened;
  if (opened != kStreamOk) return ProtectedRead::kNotOpened;

  TaskInfoLineReader reader(record);
  std::string line;
  while (stream->read_line(&line) == kStreamOk) {
    if (!reader.take_line(line)) break;
  }
  stream->close();
  reader.finish();
  return reader.marker_accepted() ? ProtectedRead::kAccepted : ProtectedRead::kRefused;
}

TaskFileVerdict read_any_task_info_file(const std::string& path, core::OperationRecord* record) {
  switch (read_protected_task_info_file(path, record)) {
    case ProtectedRead::kAccepted:
      return TaskFileVerdict::kAccepted;
    case ProtectedRead::kRefused:
      return TaskFileVerdict::kRefused;
    case ProtectedRead::kNotOpened:
      break;
  }
  return read_task_info_file(path, record) == 1 ? TaskFileVerdict::kAccepted : TaskFileVerdict::kRefused;
}

}  // namespace tasks
