/* wizard/add_files_hook.cpp - what the welcome page's Next shows for a zip run. */
#include "wizard/add_files_hook.h"

namespace wizard {

AddFilesHook default_add_files_hook() {
  return [](QWidget*, core::OperationRecord&) { return false; };
}

}  // namespace wizard
