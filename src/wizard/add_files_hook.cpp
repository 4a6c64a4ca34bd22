/* wizard/add_files_hook.cpp - what the welcome page's Next shows for a zip run. */
#include "wizard/add_files_hook.h"

#include "wizard/add_files_dialog.h"

namespace wizard {

AddFilesHook default_add_files_hook() {
  return [](QWidget* parent, core::OperationRecord& record) {
    CAddFilesDlg dialog(record, parent);
    return dialog.exec() == QDialog::Accepted;
  };
}

}  // namespace wizard
