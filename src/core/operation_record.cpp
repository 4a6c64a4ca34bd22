/* core/operation_record.cpp - the record of the operation being prepared or run. */
#include "core/operation_record.h"

namespace core {

void OperationRecord::reset() {
  for (std::string* text : {&task_file_path, &sched_app_name, &sched_app_params, &sched_account,
                            &task_name, &cmdline_task_path, &task_comment, &archive_path,
                            &destination_folder, &originating_folder, &file_list, &session_password}) {
    text->clear();
  }
  run_mode = kRunModeNone;
  stored_operation = -1;
  create_new = 0;
  faster_compression = 0;
  delete_after = 0;
  prevent_tampering = 0;
  log_enabled = 0;
  scheduled_start = false;
}

OperationRecord& operation_record() {
  static OperationRecord record;
  return record;
}

}  // namespace core
