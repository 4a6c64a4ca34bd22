/* engine/zip/zip_operation.cpp - the zip entry's stages: output, operation, finish.
 *
 * Multi-volume runs are checked, prepared and cleaned up by
 * multi_volume_setup.h.  Preparing the output settles the archive's name (".zip" added to a name
 * without a dot) and makes the temporary archive, creating the folders it
 * needs; appending in place and memory-to-memory need none.  The finish
 * closes the temporary archive and removes it, unless it holds a complete new
 * archive that could not be put in place.
 */
#include "engine/zip/zip_operation.h"

#include "engine/common/append_rollback.h"
#include "engine/common/archive_lock.h"
#include "engine/zip/archive_operation.h"
#include "engine/zip/multi_volume_setup.h"
#include "engine/zip/temp_archive.h"
#include "engine/zip/zip_output.h"
#include "engine/zip/zip_run.h"
#include "engine/zip/zip_sources.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/folders.h"

namespace ostrana {

std::string archive_path_with_suffix(const std::string& path) {
  if (path.empty() || path == "-") return path;  // no archive at all: reading it says 13
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (start >= path.size()) return path;  // a folder: the open fails later
  if (path.find('.', start) != std::string::npos) return path;
  return path + ".zip";
}

std::string temp_folder_for(const std::string& archive_path, bool use_temp_path, const std::string& temp_path) {
  if (use_temp_path) return temp_path;
  return platform::parent_folder(archive_path);
}

int zip_check_multivolume(ZipRun& run) { return check_multi_volume(run); }

namespace {

/// Before anything of the archive is read: its update lock, a refusal of a
/// FIFO or device standing in its place, the undoing of an append a killed run
/// left unfinished, and the removal of temporary archives of killed runs.
int guard_update(ZipRun& run, const std::string& temp_folder) {
  ZipOutputState& o = *run.output;
  ArchiveLockHooks hooks;
  hooks.waiting = [&run](const std::string& text) { zip_warning(run, text); };
  hooks.cancelled = [&run] { return run.status.major_poll() != 0; };
  std::string text;
  switch (lock_archive_for_update(o.archive_path, &o.lock, hooks, &text)) {
    case ArchiveLockResult::kBusy: return zip_report(run, OZ_BUSY, text.c_str());
    case ArchiveLockResult::kCancelled: return zip_report(run, OZ_INTERRUPTED);
    case ArchiveLockResult::kLocked: break;
  }
  platform::FileInfo info;
  if (platform::file_info(o.archive_path, &info) == 0 && info.is_special()) {
    text = o.archive_path + ": a " + platform::file_kind_text(info.kind) + ", not an archive file";
    return zip_report(run, OZ_BAD_STRUCTURE, text.c_str());
  }
  switch (restore_from_rollback(o.archive_path, &text)) {
    case RollbackOutcome::kRestored:
      zip_warning(run, o.archive_path + ": an append that did not finish was undone; the archive is as it was before");
      break;
    case RollbackOutcome::kFailed: return zip_report(run, OZ_WRITE_FAILED, text.c_str());
    case RollbackOutcome::kNone:
    case RollbackOutcome::kDiscarded: break;
  }
  remove_leftover_temp_archives(temp_folder);
  return OZ_SUCCESS;
}

}  // namespace

int zip_prepare_output(ZipRun& run) {
  run.output = std::make_shared<ZipOutputState>();
  if (run.cmd.Function == ZIP_MEMORY_TO_MEMORY) return OZ_SUCCESS;
  ZipOutputState& o = *run.output;
  // An archive reached through a symbolic link is replaced where it lies;
  // the link stays a link.
  o.archive_path = platform::followed_link(archive_path_with_suffix(run.archive_path));
  const bool use_temp = run.cmd.pathForTempFlag != 0 && !run.temp_path.empty();
  o.temp_folder = temp_folder_for(o.archive_path, use_temp, run.temp_path);
  if (int rc = guard_update(run, o.temp_folder)) return rc;
  if (run.cmd.wMultiVolControl & ZIP_MV_ENABLED) return prepare_multi_volume_output(run);
  if (run.cmd.growExistingFlag != 0) return OZ_SUCCESS;  // made later if appending turns out impossible
  int rc = create_temp_archive(o.temp_folder, &o.temp, &o.temp_path, true);
  if (rc == OZ_OUT_OF_MEMORY) return zip_report_message(run, rc, kZipMsgTempName);
  if (rc != 0) return zip_report(run, rc, o.archive_path.c_str());
  return OZ_SUCCESS;
}

int zip_run_operation(ZipRun& run) {
  if (run.cmd.Function == ZIP_MEMORY_TO_MEMORY) return run_memory_to_memory(run);
  return run_archive_operation(run);
}

void zip_finish_output(ZipRun& run, int result) {
  if (!run.output) return;
  ZipOutputState& o = *run.output;
  o.temp.close();
  if (!o.temp_path.empty() && !o.keep_temp) platform::remove_file(o.temp_path);
  if (o.multi_volume) clean_up_multi_volume(run, result);
}

}  // namespace ostrana
