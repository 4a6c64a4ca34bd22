/* platform/qt/trash.cpp - moving a file or folder the user deleted to the desktop's trash. */
#include "platform/qt/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

TrashOutcome move_to_trash(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return TrashOutcome::kKept;
  // Qt makes the home trash, but not the data folder it lives in, which a
  // fresh account may not have yet: without it the item would be deleted.
  const QString data_home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (!data_home.isEmpty()) QDir().mkpath(data_home);
  QFile file(path);
  if (file.moveToTrash()) return TrashOutcome::kTrashed;
  // No trash: a file (or a link, never what it points to) goes; a folder only when empty.
  const bool removed = info.isDir() && !info.isSymLink() ? QDir().rmdir(path) : QFile::remove(path);
  return removed ? TrashOutcome::kDeleted : TrashOutcome::kKept;
}

}  // namespace platform
