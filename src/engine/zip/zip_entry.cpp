/* engine/zip/zip_entry.cpp - OstranaZip(): the zip side's one entry point.
 *
 * The entry takes the caller's ZIPCMDSTRUCT through a fixed sequence of steps:
 * thread state, re-entry guard, copy into the full record, diagnostic log,
 * parameter checks in their order, then the stages of zip_operation.h.  The
 * first failure is reported (zip_run.h) and ends the run; every path after the
 * guard is set clears it again and frees the run's buffers, so the thread
 * state stays usable after any failure.
 *
 * A record of an unknown size cannot be trusted for its pointers: its
 * callbacks are not called (the report goes to the message-box hook unless
 * quietFlag is set) and only as much of it as can be read is dumped.
 */
#include <cstring>
#include <new>

#include "engine/common/caller_strings.h"
#include "engine/common/command_record.h"
#include "engine/common/key_derivation.h"
#include "engine/zip/zip_arguments.h"
#include "engine/zip/zip_operation.h"
#include "engine/zip/zip_run.h"
#include "platform/memory_probe.h"

namespace ostrana {
namespace {

const RecordSize kZipRecordSizes[] = {
    {ZIPCMDSTRUCT_SIZE_L100, 100}, {ZIPCMDSTRUCT_SIZE_L200, 200}, {ZIPCMDSTRUCT_SIZE_L300, 300},
    {ZIPCMDSTRUCT_SIZE_L500, 500}, {ZIPCMDSTRUCT_SIZE_L600, 600},
};

constexpr char kDefaultTitle[] = "Compress Progress";
constexpr size_t kTitleLimit = 299;
constexpr size_t kAesWorkArea = 8208;
constexpr uint16_t kMultiVolEnabled = 0x8000;  // wMultiVolControl bit 15

// A call made while this thread is inside OstranaZip (from a callback).  The
// running call's state is left alone: the report is built with the nested
// caller's own channel and slots, and is not the running call's report.
int refuse_nested_call(const ZIPCMDSTRUCT* cmd) {
  ZIPCMDSTRUCT copy;
  int level = behaviour_level(kZipRecordSizes, 5, cmd->structSize);
  copy_command_record(cmd, cmd->structSize, level != 0, &copy, sizeof copy, ZIPCMDSTRUCT_SIZE_L100);
  if (copy.quietFlag != 0) return OZ_BUSY;
  MessageBook book(kZipMessages);
  if (level >= 200) book.set_channel({copy.lpMessageDisplay, copy.lpMessageDisplayData});
  std::string text = zip_report_text(book, OZ_BUSY, nullptr);
  show_refusal(book, kZipDisplayTable, OZ_BUSY, text, (copy.wZipSubOptions & ZIP_OPT_NO_PUMP) == 0);
  return OZ_BUSY;
}

// The end of every run: free the run's buffers and report the result.
int end_run(ZipRun& run, int code) {
  run.aes_work.clear();
  run.aes_work.shrink_to_fit();
  run.password.assign(run.password.size(), '\0');
  run.password.clear();
  run.mem_block = nullptr;
  run.data_proc = nullptr;
  run.data_user = nullptr;
  run.output.reset();
  int result = zip_report(run, code);
  run.activity.end();
  return result;
}

// The caller's strings, copied; a string that cannot be read is a bad
// parameter (named in the report), never a crash.
int take_strings(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  struct Field {
    const char* p;
    bool used;
    std::string* out;
    const char* name;
  };
  const Field fields[] = {
      {c.lpszZIPFile, true, &run.archive_path, "lpszZIPFile"},
      {c.lpszItemList, true, &run.item_list, "lpszItemList"},
      {c.lpszTempPath, c.pathForTempFlag != 0, &run.temp_path, "lpszTempPath"},
      {c.lpszComment, c.addCommentFlag != 0, &run.comment, "lpszComment"},
      {c.lpszDate, c.afterDateFlag != 0, &run.date, "lpszDate"},
      {c.lpszIncludeFollowing, c.includeOnlyFollowingFlag != 0, &run.include_patterns, "lpszIncludeFollowing"},
      {c.lpszExludeFollowing, c.excludeFollowingFlag != 0, &run.exclude_patterns, "lpszExludeFollowing"},
      {c.lpszStoreSuffixes, c.dontCompressTheseSuffixesFlag != 0, &run.store_suffixes, "lpszStoreSuffixes"},
      {c.lpszEncryptCode, c.encryptFlag != 0, &run.password, "lpszEncryptCode"},
      {c.lpszExtProgTitle, true, &run.progress_title, "lpszExtProgTitle"},
  };
  for (const Field& f : fields)
    if (f.used && take_caller_string(f.p, f.out) == CallerString::kUnreadable)
      return zip_report(run, OZ_BAD_PARAMETERS, f.name);
  return OZ_SUCCESS;
}

// Encryption settings: a usable password and a known cipher.
int check_encryption(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  if ((c.lZipSubOptions2 & ZIP_OPT2_AES_ZIP_FORMAT) && !(c.lZipSubOptions2 & ZIP_OPT2_AES))
    return zip_report(run, OZ_BAD_PARAMETERS);
  if (!c.encryptFlag) return OZ_SUCCESS;
  // The reader takes at most 128 characters: a longer password is refused
  // rather than cut, so the password given always opens what it encrypted.
  if (run.password.empty() || run.password.size() > kMaxPasswordBytes)
    return zip_report_message(run, OZ_BAD_PARAMETERS, kZipMsgGettingPassword);
  if (c.lZipSubOptions2 & ZIP_OPT2_AES) {
    try {
      run.aes_work.assign(kAesWorkArea, 0);
    } catch (const std::bad_alloc&) {
      return zip_report(run, OZ_OUT_OF_MEMORY);
    }
    run.aes = true;
    run.aes_zip_format = (c.lZipSubOptions2 & ZIP_OPT2_AES_ZIP_FORMAT) != 0;
    run.aes_strength = c.lSEInfo & 3;
    if (run.aes_strength == 0) return zip_report(run, OZ_BAD_PARAMETERS);
  }
  return OZ_SUCCESS;
}

// What the memory operations need.
int check_memory_operations(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  OSTRANA_CALLBACK_STRUCT callback{};
  if (c.lpCallbackStruct != nullptr &&
      platform::copy_readable(c.lpCallbackStruct, sizeof callback, &callback)) {
    run.data_proc = callback.lpDataProc;
    run.data_user = callback.lpUserData;
  }
  const bool has_items = !run.item_list.empty();
  const bool has_archive = !run.archive_path.empty();
  if (c.Function == ZIP_ADD_FROM_CALLBACK && (!has_items || run.data_proc == nullptr))
    return zip_report(run, OZ_BAD_PARAMETERS);
  if (c.Function == ZIP_MEMORY_TO_MEMORY && (has_archive || has_items || run.data_proc == nullptr))
    return zip_report(run, OZ_BAD_PARAMETERS);
  if ((c.wZipSubOptions & ZIP_OPT_NEED_DATA_CALLBACK) && run.data_proc == nullptr)
    return zip_report(run, OZ_BAD_PARAMETERS);
  return OZ_SUCCESS;
}

// The settings the operation checks before touching any file: the date limit
// and what ZIP_DELETE refuses.
int check_operation_arguments(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  if (c.afterDateFlag) {
    if (!parse_after_date(run.date.c_str(), &run.after_dos_datetime))
      return zip_report_message(run, OZ_BAD_PARAMETERS, kZipMsgInvalidDate);
    run.after_date = true;
  }
  if (delete_options_refused(c)) return zip_report_message(run, OZ_BAD_PARAMETERS, kZipMsgBadDeleteOptions);
  return OZ_SUCCESS;
}

int run_zip(ZipThreadState& state, const ZIPCMDSTRUCT* cmd) {
  // A clean run; the behaviour level from the caller's size.
  ZipRun& run = state.run;
  run = ZipRun();
  run.caller_nbytes = cmd->structSize;
  run.level = behaviour_level(kZipRecordSizes, 5, cmd->structSize);

  // The full record.  An unknown size is dumped and refused.
  copy_command_record(cmd, cmd->structSize, run.level != 0, &run.cmd, sizeof run.cmd,
                      ZIPCMDSTRUCT_SIZE_L100);
  run.diagnostic = run.cmd.diagnosticFlag != 0;
  run.quiet = run.cmd.quietFlag != 0;
  if (run.level == 0) {
    if (run.diagnostic) zip_write_diagnostic_log(run, run.cmd);
    return end_run(run, zip_report(run, OZ_BAD_PARAMETERS));
  }
  ZIPCMDSTRUCT& c = run.cmd;
  if (run.level <= 200 && c.lpszExtProgTitle == nullptr) c.lpszExtProgTitle = kDefaultTitle;
  run.pump = (c.wZipSubOptions & ZIP_OPT_NO_PUMP) == 0;
  run.messages.set_channel({c.lpMessageDisplay, c.lpMessageDisplayData});

  // The diagnostic log.
  if (run.diagnostic) zip_write_diagnostic_log(run, c);

  // The archive name; decode the options.
  if (c.Function != ZIP_MEMORY_TO_MEMORY && c.lpszZIPFile == nullptr)
    return end_run(run, zip_report(run, OZ_BAD_PARAMETERS));
  if (int rc = take_strings(run)) return end_run(run, rc);
  run.compression = decode_comp_factor(c.compFactor, c.Function);

  // Encryption.
  if (int rc = check_encryption(run)) return end_run(run, rc);

  // The activity log's header (the current folder needs no keeping here).
  run.activity.start((c.wZipSubOptions & ZIP_OPT_ACTIVITY_LOG) != 0, run.messages,
                     {kZipMsgActivityLogName, kZipMsgActivityHeader, kZipMsgVersion});
  // Multi-volume output.
  if (c.wMultiVolControl & kMultiVolEnabled)
    if (int rc = zip_check_multivolume(run)) return end_run(run, rc);

  // Callbacks, progress title, function code.
  StatusReporter::Setup status;
  status.major = c.lpMajorStatus;
  status.major_data = c.lpMajorUserData;
  status.minor = c.lpMinorStatus;
  status.minor_data = c.lpMinorUserData;
  status.major_cancels = run.level >= 200;
  status.minor_cancels = run.level >= 200 && (c.wZipSubOptions & ZIP_OPT_MINOR_CANCELS);
  status.pump = run.pump;
  status.cancel_code = OZ_INTERRUPTED;
  run.status.setup(status);
  if (c.lpszExtProgTitle == nullptr) run.progress_title = kDefaultTitle;
  if (run.progress_title.size() > kTitleLimit) run.progress_title.resize(kTitleLimit);
  if (c.Function < ZIP_FRESHEN || c.Function > ZIP_ADD_FROM_CALLBACK)
    return end_run(run, zip_report(run, OZ_BAD_PARAMETERS));

  // The output.
  if (int rc = zip_prepare_output(run)) return end_run(run, rc);

  // The memory block names the first item's content.
  run.mem_block_nbytes = (static_cast<uint64_t>(c.lMemBlockSizeH) << 32) | c.lMemBlockSize;
  if (!run.item_list.empty()) run.mem_block = static_cast<const uint8_t*>(c.lpMemBlock);

  // Memory operations; then the operation's own argument checks.
  int rc = check_memory_operations(run);
  if (rc == OZ_SUCCESS) rc = check_operation_arguments(run);

  // The external progress program is not provided here (progress
  // goes to the callbacks); the operation; closing the output.
  if (rc == OZ_SUCCESS) rc = zip_run_operation(run);
  zip_finish_output(run, rc);
  return end_run(run, rc);
}

}  // namespace
}  // namespace ostrana

extern "C" OSTRANA_API int OstranaZip(const ZIPCMDSTRUCT* cmd) {
  using namespace ostrana;
  if (cmd == nullptr) return OZ_BAD_PARAMETERS;
  // The calling thread's state.
  ZipThreadState* state = zip_thread_state(true);
  if (state == nullptr) return OZ_OUT_OF_MEMORY;
  // A call from inside a callback of a running call is refused.
  if (state->busy) return refuse_nested_call(cmd);
  try {
    BusyGuard guard(state->busy);
    return run_zip(*state, cmd);
  } catch (const std::bad_alloc&) {
    // Nothing escapes the C interface; the guard is already cleared.
    state->run.aes_work = {};
    return zip_report(state->run, OZ_OUT_OF_MEMORY, find_message(kZipMessages, kZipMsgProcessingArguments));
  } catch (...) {
    return zip_report(state->run, OZ_INTERNAL);
  }
}
