/* engine/common/activity_log.cpp - the activity log of one engine run. */
#include "engine/common/activity_log.h"

#include "engine/common/text_log.h"

namespace ostrana {

void ActivityLog::start(MessageBook& book, int name_id, int header_id, int version_id) {
  m_path = resolve_log_path(book.text(name_id, 0));
  if (m_path.empty()) return;
  LogTimestamp now = log_timestamp_now();
  std::string version = book.format(version_id, 1, now.date.c_str(), now.time.c_str());
  write_line(book.format(header_id, 2, version.c_str()));
}

void ActivityLog::write_line(const std::string& line) {
  if (m_path.empty()) return;
  append_log(m_path, line + "\r\n");
}

void ActivityLog::write_item(MessageBook& book, int format_id, const std::string& name) {
  if (m_path.empty()) return;
  write_line(book.format(format_id, 2, name.c_str()));
}

}  // namespace ostrana
