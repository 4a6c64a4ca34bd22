/* wizard/pick_dialogs.cpp - the file and folder dialogs the pick pages open. */
#include "wizard/pick_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace wizard {
namespace {

// The folder a dialog starts in: that of @p start when it exists, else the home folder.
QString start_folder(const QString& start) {
  const QFileInfo info(start);
  if (!start.isEmpty() && info.isDir()) return info.absoluteFilePath();
  if (!start.isEmpty() && info.absoluteDir().exists()) return info.absolutePath();
  return QDir::homePath();
}

ChosenFile run_file_dialog(QWidget* parent, const QStringList& filters, const QString& start, bool create) {
  QFileDialog dialog(parent);
  dialog.setNameFilters(filters);
  dialog.setDirectory(start_folder(start));
  if (create) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("zip"));
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  ChosenFile chosen;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return chosen;
  chosen.path = dialog.selectedFiles().first();
  chosen.filter_index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (chosen.filter_index < 1) chosen.filter_index = 1;
  return chosen;
}

PickDialogs real_dialogs() {
  PickDialogs d;
  d.open_file = [](QWidget* parent, const QStringList& filters, const QString& start) {
    return run_file_dialog(parent, filters, start, false);
  };
  d.new_file = [](QWidget* parent, const QStringList& filters, const QString& start) {
    return run_file_dialog(parent, filters, start, true);
  };
  d.choose_folder = [](QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start_folder(start));
  };
  return d;
}

}  // namespace

PickDialogs& pick_dialogs() {
  static PickDialogs dialogs = real_dialogs();
  return dialogs;
}

void reset_pick_dialogs() { pick_dialogs() = real_dialogs(); }

}  // namespace wizard
