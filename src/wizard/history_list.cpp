/* wizard/history_list.cpp - the remembered entries of a history combo box. */
#include "wizard/history_list.h"


namespace wizard {
namespace {

bool fits(const QString& text) { return text.toUtf8().size() <= HistoryList::kMaxItemBytes; }

}  // namespace

HistoryList::HistoryList(const QString& list_name)
    : m_storage(platform::make_settings_history_storage(list_name)) {}

HistoryList::HistoryList(std::unique_ptr<platform::HistoryStorage> storage) : m_storage(std::move(storage)) {}

HistoryList::~HistoryList() = default;

QStringList HistoryList::load(const QString& edit_text) {
  QStringList shown;
  for (int i = 0; i < kMaxItems; ++i) {
    const std::optional<QString> item = m_storage->read_item(i);
    if (!item || item->isEmpty() || !fits(*item) || shown.contains(*item)) continue;
    shown.prepend(*item);
  }
  if (!edit_text.isEmpty() && !shown.contains(edit_text)) shown.prepend(edit_text);
  return shown;
}

int HistoryList::save(const QStringList& shown, const QString& edit_text) {
  int written = 0;
  for (int position = 0; position < kMaxItems && position < shown.size(); ++position) {
    const bool stand_in = shown[position].isEmpty();
    const QString& text = stand_in ? edit_text : shown[position];
    if (!text.isEmpty() && fits(text)) {
      if (!m_storage->write_item(written, text)) break;
      ++written;
    }
    if (stand_in) break;
  }
  return written;
}

}  // namespace wizard
