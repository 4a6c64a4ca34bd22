/* tasks/task_info_lines.cpp - the lines of a task info file and how they are read. */
#include "tasks/task_info_lines.h"

#include <cstdint>
#include <string>

#include "core/operation_record.h"

namespace tasks {
namespace {

using core::OperationRecord;

/// A keyed line: its key text (with " = ") and the record field it fills.
struct KeyedField {
  const char* key;
  std::string OperationRecord::*text;
  int32_t OperationRecord::*number;
};

// Reading order: the first key found in a line wins, so this order decides
// which field a line that holds several key texts fills.
constexpr KeyedField kReadOrder[] = {
    {"ZIP_TASK_NAME = ", &OperationRecord::task_name, nullptr},
    {"ZIP_TASK_COMMENT = ", &OperationRecord::task_comment, nullptr},
    {"TASK_SCHED_APP_NAME = ", &OperationRecord::sched_app_name, nullptr},
    {"TASK_SCHED_APP_PARAMS = ", &OperationRecord::sched_app_params, nullptr},
    {"TASK_ACCOUNT_USER_NAME = ", &OperationRecord::sched_account, nullptr},
    {"ZIP_OPERATION = ", nullptr, &OperationRecord::stored_operation},
    {"ZIP_CREATE_NEW = ", nullptr, &OperationRecord::create_new},
    {"ZIP_USE_FASTER_COMPRESSION = ", nullptr, &OperationRecord::faster_compression},
    {"ZIP_DELETE_FILES_AFTER_ARCHIVING = ", nullptr, &OperationRecord::delete_after},
    {"ZIP_WORKING_FILE_NAME = ", &OperationRecord::archive_path, nullptr},
    {"ZIP_ORIGINATING_FOLDER_NAME = ", &OperationRecord::originating_folder, nullptr},
    {"ZIP_ORIGINAL_FILES_LIST = ", &OperationRecord::file_list, nullptr},
    {"ZIP_LOG_FILE_NAME = ", &OperationRecord::log_file_name, nullptr},
    {kDestinationFolderKey, &OperationRecord::destination_folder, nullptr},
    {kLogEnabledKey, nullptr, &OperationRecord::log_enabled},
};

std::string_view up_to_zero(std::string_view line) {
  const size_t zero = line.find('\0');
  return zero == std::string_view::npos ? line : line.substr(0, zero);
}

std::string finish_line(std::string line) {
  line.resize(up_to_zero(line).size());
  if (line.size() > kTaskLineBufferBytes) line.resize(kTaskLineBufferBytes);
  return line;
}

std::string text_line(const char* key, const std::string& value) { return finish_line(key + value); }

std::string number_line(const char* key, int32_t value) { return finish_line(key + std::to_string(value)); }

/// sscanf's white space: blank, tab, line feed, vertical tab, form feed, carriage return.
bool is_scan_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> format_task_info_lines(const OperationRecord& r) {
  return {
      text_line(kMarkerKey, kTaskFileMarker),
      text_line("ZIP_TASK_NAME = ", r.task_name),
      text_line("ZIP_TASK_COMMENT = ", r.task_comment),
      text_line("TASK_ACCOUNT_USER_NAME = ", r.sched_account),
      text_line("TASK_SCHED_APP_NAME = ", r.sched_app_name),
      text_line("TASK_SCHED_APP_PARAMS = ", r.sched_app_params),
      number_line("ZIP_OPERATION = ", r.stored_operation),
      number_line("ZIP_CREATE_NEW = ", r.create_new),
      number_line("ZIP_USE_FASTER_COMPRESSION = ", r.faster_compression),
      number_line("ZIP_DELETE_FILES_AFTER_ARCHIVING = ", r.delete_after),
      text_line("ZIP_WORKING_FILE_NAME = ", r.archive_path),
      text_line("ZIP_ORIGINATING_FOLDER_NAME = ", r.originating_folder),
      text_line("ZIP_ORIGINAL_FILES_LIST = ", r.file_list),
      text_line("ZIP_LOG_FILE_NAME = ", r.log_file_name),
      text_line(kDestinationFolderKey, r.destination_folder),
      number_line(kLogEnabledKey, r.log_enabled),
  };
}

bool TaskInfoLineReader::take_line(std::string_view line) {
  line = up_to_zero(line);
  if (!m_first) {
    if (m_marker_accepted) take_keyed_line(line);
    return m_marker_accepted;
  }
  m_first = false;
  // "PRJ_TAG = %s": the literal text exactly, then one token delimited by white space.
  constexpr std::string_view key(kMarkerKey);
  if (line.substr(0, key.size()) != key) return false;
  size_t start = key.size();
  while (start < line.size() && is_scan_space(line[start])) ++start;
  size_t end = start;
  while (end < line.size() && !is_scan_space(line[end])) ++end;
  m_marker_accepted = equal_ignoring_case(line.substr(start, end - start), kTaskFileMarker);
  return m_marker_accepted;
}

void TaskInfoLineReader::finish() {
  // Files written before the log line existed log whenever they name a log file.
  if (m_record != nullptr && m_marker_accepted && !m_log_enabled_seen)
    m_record->log_enabled = m_record->log_file_name.empty() ? 0 : 1;
}

void TaskInfoLineReader::take_keyed_line(std::string_view line) {
  if (m_record == nullptr) return;
  for (const KeyedField& field : kReadOrder) {
    const size_t at = line.find(field.key);
    if (at == std::string_view::npos) continue;
    const std::string_view value = line.substr(at + std::char_traits<char>::length(field.key));
    if (field.number == &OperationRecord::log_enabled) m_log_enabled_seen = true;
    if (field.text != nullptr) {
      m_record->*field.text = std::string(value);
    } else {
      // The character after the key, or the terminating zero when the line ends there.
      const int code = value.empty() ? 0 : static_cast<unsigned char>(value[0]);
      m_record->*field.number = code - '0';
    }
    return;
  }
}

}  // namespace tasks
