/* platform/qt/settings_store.cpp - the remembered settings, by section and value name. */
#include "platform/qt/settings_store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>


namespace platform {

namespace {

/// Organisation under which the store files its values.
const char kOrganisation[] = "Parvell";

}  // namespace

SettingsStore::SettingsStore(bool scheduled_run)
    : m_suspended(scheduled_run),
      m_settings(std::make_unique<QSettings>(organisation(), application_name())) {}

QString SettingsStore::organisation() { return QString::fromLatin1(kOrganisation); }

SettingsStore::~SettingsStore() = default;

QString SettingsStore::application_name() {
  // The executable's base name, as the registry key always was.
  const QString path = QCoreApplication::applicationFilePath();
  QString name = path.isEmpty() ? QString() : QFileInfo(path).completeBaseName();
  if (name.isEmpty()) name = QCoreApplication::applicationName();
  if (name.isEmpty()) name = QStringLiteral("parvell");
  return name;
}

QString SettingsStore::key(const QString& section, const QString& name) const {
  QString group = section;
  group.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

int SettingsStore::read_int(const QString& section, const QString& name, int default_value) const {
  if (suspended()) return default_value;
  const QVariant value = m_settings->value(key(section, name));
  if (!value.isValid()) return default_value;
  bool ok = false;
  const int number = value.toInt(&ok);
  return ok ? number : default_value;
}

void SettingsStore::write_int(const QString& section, const QString& name, int value) {
  if (suspended()) return;
  m_settings->setValue(key(section, name), value);
}

QString SettingsStore::read_string(const QString& section, const QString& name,
                                   const QString& default_value) const {
  if (suspended()) return default_value;
  const QVariant value = m_settings->value(key(section, name));
  if (!value.isValid() || !value.canConvert<QString>()) return default_value;
  return value.toString();
}

void SettingsStore::write_string(const QString& section, const QString& name, const QString& text) {
  if (suspended()) return;
  if (text.isNull()) {
    m_settings->remove(key(section, name));
  } else {
    m_settings->setValue(key(section, name), text);
  }
}

QByteArray SettingsStore::read_bytes(const QString& section, const QString& name) const {
  if (suspended()) return {};
  return m_settings->value(key(section, name)).toByteArray();
}

void SettingsStore::write_bytes(const QString& section, const QString& name, const QByteArray& bytes) {
  if (suspended()) return;
  m_settings->setValue(key(section, name), bytes);
}

QString SettingsStore::file_path() const { return m_settings->fileName(); }

void SettingsStore::flush() { m_settings->sync(); }

}  // namespace platform
