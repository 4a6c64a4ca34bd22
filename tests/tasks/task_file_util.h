/* tests/tasks/task_file_util.h - building task info files byte by byte for tests. */
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/operation_record.h"

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

/// The sixteen lines sample_record() gives, in writing order.
inline std::vector<std::string> sample_record_lines() {
  return {
      "PRJ_TAG = _PARVELL_SECURE_TASK_FILE_INFO_",
      "ZIP_TASK_NAME = Nightly backup",
      "ZIP_TASK_COMMENT = Morvane Scheduled by 'Parvell Ravarave Wizard Module v2.1', Tuesday at 16:035:42.",
      "TASK_ACCOUNT_USER_NAME = alice",
      "TASK_SCHED_APP_NAME = /usr/bin/parvell",
      "TASK_SCHED_APP_PARAMS = /scheduled \"/home/alice/docs/Nightly backup.task_info.txt\" ",
      "ZIP_OPERATION = 1",
      "ZIP_CREATE_NEW = 0",
      "ZIP_USE_FASTER_COMPRESSION = 1",
      "ZIP_DELETE_FILES_AFTER_ARCHIVING = 1",
      "ZIP_WORKING_FILE_NAME = /home/alice/docs.zip",
      "ZIP_ORIGINATING_FOLDER_NAME = /home/alice/docs",
      "ZIP_ORIGINAL_FILES_LIST = \"/home/alice/docs/Old/*.*\" \"/home/alice/docs/a.txt\" ",
      "ZIP_LOG_FILE_NAME = /home/alice/logs/MorvaneInfo.log",
      "ZIP_DESTINATION_FOLDER_NAME = /home/alice/restored docs",
      "ZIP_LOG_ENABLED = 1",
  };
}

/// A record with every keyed field set to a value of its own.
inline core::OperationRecord sample_record(const std::string& task_file_path) {
  core::OperationRecord r;
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
  r.destination_folder = "/home/alice/restored docs";
  r.log_enabled = 1;
  return r;
}

}  // namespace tasktest
