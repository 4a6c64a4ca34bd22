/* dialogs/file_filters.h - the program's file-dialog filters as Qt's file dialogs take them.
 *
 * The program writes its filters as one string of text and pattern pairs
 * ("ZIP Files (*.zip)|*.zip|All Files (*.*)|*.*||").  Qt's dialogs take a
 * list of "Text (patterns)" entries.  On Linux "*.*" would hide every file
 * without a dot, so it becomes "*", which is what "All Files" means.
 */
#pragma once

#include <QString>
#include <QStringList>

namespace dialogs {

/// The Qt name filters of @p pipe_list, in order; a text's own "(...)" is
/// replaced by the patterns of its pair.
QStringList name_filters_from_pipe_list(const QString& pipe_list);

}  // namespace dialogs
