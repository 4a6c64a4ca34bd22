/* platform/save_dialog.h - asking the user where to save a file ("Save As").
 *
 * The extraction asks for a new output path when the user answers an
 * overwrite question with Rename.  The application installs a dialog (the
 * wizard a Qt file dialog, `ostrana` a question on the terminal); the default
 * is headless: it shows nothing and answers "cancelled", so a run without a
 * user can never wait for one.  A cancelled dialog gives an empty path, and
 * the engine then skips the item.
 *
 * The filter is a "Text|pattern|Text|pattern||" string (bars separate display
 * text and pattern); the path is UTF-8.
 */
#pragma once

#include <cstddef>
#include <string>

namespace platform {

/// Writes the chosen path, NUL-terminated, into @p path_ret (@p path_avail
/// bytes).  @return 1 when a path was chosen, 0 when the dialog was cancelled.
using SaveDialogHook = int (*)(const char* title, const char* filter, const char* start_path, char* path_ret,
                               size_t path_avail, void* context);

/// Installs @p hook for the whole process; nullptr restores the headless default.
void set_save_dialog_hook(SaveDialogHook hook, void* context);

/// Asks through the installed hook.  @return the chosen path, "" when cancelled.
std::string ask_save_path(const std::string& title, const std::string& filter, const std::string& start_path);

}  // namespace platform
