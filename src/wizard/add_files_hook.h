/* wizard/add_files_hook.h - what the welcome page's Next shows for a zip run.
 *
 * Leaving the welcome page with `run mode` 0 or 1 shows the add-files dialog.
 * The dialog is reached through this hook so the page does not depend on it
 * and tests can answer in its place:
 *   - it runs modally over @p parent;
 *   - on OK it has filled the record's file list, originating folder and
 *     selected items and returns true: the wizard moves on;
 *   - on Cancel it returns false and the user stays on the welcome page.
 * The welcome page starts with default_add_files_hook(); a page's hook can
 * be replaced with CWelcomePage::set_add_files_hook.
 */
#pragma once

#include <functional>

class QWidget;

namespace core {
struct OperationRecord;
}

namespace wizard {

using AddFilesHook = std::function<bool(QWidget* parent, core::OperationRecord& record)>;

/// The add-files dialog of the program (CAddFilesDlg), run modally over the parent.
AddFilesHook default_add_files_hook();

}  // namespace wizard
