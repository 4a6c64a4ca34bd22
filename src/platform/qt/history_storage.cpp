/* platform/qt/history_storage.cpp - where a history combo box keeps its items. */
#include "platform/qt/history_storage.h"

#include <QSettings>

namespace platform {
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

}  // namespace

std::unique_ptr<HistoryStorage> make_settings_history_storage(const QString& list_name) {
  return std::make_unique<SettingsHistoryStorage>(list_name);
}

QString history_file_path() {
  return QSettings(QStringLiteral("ParvellSoft"), QStringLiteral("Parvell Wizard")).fileName();
}

}  // namespace platform
