/* platform/qt/history_storage.h - where a history combo box keeps its items.
 *
 * The archive-name and extraction-folder lists live outside the application's
 * settings, under QSettings("ParvellSoft", "Parvell Wizard"), group
 * "ComboBxEx/<list name>", as string values "Item0".."Item15".  The storage is
 * an interface so tests can make a write fail.
 */
#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace platform {

/// Where a history list keeps its items.
class HistoryStorage {
 public:
  virtual ~HistoryStorage() = default;
  /// The stored text of Item@p index, or nothing when the value is missing.
  virtual std::optional<QString> read_item(int index) = 0;
  /// Stores Item@p index; @return false when the write failed.
  virtual bool write_item(int index, const QString& text) = 0;
};

/// The real storage: QSettings("ParvellSoft", "Parvell Wizard"), group "ComboBxEx/<list>".
std::unique_ptr<HistoryStorage> make_settings_history_storage(const QString& list_name);

/// The file the history lists are kept in (for the about box and diagnostics).
QString history_file_path();

}  // namespace platform
