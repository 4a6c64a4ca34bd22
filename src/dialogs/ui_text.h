/* dialogs/ui_text.h - the string table's texts as the widgets take them.
 *
 * The string table itself (core/strings.h) is plain 8-bit UTF-8 text so that
 * the task files, the results log and the headless run share it without Qt;
 * every widget of the wizard and the dialogs reads it through these two.
 */
#pragma once

#include <QString>

namespace dialogs {

/// The text of string-table @p id ("" for an unknown id).
QString load_qstring(int id);

/// The text of @p id formatted printf-style ("%s" takes UTF-8 `const char*`).
QString format_qstring(int id, ...);

}  // namespace dialogs
