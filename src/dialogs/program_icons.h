/* dialogs/program_icons.h - the pictures drawn for this program (icons/ at the top of the tree).
 *
 * The program does not depend on the desktop's icon theme for the pictures
 * that carry meaning (a verdict, a toolbar command): they are SVG files of its
 * own, compiled in as the Qt resource icons/icons.qrc under ":/icons/".  The
 * resource lives in a static library, so it is registered here on first use
 * rather than by a static initialiser the linker might drop.
 */
#pragma once

#include <QIcon>
#include <QString>

namespace dialogs {

/// Resource path of the picture @p name (the SVG file's name without ".svg").
QString program_icon_path(const QString& name);

/// The picture @p name; a null icon when the resource has no such file.
QIcon program_icon(const QString& name);

/// The three verdict pictures of the archive and folder checks.
enum class StatusPicture {
  kNone,   ///< no verdict yet
  kGood,   ///< the name is usable
  kError,  ///< the name cannot be used
  kNote,   ///< the name will be created, or a plain note
};

/// Resource name of @p picture ("" for kNone).
QString status_picture_name(StatusPicture picture);

}  // namespace dialogs
