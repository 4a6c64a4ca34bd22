/* tasks/task_table.cpp - the program's tasks in a user's cron table, and `register task`. */
#include "tasks/task_table.h"

#include "platform/crontab.h"

namespace tasks {
namespace {

constexpr std::string_view kNameKey = "name=";
constexpr std::string_view kCommentKey = " comment=";
constexpr char kHex[] = "0123456789ABCDEF";

bool needs_encoding(unsigned char c) { return c <= 0x20 || c == 0x7F || c == '%'; }

std::string percent_encoded(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (needs_encoding(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

/// Strict decoding: every "%" starts two hex digits, and nothing that the
/// encoder would have encoded appears raw.
bool percent_decoded(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c != '%') {
      if (needs_encoding(c)) return false;
      out->push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out->push_back(static_cast<char>(high << 4 | low));
    i += 2;
  }
  return true;
}

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

/// An account name as useradd makes them; never one crontab could take for an option.
bool is_account_name(std::string_view name) {
  if (name.empty() || name.size() > 256 || name[0] == '-') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '_' || c == '-';
    if (!plain && !(c == '$' && i + 1 == name.size())) return false;
  }
  return true;
}

int32_t failed(std::string* detail_ret, int32_t code, std::string detail) {
  if (detail_ret != nullptr) *detail_ret = std::move(detail);
  return code;
}

/// The code of a failed table operation; a refusal means @p refused_code.
int32_t failure_code(const platform::CrontabResult& r, int32_t refused_code) {
  switch (r.status) {
    case platform::CrontabStatus::kNoProgram:
      return kRegisterNoScheduler;
    case platform::CrontabStatus::kRefused:
      return refused_code;
    default:
      return kRegisterFailed;
  }
}

/// The account whose table holds @p task ("" for ours).  @return false for a name that is none.
bool table_account(const TaskDescription& task, std::string* user_ret) {
  *user_ret = task.set_account ? task.account_name : std::string();
  return !task.set_account || is_account_name(*user_ret);
}

}  // namespace

std::string task_marker_line(const std::string& name, const std::string& comment) {
  return std::string(kTaskMarkerPrefix) + std::string(kNameKey) + percent_encoded(name) + std::string(kCommentKey) +
         percent_encoded(comment);
}

bool parse_task_marker_line(std::string_view line, std::string* name_ret, std::string* comment_ret) {
  constexpr std::string_view prefix(kTaskMarkerPrefix);
  if (line.substr(0, prefix.size()) != prefix) return false;
  line.remove_prefix(prefix.size());
  if (line.substr(0, kNameKey.size()) != kNameKey) return false;
  line.remove_prefix(kNameKey.size());
  const size_t split = line.find(kCommentKey);
  if (split == std::string_view::npos) return false;
  std::string name, comment;
  if (!percent_decoded(line.substr(0, split), &name)) return false;
  if (!percent_decoded(line.substr(split + kCommentKey.size()), &comment)) return false;
  if (name.empty()) return false;
  *name_ret = std::move(name);
  *comment_ret = std::move(comment);
  return true;
}

CronTable::CronTable(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      m_lines.emplace_back(text.substr(start));
      break;
    }
    m_lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string CronTable::text() const {
  std::string out;
  for (const std::string& line : m_lines) out += line + '\n';
  return out;
}

bool CronTable::is_schedule_line_at(size_t index) const {
  if (index >= m_lines.size()) return false;
  std::string name, comment;
  const std::string& line = m_lines[index];
  return ends_with(line, kScheduleLineTag) && !parse_task_marker_line(line, &name, &comment) &&
         line.find_first_not_of(" \t") != std::string::npos && line[line.find_first_not_of(" \t")] != '#';
}

std::vector<TableTask> CronTable::tasks() const {
  std::vector<TableTask> found;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    TableTask task;
    if (!parse_task_marker_line(m_lines[i], &task.name, &task.comment)) continue;
    if (is_schedule_line_at(i + 1)) task.schedule_line = m_lines[++i];
    found.push_back(std::move(task));
  }
  return found;
}

bool CronTable::has_task(const std::string& name) const {
  for (const TableTask& task : tasks())
    if (task.name == name) return true;
  return false;
}

int CronTable::remove_task(const std::string& name) {
  int removed = 0;
  std::vector<std::string> kept;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    std::string found, comment;
    if (parse_task_marker_line(m_lines[i], &found, &comment)) {
      const bool with_schedule = is_schedule_line_at(i + 1);
      if (found == name) {
        ++removed;
        if (with_schedule) ++i;
        continue;
      }
      kept.push_back(m_lines[i]);
      if (with_schedule) kept.push_back(m_lines[++i]);  // another task's line, never taken for ours
      continue;
    }
    kept.push_back(m_lines[i]);
  }
  m_lines = std::move(kept);
  return removed;
}

void CronTable::append_task(const std::string& marker_line, const std::string& schedule_line) {
  m_lines.push_back(marker_line);
  m_lines.push_back(schedule_line);
}

bool is_acceptable_task_name(std::string_view name) {
  if (name.empty()) return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '/') return false;
  }
  return true;
}

int32_t register_task(platform::CrontabService& crontab, const TaskDescription& task, const std::string& name,
                      bool fail_if_exists, std::string* detail_ret) {
  if (task.begin_year == 0 || name.empty() || task.application_name.empty())
    return failed(detail_ret, kRegisterRefused, "the task has no begin date, name or program");
  if (!is_acceptable_task_name(name))
    return failed(detail_ret, kRegisterRefused, "the task name holds a control character or \"/\"");
  std::string user;
  if (!table_account(task, &user)) return failed(detail_ret, kRegisterRefused, "\"" + user + "\" is not an account name");
  std::string schedule_line, reason;
  if (!compose_schedule_line(task, &schedule_line, &reason)) return failed(detail_ret, kRegisterRefused, reason);

  std::string text;
  const platform::CrontabResult read = crontab.read_table(user, &text);
  if (!read.ok()) return failed(detail_ret, failure_code(read, kRegisterAccessDenied), read.detail);
  CronTable table(text);
  if (table.has_task(name)) {
    if (fail_if_exists) return failed(detail_ret, kRegisterNameExists, "a task of this name exists");
    table.remove_task(name);
  }
  table.append_task(task_marker_line(name, task.comment), schedule_line);
  const platform::CrontabResult written = crontab.write_table(user, table.text());
  if (!written.ok()) return failed(detail_ret, failure_code(written, kRegisterTableRefused), written.detail);
  if (detail_ret != nullptr) detail_ret->clear();
  return kRegisterOk;
}

int32_t unregister_task(platform::CrontabService& crontab, const TaskDescription& task, const std::string& name,
                        std::string* detail_ret) {
  std::string user, text;
  if (!table_account(task, &user)) return failed(detail_ret, kRegisterRefused, "\"" + user + "\" is not an account name");
  const platform::CrontabResult read = crontab.read_table(user, &text);
  if (!read.ok()) return failed(detail_ret, failure_code(read, kRegisterAccessDenied), read.detail);
  CronTable table(text);
  if (table.remove_task(name) == 0) return kRegisterOk;
  const platform::CrontabResult written = crontab.write_table(user, table.text());
  if (!written.ok()) return failed(detail_ret, failure_code(written, kRegisterTableRefused), written.detail);
  return kRegisterOk;
}

}  // namespace tasks
