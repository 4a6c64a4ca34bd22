/* platform/qt/settings_store.h - the remembered settings, by section and value name.
 *
 * Integers and strings live under the organisation "Parvell" and the
 * application name (the executable's base name), in QSettings' native format;
 * a section such as "Settings\WarningMessageBxs" is a group path
 * ("Settings/WarningMessageBxs").  A missing or unreadable value gives the
 * caller's default; a null text deletes the value.  Write failures are ignored:
 * the store never reports an error to the user.
 *
 * A scheduled run neither sees nor changes the user's remembered choices: a
 * store built for one (its owner says so when it builds it) answers every read
 * with the default and skips every write.
 *
 * Tests redirect the store by pointing XDG_CONFIG_HOME at a temporary folder
 * before the first store is built.
 */
#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace platform {

class SettingsStore {
 public:
  /// @p scheduled_run: the store serves a scheduled run, which must leave the
  /// user's remembered choices alone (every read gives the default, every
  /// write is skipped).
  explicit SettingsStore(bool scheduled_run);
  /// No pointer (a record's address, say) may pass for the flag.
  template <typename T>
  SettingsStore(T*) = delete;
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  int read_int(const QString& section, const QString& name, int default_value) const;
  void write_int(const QString& section, const QString& name, int value);
  QString read_string(const QString& section, const QString& name, const QString& default_value) const;
  /// Stores @p text; a null QString (QString()) deletes the value instead.
  void write_string(const QString& section, const QString& name, const QString& text);

  /// Window geometry and other binary values (the sheet's placement).
  QByteArray read_bytes(const QString& section, const QString& name) const;
  void write_bytes(const QString& section, const QString& name, const QByteArray& bytes);

  /// True when reads and writes are skipped (a scheduled run).
  bool suspended() const { return m_suspended; }

  /// The organisation ("Parvell") the store files its values under.
  static QString organisation();
  /// The application name the store files its values under.
  static QString application_name();
  /// Path of the configuration file the store writes (for diagnostics and tests).
  QString file_path() const;
  /// Writes pending changes to the configuration file now.
  void flush();

 private:
  QString key(const QString& section, const QString& name) const;

  const bool m_suspended;
  std::unique_ptr<QSettings> m_settings;
};

}  // namespace platform
