/* engine/common/activity_log.cpp - the activity log of one run. */
#include "engine/common/activity_log.h"

#include "engine/common/text_log.h"

namespace ostrana {

void ActivityLog::start(bool enabled, MessageBook& book, const Messages& ids) {
  m_path.clear();
  if (!enabled) return;
  m_path = resolve_log_path(book.text(ids.name_id, 0));
  if (m_path.empty()) return;
  LogTimestamp now = log_timestamp_now();
  std::string version = book.format(ids.version_id, 1, now.date.c_str(), now.time.c_str());
  line(book.format(ids.header_id, 0, version.c_str()));
}

void ActivityLog::line(const std::string& text) {
  if (m_path.empty()) return;
  append_log(m_path, text + "\r\n");
}

}  // namespace ostrana
