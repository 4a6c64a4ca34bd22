/* tests/fuzz/task_info_file/fuzz.cpp - both task info file readers on hostile bytes.
 *
 * A task info file is read at every scheduled start from a path anybody with
 * access to the folder may have replaced.  The input is tried three ways: as a
 * plain file; as a protected file as it is; and behind a valid protected
 * header built from its first 16 bytes, so that the record lengths and the
 * deciphered lines behind the header check are reached too.  Each read must
 * end without a fault, and reading the same bytes twice must give the same
 * fields (abort() otherwise).
 *
 * The task file readers build without Qt (the parvell_tasks library), so the
 * fuzz build links them although it has no wizard.
 */
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "core/operation_record.h"
#include "tasks/protected_task_file.h"
#include "tasks/task_info_file.h"

namespace {

std::string scratch_path() {
  static std::string path = [] {
    char name[] = "/tmp/fuzz-task-info-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

void put(const std::string& path, const uint8_t* data, size_t size, const std::string& prefix = {}) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(prefix.data(), 1, prefix.size(), f);
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

std::string fields(const core::OperationRecord& r) {
  return r.task_name + '\n' + r.task_comment + '\n' + r.archive_path + '\n' + r.file_list + '\n' +
         r.log_file_name + '\n' + r.destination_folder + '\n' + std::to_string(r.stored_operation) +
         std::to_string(r.create_new) + std::to_string(r.log_enabled);
}

void read_twice(const std::string& path) {
  core::OperationRecord first, second;
  first.reset();
  second.reset();
  const auto a = tasks::read_any_task_info_file(path, &first);
  const auto b = tasks::read_any_task_info_file(path, &second);
  if (a != b || fields(first) != fields(second)) std::abort();
  core::OperationRecord plain;
  plain.reset();
  tasks::read_task_info_file(path, &plain);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratch_path();
  put(path, data, size);
  read_twice(path);

  if (size >= 16) {
    const auto header = tasks::TaskFileCipherStream::header_from_random(data);
    std::string bytes;
    bytes += static_cast<char>(header.check & 0xFF);
    bytes += static_cast<char>(header.check >> 8);
    for (uint32_t v : {header.g1, header.g2})
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    bytes += static_cast<char>(header.b1);
    bytes += static_cast<char>(header.b2);
    put(path, data + 16, size - 16, bytes);
    read_twice(path);
  }
  return 0;
}
