/* tests/tasks/task_file_util.h - building task info files byte by byte for tests. */
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "app/operation_record.h"

namespace tasktest {

/// A plain record: 32-bit little-endian length, then the bytes.
inline std::string plain_record(const std::string& line) {
  std::string out;
  const uint32_t n = static_cast<uint32_t>(line.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  return out + line;
}

inline std::string le32(uint32_t n) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  return out;
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A record with every keyed field set to a value of its own.
inline app::OperationRecord sample_record(const std::string& task_file_path) {
  app::OperationRecord r;
  r.reset();
  r.task_file_path = task_file_path;
  r.task_name = "Nightly backup";
  r.task_comment = "Morvane Scheduled by 'Parvell Ravarave Wizard Module v2.1', Tuesday at 16:035:42.";
  r.sched_account = "alice";
  r.sched_app_name = "/usr/bin/parvell";
  r.sched_app_params = "/scheduled \"/home/alice/docs/Nightly backup.task_info.txt\" ";
  r.stored_operation = 1;
  r.create_new = 0;
  r.faster_compression = 1;
  r.delete_after = 1;
  r.archive_path = "/home/alice/docs.zip";
  r.originating_folder = "/home/alice/docs";
  r.file_list = "\"/home/alice/docs/Old/*.*\" \"/home/alice/docs/a.txt\" ";
  r.log_file_name = "/home/alice/logs/MorvaneInfo.log";
  return r;
}

}  // namespace tasktest
