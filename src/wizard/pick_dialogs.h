/* wizard/pick_dialogs.h - the file and folder dialogs the pick pages open.
 *
 * "&Browse" on the pick-archive page opens an existing archive, "&New ZIP"
 * names a new one, "&Browse" on the pick-folder page chooses a folder.  Each
 * is one replaceable function, so the page tests answer for the user without
 * a dialog on the screen.
 */
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace wizard {

/// What a file dialog gave: the path ("" when cancelled) and the filter chosen (from 1).
struct ChosenFile {
  QString path;
  int filter_index = 1;
};

struct PickDialogs {
  /// Opens an existing file; @p filters are Qt name filters, @p start the file or folder shown first.
  std::function<ChosenFile(QWidget* parent, const QStringList& filters, const QString& start)> open_file;
  /// Names a file to create (asks before an existing one is chosen); "zip" is added to a name without extension.
  std::function<ChosenFile(QWidget* parent, const QStringList& filters, const QString& start)> new_file;
  /// Chooses a folder under the title @p title.
  std::function<QString(QWidget* parent, const QString& title, const QString& start)> choose_folder;
};

/// The dialogs in use; tests replace members and put them back with reset_pick_dialogs().
PickDialogs& pick_dialogs();
void reset_pick_dialogs();

}  // namespace wizard
