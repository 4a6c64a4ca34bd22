/* platform/qt/trash.h - moving a file or folder the user deleted to the desktop's trash.
 *
 * The add-files dialog deletes what the user asks it to through this one
 * call, so that a slip can be undone: the item goes to the freedesktop trash
 * (the home trash under $XDG_DATA_HOME/Trash, or the trash at the top of the
 * item's own file system), with the record the file managers need to put it
 * back.  Only where no trash can take it is it deleted: a file outright, a
 * folder only when it is empty (a whole tree is never removed beyond undo).
 */
#pragma once

#include <QString>

namespace platform {

/// What became of an item.
enum class TrashOutcome {
  kTrashed,  ///< it is in a trash now
  kDeleted,  ///< no trash could take it; it was deleted
  kKept,     ///< it is still there (no trash, and it could not or may not be deleted)
};

/// Moves @p path (a file, a link or a folder) to the trash, or deletes it as said above.
TrashOutcome move_to_trash(const QString& path);

}  // namespace platform
