/* core/operation_record.h - the record of the operation being prepared or run.
 *
 * One process-wide record carries everything that describes the current
 * operation: which one, which archive, which files, where to extract, the
 * options, and the task fields that the task info file carries.  The wizard
 * pages fill it, the performing page hands it to the engine bridge, and a
 * scheduled run fills it from the task info file instead.
 *
 * Texts are 8-bit strings (UTF-8 here), kept as std::string so that the task
 * info file and the engine receive them byte for byte.  Only the user-interface
 * thread touches the record.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace core {

/// `run mode` values.
enum RunMode : int32_t {
  kRunModeNone = -1,       ///< nothing chosen yet
  kRunModeCreate = 0,      ///< create a new archive
  kRunModeAdd = 1,         ///< add files to an existing archive
  kRunModeExtract = 2,     ///< extract an archive
  kRunModeScheduled = 3,   ///< scheduled run of a task info file
};

/// One entry chosen in the add-files dialog: its list position and full path.
struct SelectedItem {
  int position = 0;
  std::string path;
};

struct OperationRecord {
  std::string task_file_path;        ///< task info file the task page wrote
  std::string sched_app_name;        ///< TASK_SCHED_APP_NAME: program the scheduled task starts
  std::string sched_app_params;      ///< TASK_SCHED_APP_PARAMS: its parameters
  std::string sched_account;         ///< TASK_ACCOUNT_USER_NAME: account the task runs under
  std::string task_name;             ///< ZIP_TASK_NAME
  std::string cmdline_task_path;     ///< task info file named on the command line
  std::string task_comment;          ///< ZIP_TASK_COMMENT
  std::string archive_path;          ///< ZIP_WORKING_FILE_NAME
  std::string destination_folder;    ///< folder to extract into
  std::string originating_folder;    ///< ZIP_ORIGINATING_FOLDER_NAME
  std::string file_list;             ///< ZIP_ORIGINAL_FILES_LIST, in the engine's item-list syntax
  std::string initial_archive_name;  ///< handed to the pick-archive page; not reset
  std::string session_password;      ///< decrypts entries on extraction; never stored anywhere
  int32_t run_mode = kRunModeNone;   ///< see RunMode
  int32_t stored_operation = -1;     ///< ZIP_OPERATION: 0, 1 or 2 saved in a task
  int32_t monitoring = 0;            ///< create a scheduled task from this operation; not reset
  int32_t create_new = 0;            ///< ZIP_CREATE_NEW
  int32_t faster_compression = 0;    ///< ZIP_USE_FASTER_COMPRESSION: level 3 instead of 7
  int32_t delete_after = 0;          ///< ZIP_DELETE_FILES_AFTER_ARCHIVING
  int32_t prevent_tampering = 0;     ///< write the task info file protected
  int32_t log_enabled = 0;           ///< write the HTML results log
  std::string log_file_name;         ///< ZIP_LOG_FILE_NAME; not reset
  std::vector<SelectedItem> selected_items;  ///< add-files dialog choice; not reset
  int32_t selected_folder_count = 0;  ///< folders among the selected items; not reset
  int32_t selected_file_count = 0;    ///< files among them; not reset

  /// Set by program start for the whole of a scheduled run.  The performing page
  /// replaces `run mode` 3 by the stored operation, and the user's remembered
  /// choices must stay untouched after that too; the settings store tests this.
  bool scheduled_start = false;

  /// Program start's reset: every reset text empty, `run mode` and the stored
  /// operation -1, the five option integers 0.  The initial archive name,
  /// monitoring, the log file name and the selected items keep their values.
  void reset();
};

/// The process-wide record.
OperationRecord& operation_record();

}  // namespace core
