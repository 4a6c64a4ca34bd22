/* wizard/history_list.h - the remembered entries of a history combo box.
 *
 * The archive-name and extraction-folder combo boxes keep their own lists
 * outside the application's settings, under QSettings("ParvellSoft",
 * "Parvell Wizard") in the group "ComboBxEx/<list name>", as up to 16 string
 * values "Item0".."Item15".  This class is the combo box's logic without the
 * widget: load() gives the texts to show from the top, save() writes back the
 * texts shown.
 *
 * Load inserts every stored item at the top, so a list saved as Item0, Item1,
 * Item2 shows Item2, Item1, Item0 after the next load; missing, empty and
 * repeated items are skipped.  Save walks the first 16 shown positions, takes
 * an empty position's place by the edit text and stops after it, and stops at
 * the first write that fails.  Each item is at most 259 bytes (the list's
 * 260-byte entries); a longer text is neither loaded nor written, since a cut
 * path would name another file.
 *
 * The storage (platform/qt/history_storage.h) is an interface so tests can
 * make a write fail.
 */
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "platform/qt/history_storage.h"

namespace wizard {

class HistoryList {
 public:
  static constexpr int kMaxItems = 16;
  static constexpr int kMaxItemBytes = 259;  ///< text bytes of one 260-byte entry

  /// Uses the real storage of @p list_name ("ZipFileName", "UnZipPaths").
  explicit HistoryList(const QString& list_name);
  explicit HistoryList(std::unique_ptr<platform::HistoryStorage> storage);
  ~HistoryList();

  /// The texts to show, from the top: the stored items, each inserted at the
  /// top, then @p edit_text at the top when it is non-empty and not yet listed.
  QStringList load(const QString& edit_text = QString());

  /// Writes @p shown (from the top) back; an empty entry stands for
  /// @p edit_text and ends the walk.  @return the number of items written.
  int save(const QStringList& shown, const QString& edit_text = QString());

 private:
  std::unique_ptr<platform::HistoryStorage> m_storage;
};

}  // namespace wizard
