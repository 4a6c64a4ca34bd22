/* tasks/task_info_file.cpp - the task info file: its name and the plain form. */
#include "tasks/task_info_file.h"

#include <cstdint>
#include <vector>

#include "core/operation_record.h"
#include "platform/file.h"
#include "tasks/task_info_lines.h"

namespace tasks {
namespace {

void put_le32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool task_info_file_path(const std::string& originating_folder, const std::string& task_name,
                         std::string* path_ret) {
  std::string joined = originating_folder;
  if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') joined += '/';
  joined += task_name;
  if (joined.size() > kTaskPathJoinMax) return false;
  *path_ret = joined + kTaskFileSuffix;
  return true;
}

bool write_file_replacing(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::string part = path + ".part";
  platform::File file;
  if (file.open(part, platform::File::Mode::kCreate) != 0) return false;
  bool ok = file.write(bytes.data(), bytes.size()) == 0;
  ok = file.close() == 0 && ok;
  if (ok) ok = platform::rename_path(part, path) == 0;
  if (!ok) platform::remove_file(part);
  return ok;
}

int write_task_info_file(const core::OperationRecord* record) {
  if (record == nullptr) return 0;
  std::string bytes;
  for (const std::string& line : format_task_info_lines(*record)) {
    put_le32(&bytes, static_cast<uint32_t>(line.size()));
    bytes += line;
  }
  return write_file_replacing(record->task_file_path, bytes) ? 1 : 0;
}

int read_task_info_file(const std::string& path, core::OperationRecord* record) {
  if (record != nullptr) record->cmdline_task_path = path;
  platform::File file;
  if (path.empty() || file.open(path, platform::File::Mode::kRead) != 0) return 0;

  TaskInfoLineReader reader(record);
  std::vector<char> line(kTaskLineBufferBytes);
  for (;;) {
    uint8_t length[4];
    if (file.read_full(length, 4) != 4) break;
    const uint32_t n = uint32_t(length[0]) | uint32_t(length[1]) << 8 | uint32_t(length[2]) << 16 |
                       uint32_t(length[3]) << 24;
    if (n >= kTaskLineBufferBytes) break;
    if (file.read_full(line.data(), n) != static_cast<std::ptrdiff_t>(n)) break;
    if (!reader.take_line(std::string_view(line.data(), n))) break;
  }
  reader.finish();
  return reader.marker_accepted() ? 1 : 0;
}

}  // namespace tasks
