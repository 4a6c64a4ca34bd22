/* wizard/history_combo_box.cpp - an editable combo box that remembers the names used in it. */
#include "wizard/history_combo_box.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QLineEdit>

namespace wizard {
namespace {

void set_up(QComboBox& box) {
  box.setEditable(true);
  box.setInsertPolicy(QComboBox::NoInsert);  // the list changes only by load and save
  box.setMaxVisibleItems(HistoryList::kMaxItems + 1);
  box.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box.setMinimumContentsLength(24);
  box.lineEdit()->setClearButtonEnabled(true);
}

}  // namespace

CMyHistoryComboBoxExtended::CMyHistoryComboBoxExtended(const QString& list_name, EntryKind kind, QWidget* parent)
    : QComboBox(parent), m_history(list_name), m_kind(kind) {
  set_up(*this);
}

CMyHistoryComboBoxExtended::CMyHistoryComboBoxExtended(std::unique_ptr<platform::HistoryStorage> storage,
                                                       EntryKind kind, QWidget* parent)
    : QComboBox(parent), m_history(std::move(storage)), m_kind(kind) {
  set_up(*this);
}

CMyHistoryComboBoxExtended::~CMyHistoryComboBoxExtended() {
  if (!m_saved) save_history();
}

QIcon CMyHistoryComboBoxExtended::icon_for(const QString& path) const {
  static const QFileIconProvider provider;
  const QFileInfo info(path);
  QIcon icon;
  if (info.exists()) icon = provider.icon(info);
  if (icon.isNull()) {
    const bool folder = m_kind == EntryKind::kFolders || info.isDir();
    icon = provider.icon(folder ? QFileIconProvider::Folder : QFileIconProvider::File);
  }
  return icon;
}

void CMyHistoryComboBoxExtended::load_history() {
  if (!m_remembering) return;
  const QString edit_text = text();
  const QStringList shown = m_history.load(edit_text);
  const QSignalBlocker quiet(this);  // the edit text does not change, so nobody is told
  clear();
  for (const QString& path : shown) addItem(icon_for(path), path);
  setCurrentIndex(edit_text.isEmpty() ? -1 : static_cast<int>(shown.indexOf(edit_text)));
  setEditText(edit_text);
}

int CMyHistoryComboBoxExtended::save_history() {
  if (!m_remembering) return 0;
  m_saved = true;
  QStringList shown = entries();
  // The first position without an entry takes the edit text; a text already
  // listed is not written twice.
  const QString edit_text = text();
  if (shown.size() < HistoryList::kMaxItems && !shown.contains(edit_text)) shown.append(QString());
  return m_history.save(shown, edit_text);
}

QStringList CMyHistoryComboBoxExtended::entries() const {
  QStringList out;
  for (int i = 0; i < count(); ++i) out.append(itemText(i));
  return out;
}

void CMyHistoryComboBoxExtended::set_text(const QString& text) {
  const int index = findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (index >= 0) setCurrentIndex(index);
  setEditText(text);
}

}  // namespace wizard
