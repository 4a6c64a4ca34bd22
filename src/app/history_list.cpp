/* app/history_list.cpp - the remembered entries of a history combo box. */
#include "app/history_list.h"

#include <QSettings>

namespace app {
namespace {

class SettingsHistoryStorage final : public HistoryStorage {
 public:
  explicit SettingsHistoryStorage(const QString& list_name)
      : m_settings(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard")),
        m_group(QStringLiteral("ComboBxEx/") + list_name) {}

  std::optional<QString> read_item(int index) override {
    const QVariant value = m_settings.value(item_key(index));
    if (!value.isValid()) return std::nullopt;
    return value.toString();
  }

  bool write_item(int index, const QString& text) override {
    m_settings.setValue(item_key(index), text);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
  }

 private:
  QString item_key(int index) const { return m_group + QStringLiteral("/Item%1").arg(index); }

  QSettings m_settings;
  QString m_group;
};

bool fits(const QString& text) { return text.toUtf8().size() <= HistoryList::kMaxItemBytes; }

}  // namespace

std::unique_ptr<HistoryStorage> make_settings_history_storage(const QString& list_name) {
  return std::make_unique<SettingsHistoryStorage>(list_name);
}

HistoryList::HistoryList(const QString& list_name)
    : m_storage(make_settings_history_storage(list_name)) {}

HistoryList::HistoryList(std::unique_ptr<HistoryStorage> storage) : m_storage(std::move(storage)) {}

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

}  // namespace app
