/* engine/unzip/unzip_entry.cpp - OstranaUnzip(): the unzip side's one entry point.
 *
 * The entry takes the caller's UNZIPCMDSTRUCT through a fixed sequence of
 * steps: thread state, re-entry guard, copy into the full record, diagnostic
 * log, the parameter checks in their order, opening the archive, then the
 * function (unzip_functions.h for 1 to 7, extract.h for 8 to 11).  At the end
 * the full record is copied back into the caller's record in the caller's
 * size, the result is reported and the result lines are logged.  Every path
 * after the guard is set clears it again and closes the archive file; the
 * loaded directory stays for the next call.
 *
 * The diagnostic dump is written from the full record, after the copy, so it
 * never reads past a short record.  A record of an unknown size is refused
 * with 47 without any message (its callbacks are not trusted); the
 * diagnostic log gets the dump of what could be read and the result lines.
 */
#include <cstring>
#include <new>

#include "engine/common/caller_strings.h"
#include "engine/common/command_record.h"
#include "engine/unzip/extract.h"
#include "engine/unzip/pattern_match.h"
#include "engine/unzip/unzip_functions.h"
#include "engine/unzip/unzip_run.h"
#include "platform/memory_probe.h"

namespace ostrana {
namespace {

const RecordSize kUnzipRecordSizes[] = {
    {UNZIPCMDSTRUCT_SIZE_L100, 100}, {UNZIPCMDSTRUCT_SIZE_L200, 200}, {UNZIPCMDSTRUCT_SIZE_L300, 300},
    {UNZIPCMDSTRUCT_SIZE_L500, 500}, {UNZIPCMDSTRUCT_SIZE_L600, 600},
};

constexpr char kDefaultTitle[] = "Extract Progress";
constexpr size_t kTitleLimit = 299;
constexpr size_t kPasswordLimit = 128;
constexpr size_t kInBuffer = 10240;
constexpr size_t kOutBuffer = 61440;
constexpr size_t kMemoryBuffer = 8192;

bool is_memory_function(int function) {
  return function == UNZIP_FILETOMEM || function == UNZIP_MEMTOMEM || function == UNZIP_FILETOMEM_CALLBACK;
}

// A call made while this thread is inside OstranaUnzip (from a callback): the
// running call's state is left alone and nothing is written back.
int refuse_nested_call(UNZIPCMDSTRUCT* cmd) {
  UNZIPCMDSTRUCT copy;
  int level = behaviour_level(kUnzipRecordSizes, 5, cmd->structSize);
  copy_command_record(cmd, cmd->structSize, level != 0, &copy, sizeof copy, UNZIPCMDSTRUCT_SIZE_L100);
  if (copy.quietFlag != 0) return OU_BUSY;
  MessageBook book(kUnzipMessages);
  if (level >= 200) book.set_channel({copy.lpMessageDisplay, copy.lpMessageDisplayData});
  std::string detail = book.text(kUnzipMsgReentry, 2);
  std::string text = unzip_report_text(book, OU_BUSY, detail.c_str());
  show_refusal(book, kUnzipDisplayTable, OU_BUSY, text, (copy.wUnzipSubOptions & UNZIP_OPT_NO_PUMP) == 0);
  return OU_BUSY;
}

// The caller's strings: copied first, a string that cannot
// be read is a syntax error naming the field, never a crash.
int take_strings(UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  std::string destination;
  struct Field {
    const char* p;
    bool used;
    std::string* out;
    const char* name;
  };
  const Field fields[] = {
      {c.lpszZIPFile, true, &run.archive_path, "lpszZIPFile"},
      {c.lpszFilespec, true, &run.filespec, "lpszFilespec"},
      {c.lpszDestination, true, &destination, "lpszDestination"},
      {c.lpszDecryptCode, c.decryptFlag != 0, &run.password, "lpszDecryptCode"},
      {c.lpszExtProgTitle, true, &run.progress_title, "lpszExtProgTitle"},
  };
  for (const Field& f : fields)
    if (f.used && take_caller_string(f.p, f.out) == CallerString::kUnreadable)
      return unzip_report(run, OU_SYNTAX, f.name);
  run.filespec_given = c.lpszFilespec != nullptr;
  run.destination_given = c.lpszDestination != nullptr;
  for (char ch : destination)
    if (ch != '"') run.destination += ch;
  return OU_SUCCESS;
}

// The destination: freshen and update need a complete, absolute destination.
int check_destination(UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  if (!c.freshenFlag && !c.updateFlag) {
    if (!run.destination.empty() && run.destination.back() != '/') run.destination += '/';
    return OU_SUCCESS;
  }
  if (c.freshenFlag && c.updateFlag) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgFreshenAndUpdate);
  if (!run.destination_given) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgNeedDestination);
  if (run.destination.size() < 2) return unzip_report_message(run, OU_SYNTAX, kUnzipMsgDestinationIncomplete);
  // An absolute path stands in for "a drive letter or \\server" on this platform.
  if (run.destination[0] != '/') return unzip_report_message(run, OU_SYNTAX, kUnzipMsgDestinationNotAbsolute);
  if (run.destination.back() != '/') run.destination += '/';
  return OU_SUCCESS;
}

// The password: present and within its limit when decryption is asked for.
int check_password(UnzipRun& run) {
  if (!run.cmd.decryptFlag) return OU_SUCCESS;
  if (run.password.empty() || run.password.size() > kPasswordLimit)
    return unzip_report_message(run, OU_SYNTAX, kUnzipMsgBadPassword);
  return OU_SUCCESS;
}

// The option bits and the archive-data callback.
int decode_options(UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  OSTRANA_CALLBACK_STRUCT callback{};
  if (c.lpCallbackStruct != nullptr && platform::copy_readable(c.lpCallbackStruct, sizeof callback, &callback)) {
    run.data_proc = callback.lpDataProc;
    run.data_user = callback.lpUserData;
  }
  StatusReporter::Setup status;
  status.major = c.lpMajorStatus;
  status.major_data = c.lpMajorUserData;
  status.minor = c.lpMinorStatus;
  status.minor_data = c.lpMinorUserData;
  status.major_cancels = run.level >= 200;
  status.minor_cancels = run.level >= 200 && (c.wUnzipSubOptions & UNZIP_OPT_MINOR_CANCELS);
  status.pump = run.pump;
  status.cancel_code = OU_USER_CANCELLED;
  run.status.setup(status);
  if ((c.wUnzipSubOptions & UNZIP_OPT_NEED_DATA_CALLBACK) && run.data_proc == nullptr)
    return unzip_report_message(run, OU_SYNTAX, static_cast<int>(kUnzipMsgResultBase) + OU_SYNTAX);
  return OU_SUCCESS;
}

// Memory output, progress title, archive path.
void decode_memory_and_title(UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  run.mem_block_nbytes = (static_cast<uint64_t>(c.lMemBlockSizeH) << 32) | c.lMemBlockSize;
  run.starting_offset = (static_cast<uint64_t>(c.lStartingOffsetH) << 32) | c.lStartingOffset;
  bool one_named = names_single_item(run.filespec.c_str());
  run.file_to_memory = (c.lpMemBlock != nullptr && (one_named || c.index >= 0)) ||
                       (c.Function == UNZIP_FILETOMEM_CALLBACK && c.lpMemBlock == nullptr && one_named);
  if (c.lpszExtProgTitle == nullptr) run.progress_title = kDefaultTitle;
  if (run.progress_title.size() > kTitleLimit) run.progress_title.resize(kTitleLimit);
}

// Functions 9 to 11 need their memory block or callback.
bool memory_setup_complete(const UnzipRun& run) {
  const UNZIPCMDSTRUCT& c = run.cmd;
  switch (c.Function) {
    case UNZIP_FILETOMEM: return c.lpMemBlock != nullptr && run.file_to_memory;
    case UNZIP_MEMTOMEM: return c.lpMemBlock == nullptr && run.data_proc != nullptr;
    case UNZIP_FILETOMEM_CALLBACK:
      return run.file_to_memory && (c.lpMemBlock != nullptr || run.data_proc != nullptr);
    default: return true;
  }
}

// The end of every run: the record back to the caller, the report, the result lines.
int end_run(UnzipThreadState& state, UNZIPCMDSTRUCT* caller, int code) {
  UnzipRun& run = state.run;
  const int function = run.cmd.Function;
  std::memcpy(caller, &run.cmd, static_cast<size_t>(run.caller_nbytes));
  // Extractions are reported at their end; functions 1 to 7 reported their own
  // failures with a detail already.
  if (code != OU_SUCCESS && code != OU_BAD_PASSWORD) code = unzip_report(run, code);
  run.result = code;
  if (run.diagnostic && (code == OU_SUCCESS || code == OU_BAD_PASSWORD || (function >= 1 && function <= 7)))
    unzip_write_result_lines(run, code);
  run.archive.close();
  run.pieces.close();
  run.password.assign(run.password.size(), '\0');
  run.password.clear();
  return code;
}

int run_unzip(UnzipThreadState& state, UNZIPCMDSTRUCT* cmd) {
  // A clean run; buffer sizes; the behaviour level.
  UnzipRun& run = state.run;
  run = UnzipRun();
  run.caller_nbytes = cmd->structSize;
  run.level = behaviour_level(kUnzipRecordSizes, 5, cmd->structSize);

  // The full record.  An unknown size is logged and refused silently.
  copy_command_record(cmd, cmd->structSize, run.level != 0, &run.cmd, sizeof run.cmd,
                      UNZIPCMDSTRUCT_SIZE_L100);
  run.diagnostic = run.cmd.diagnosticFlag != 0;
  run.quiet = run.cmd.quietFlag != 0;
  const bool memory = is_memory_function(run.cmd.Function);
  run.in_buffer_nbytes = memory ? kMemoryBuffer : kInBuffer;
  run.out_buffer_nbytes = memory ? kMemoryBuffer : kOutBuffer;
  if (run.level == 0) {
    if (run.diagnostic) {
      unzip_write_diagnostic_log(run, run.cmd);
      unzip_write_result_lines(run, OU_SYNTAX);
    }
    return OU_SYNTAX;
  }
  UNZIPCMDSTRUCT& c = run.cmd;
  if (run.level <= 200 && c.lpszExtProgTitle == nullptr) c.lpszExtProgTitle = kDefaultTitle;
  run.pump = (c.wUnzipSubOptions & UNZIP_OPT_NO_PUMP) == 0;
  // The callbacks (the message channel first, so that the log's
  // texts, its file name included, are offered too).
  run.messages.set_channel({c.lpMessageDisplay, c.lpMessageDisplayData});
  if (run.diagnostic) unzip_write_diagnostic_log(run, c);

  // The archive name.
  if (int rc = take_strings(run)) return end_run(state, cmd, rc);
  if (c.Function != UNZIP_MEMTOMEM && run.archive_path.empty())
    return end_run(state, cmd, unzip_report_message(run, OU_SYNTAX, kUnzipMsgNoZipName));
  // Destination, password, options.
  if (int rc = check_destination(run)) return end_run(state, cmd, rc);
  if (int rc = check_password(run)) return end_run(state, cmd, rc);
  if (int rc = decode_options(run)) return end_run(state, cmd, rc);
  // Memory output and progress title.
  decode_memory_and_title(run);
  // The archive, for the functions that read one.
  if (c.Function >= UNZIP_COUNT_ITEMS && c.Function <= UNZIP_FILETOMEM_CALLBACK)
    if (int rc = unzip_open_archive(state)) return end_run(state, cmd, rc);
  // The function itself.
  if (c.Function < UNZIP_COUNT_ITEMS || c.Function > UNZIP_FILETOMEM_CALLBACK)
    return end_run(state, cmd, unzip_report_message(run, OU_SYNTAX, kUnzipMsgUnknownFunction));
  if (c.Function <= UNZIP_ITEM_INFO) return end_run(state, cmd, unzip_information_function(state));
  if (!memory_setup_complete(run))
    return end_run(state, cmd, unzip_report_message(run, OU_SYNTAX, kUnzipMsgInconsistentFileToMem));
  return end_run(state, cmd, unzip_extract(state));
}

}  // namespace
}  // namespace ostrana

extern "C" OSTRANA_API int OstranaUnzip(UNZIPCMDSTRUCT* cmd) {
  using namespace ostrana;
  if (cmd == nullptr) return OU_SYNTAX;
  // The calling thread's state.
  UnzipThreadState* state = unzip_thread_state(true);
  if (state == nullptr) return OU_NO_STATE;
  // A call from inside a callback of a running call is refused.
  if (state->busy) return refuse_nested_call(cmd);
  try {
    BusyGuard guard(state->busy);
    return run_unzip(*state, cmd);
  } catch (const std::bad_alloc&) {
    // Nothing escapes the C interface; the guard is already cleared.
    state->run.archive.close();
    state->directory.clear();
    return unzip_report_message(state->run, OU_OUT_OF_MEMORY, kUnzipMsgLocalHeap);
  } catch (...) {
    state->run.archive.close();
    state->directory.clear();
    return unzip_report(state->run, OU_OUT_OF_MEMORY);
  }
}
