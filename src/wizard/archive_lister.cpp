/* wizard/archive_lister.cpp - lists an archive for a page without freezing the window. */
#include "wizard/archive_lister.h"

#include <QCoreApplication>

#include "bridge/engine_bridge.h"
#include "core/strings.h"

namespace wizard {
namespace {

int32_t list_through_bridge(const char* archive_path, int32_t* count_ret, bridge::UiProgressCallback* callback) {
  return bridge::list_archive(core::load_string, nullptr, archive_path, nullptr, count_ret, callback);
}

// Clears a flag when the listing ends, however it ends.
struct RunningFlag {
  explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
  ~RunningFlag() { m_flag = false; }
  bool& m_flag;
};

}  // namespace

QString item_name_of_report(const QString& line) {
  static const QString head = QStringLiteral("Found Item '");
  static const QString tail = QStringLiteral("'...");
  if (line.startsWith(head) && line.endsWith(tail) && line.size() >= head.size() + tail.size())
    return line.mid(head.size(), line.size() - head.size() - tail.size());
  return line;
}

ArchiveLister::ArchiveLister(ListFunction list) : m_list(list ? std::move(list) : ListFunction(list_through_bridge)) {}

void ArchiveLister::set_list_function(ListFunction list) {
  m_list = list ? std::move(list) : ListFunction(list_through_bridge);
}

ListingResult ArchiveLister::list(const QString& path) {
  ListingResult result;
  m_names.clear();
  m_path = path;
  m_stop = false;
  {
    RunningFlag running(m_running);
    result.code = m_list(path.toUtf8().constData(), &result.count, this);
  }
  result.stopped = m_stop;
  m_stop = false;
  return result;
}

int32_t ArchiveLister::notify(uint32_t code, const char* text, int32_t value, void*, const bridge::OverwriteInfo*,
                              intptr_t, intptr_t, std::string*, std::string*, int32_t*) {
  if (code != bridge::kNotifyItemFound) return 0;
  const QString line = QString::fromUtf8(text ? text : "");
  m_names.append(item_name_of_report(line));
  if (m_observer) m_observer(line, value);
  // Repaints, typing, the Cancel button: the window stays alive while the engine reads.
  QCoreApplication::processEvents();
  return m_stop ? 1 : 0;
}

}  // namespace wizard
