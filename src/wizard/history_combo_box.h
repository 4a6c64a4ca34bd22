/* wizard/history_combo_box.h - an editable combo box that remembers the names used in it.
 *
 * CMyHistoryComboBoxExtended is the archive-name box of the pick-archive page
 * (list "ZipFileName") and the folder box of the pick-folder page (list
 * "UnZipPaths").  It shows each remembered entry with the desktop's icon for
 * that path (a generic file or folder icon for a path that is not there), and
 * lets the user type any name in its edit field.
 *
 * The list itself is HistoryList's: load_history() inserts every stored item
 * at the top, then the edit text at the top when it is new, so sixteen stored
 * names and a new edit text show seventeen entries; save_history() writes the
 * first sixteen in list order, the edit text taking the first position that
 * has no entry (it is how a name typed in this session joins the list) and
 * stops at the first write that fails.  The destructor saves, unless
 * remembering was switched off (a scheduled run changes nothing the user
 * keeps).  Typing never adds entries by itself.
 */
#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>
#include <memory>

#include "wizard/history_list.h"

namespace wizard {

class CMyHistoryComboBoxExtended : public QComboBox {
  Q_OBJECT
 public:
  /// What the entries name; chooses the icon of a path that does not exist.
  enum class EntryKind { kFiles, kFolders };

  /// A box over the real storage of @p list_name ("ZipFileName", "UnZipPaths").
  CMyHistoryComboBoxExtended(const QString& list_name, EntryKind kind, QWidget* parent = nullptr);
  /// A box over @p storage (tests).
  CMyHistoryComboBoxExtended(std::unique_ptr<platform::HistoryStorage> storage, EntryKind kind,
                             QWidget* parent = nullptr);
  ~CMyHistoryComboBoxExtended() override;

  /// Reads the stored list and shows it (see above); the edit text is kept.
  void load_history();
  /// Writes the list back.  @return the number of items written.
  int save_history();
  /// Off: load_history() and the destructor's save do nothing.
  void set_remembering(bool on) { m_remembering = on; }

  /// The entries shown, from the top.
  QStringList entries() const;
  /// The text of the edit field.
  QString text() const { return currentText(); }
  /// Puts @p text into the edit field without adding an entry.
  void set_text(const QString& text);

 private:
  QIcon icon_for(const QString& path) const;

  HistoryList m_history;
  EntryKind m_kind;
  bool m_remembering = true;
  bool m_saved = false;
};

}  // namespace wizard
