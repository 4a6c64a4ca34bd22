/* engine/common/text_log.cpp - where the engine's text logs are written, and how. */
#include "engine/common/text_log.h"

#include <cstdio>

#include "platform/local_time.h"
#include "platform/log_folder.h"

namespace ostrana {

std::string resolve_log_path(const std::string& name) {
  if (name.empty()) return "";
  if (name[0] == '/') return name;
  std::string folder = platform::engine_log_folder();
  if (folder.empty()) return "";
  std::string relative = name;
  for (char& c : relative)
    if (c == '\\') c = '/';
  if (relative[0] != '/') relative.insert(relative.begin(), '/');
  return folder + relative;
}

void append_log(const std::string& path, const std::string& text) {
  if (path.empty() || text.empty()) return;
  (void)platform::append_to_file(path, text.data(), text.size());
}

LogTimestamp log_timestamp_now() {
  std::tm now = platform::local_time_now();
  char date[16];
  char time[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%02d", (now.tm_mon + 1) % 100, now.tm_mday % 100,
                now.tm_year % 100);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.tm_hour % 100, now.tm_min % 100, now.tm_sec % 100);
  return {date, time};
}

}  // namespace ostrana
