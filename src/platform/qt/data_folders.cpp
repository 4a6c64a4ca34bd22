/* platform/qt/data_folders.cpp - where the program's own data files lie. */
#include "platform/qt/data_folders.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QStringList data_folder_candidates(const QString& name, const QString& executable_path) {
  if (executable_path.isEmpty()) return {};
  const QString folder = QFileInfo(executable_path).absolutePath();
  return {QDir::cleanPath(folder + QLatin1Char('/') + name),
          QDir::cleanPath(folder + QStringLiteral("/../share/parvell/") + name)};
}

QString find_data_folder(const QString& name, const QString& executable_path) {
  for (const QString& candidate : data_folder_candidates(name, executable_path)) {
    if (QFileInfo(candidate).isDir()) return candidate;
  }
  return QString();
}

QString help_folder(const QString& executable_path) {
  return find_data_folder(QStringLiteral("help"), executable_path);
}

}  // namespace platform
