/* bridge/engine_bridge.cpp - the zip run and the extract run.
 *
 * Both follow the same frame: refuse a nested operation, reset the
 * process-wide state, give the thread a fresh engine state, build the record
 * in the bridge object on this call's stack, store the UI callback, call the
 * engine once - with the stop signals caught, so that a scheduled run that is
 * killed by SIGTERM or loses its session (SIGHUP) ends like a cancelled one -
 * and turn its result into the caller's (finish_run).  The
 * listing and the comment are in archive_listing.cpp.
 */
#include "bridge/engine_bridge.h"

#include <exception>

#include "bridge/bridge_callbacks.h"
#include "bridge/bridge_state.h"
#include "bridge/command_records.h"
#include "platform/stop_signals.h"

namespace bridge {
namespace {

// After the engine has returned: a handler's exception goes on to the caller.
void rethrow_callback_error(const EngineBridge& bridge) {
  if (bridge.callback_error) std::rethrow_exception(bridge.callback_error);
}

}  // namespace

int32_t zip_run(ProgramInstance instance, QWidget*, const ZipRunArguments& args,
                UiProgressCallback* callback) {
  if (args.archive_path == nullptr) return kNoArchivePath;
  OperationFrame frame;
  if (int32_t rc = frame.begin(EngineSide::kZip)) return rc;
  EngineBridge bridge(instance);
  build_zip_record(args, bridge);
  frame.set_callback(callback);
  platform::StopSignals stop_signals;  // SIGINT, SIGTERM, SIGHUP, SIGQUIT stop the run cleanly
  const int result = OstranaZip(&bridge.zip);
  rethrow_callback_error(bridge);
  return finish_run(bridge, result, /*extraction=*/false);
}

int32_t zip_run(ProgramInstance instance, QWidget* window, const char* archive_path,
                const char* item_list, const char* comment, const char* password,
                const char* root_folder, const char* split_size_text, int32_t function_code,
                int32_t path_mode, int32_t compression_level, int32_t recurse,
                UiProgressCallback* callback) {
  ZipRunArguments args;
  args.archive_path = archive_path;
  args.item_list = item_list;
  args.comment = comment;
  args.password = password;
  args.root_folder = root_folder;
  args.split_size_text = split_size_text;
  args.function_code = function_code;
  args.path_mode = path_mode;
  args.compression_level = compression_level;
  args.recurse = recurse;
  return zip_run(instance, window, args, callback);
}

int32_t extract_run(ProgramInstance instance, QWidget*, const ExtractRunArguments& args,
                    UiProgressCallback* callback) {
  if (args.archive_path == nullptr) return kNoArchivePath;
  OperationFrame frame;
  if (int32_t rc = frame.begin(EngineSide::kUnzip)) return rc;
  EngineBridge bridge(instance, args.overwrite_mode);
  build_extract_record(args, bridge);
  frame.set_callback(callback);
  platform::StopSignals stop_signals;
  const int result = OstranaUnzip(&bridge.unzip);
  bridge.return_count = bridge.unzip.returnCount;
  if (args.return_count != nullptr) *args.return_count = bridge.return_count;
  rethrow_callback_error(bridge);
  return finish_run(bridge, result, /*extraction=*/true);
}

int32_t extract_run(ProgramInstance instance, QWidget* window, const char* archive_path,
                    const char* file_pattern, const char* destination, const char* item_list,
                    const char* password, int32_t recurse, int32_t unused_word,
                    int32_t keep_folders, int32_t overwrite_mode, UiProgressCallback* callback,
                    int32_t* return_count) {
  ExtractRunArguments args;
  args.archive_path = archive_path;
  args.file_pattern = file_pattern;
  args.destination = destination;
  args.item_list = item_list;
  args.password = password;
  args.recurse = recurse;
  args.unused_word = unused_word;
  args.keep_folders = keep_folders;
  args.overwrite_mode = overwrite_mode;
  args.return_count = return_count;
  return extract_run(instance, window, args, callback);
}

int32_t test_archive(ProgramInstance instance, const char* archive_path, const char* password,
                     UiProgressCallback* callback) {
  if (archive_path == nullptr) return kNoArchivePath;
  OperationFrame frame;
  if (int32_t rc = frame.begin(EngineSide::kUnzip)) return rc;
  EngineBridge bridge(instance, kOverwriteAll);
  ExtractRunArguments args;
  args.archive_path = archive_path;
  args.file_pattern = "*";
  args.password = password;
  build_extract_record(args, bridge);
  bridge.unzip.testFlag = 1;
  frame.set_callback(callback);
  const int result = OstranaUnzip(&bridge.unzip);
  rethrow_callback_error(bridge);
  return result;
}

const char* zip_result_text(int32_t code) {
  const char* text = OstranaZipResultText(code);
  return text ? text : "";
}

const char* unzip_result_text(int32_t code) {
  const char* text = OstranaUnzipResultText(code);
  return text ? text : "";
}

}  // namespace bridge
