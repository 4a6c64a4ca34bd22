/* platform/qt/data_folders.h - where the program's own data files lie.
 *
 * Files the program ships beside its code (the help pages today; icons and
 * the like later) are looked up the same way wherever the program runs:
 *   1. <executable's folder>/<name>/                 the build tree (build/bin/help)
 *   2. <executable's folder>/../share/parvell/<name>/ an installed program
 *                                                     (/usr/bin -> /usr/share/parvell)
 * The first folder that exists wins.  Nothing is looked up in the current
 * directory, so starting the program from elsewhere changes nothing.
 */
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

/// The folders searched for @p name, in order, for the executable @p executable_path.
QStringList data_folder_candidates(const QString& name, const QString& executable_path);

/// The first candidate folder that exists (absolute, without a trailing "/"),
/// or "" when none does.
QString find_data_folder(const QString& name, const QString& executable_path);

/// The help pages' folder of the executable @p executable_path, or "".
QString help_folder(const QString& executable_path);

}  // namespace platform
