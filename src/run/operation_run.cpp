/* run/operation_run.cpp - one run of the operation in the record: its state, its rules, its end. */
#include "run/operation_run.h"

#include <QStandardPaths>
#include <cstring>
#include <vector>

#include "core/operation_record.h"
#include "core/strings.h"
#include "log/task_log.h"
#include "platform/file.h"
#include "platform/file_info.h"
#include "run/archive_replacement.h"

namespace run {
namespace {

constexpr int32_t kResultCancelledByUser = 1026;
constexpr int32_t kResultSkippedEncrypted = 41;  // the unzip side's "File skipped, encrypted"
constexpr int kFasterLevel = 3;
constexpr int kNormalLevel = 7;

bool is_zip_mode(int32_t mode) { return mode == core::kRunModeCreate || mode == core::kRunModeAdd; }

std::string file_name_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

std::string default_extraction_folder(const std::string& archive_path) {
  std::string name = file_name_of(archive_path);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  std::string desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString();
  if (!desktop.empty() && desktop.back() != '/') desktop += '/';
  return desktop + name + "/";
}

OperationRun::OperationRun(core::OperationRecord& record, tasklog::TaskLog& log, RunPresenter& presenter,
                           RunSeams seams)
    : m_record(record), m_log(log), m_presenter(presenter), m_seams(std::move(seams)) {
  if (m_seams.instance == nullptr) m_seams.instance = core::load_string;
  if (!m_seams.has_encrypted_items) {
    const bridge::ProgramInstance instance = m_seams.instance;
    m_seams.has_encrypted_items = [instance](const std::string& archive) {
      return bridge::archive_has_encrypted_items(instance, nullptr, archive.c_str()) != 0;
    };
  }
  if (!m_seams.archive_tester) m_seams.archive_tester = engine_archive_tester(m_seams.instance);
  if (!m_seams.default_destination) m_seams.default_destination = default_extraction_folder;
}

int32_t OperationRun::run_mode() const {
  return m_record.run_mode == core::kRunModeScheduled ? m_record.stored_operation : m_record.run_mode;
}

void OperationRun::log_line(const std::string& text, const std::string& item) { m_log.add_entry(text, item); }

// ---- before the run ------------------------------------------------------------------

void OperationRun::page_created() {
  // The old archive is recorded as going, but it goes only when its successor
  // is complete (perform_zip); an extraction never touches its archive.
  if (m_record.create_new == 1 && is_zip_mode(run_mode()) && platform::path_entry_exists(m_record.archive_path))
    m_log.add_entry_from_message(core::kIdsEventDeletingPrevious, m_record.archive_path);
}

OperationRun::Preparation OperationRun::prepare() {
  if (m_record.run_mode == core::kRunModeScheduled) {
    m_scheduled = true;
    m_log.add_start_entry(core::format_string(core::kIdsEventStartingTask, m_record.task_name.c_str()), "");
    m_record.run_mode = m_record.stored_operation;
    m_auto_close = true;
    m_presenter.show_line(RunLine::kMonitoring, core::load_string(core::kIdsMonitoringAutomatic), false);
  } else if (m_record.monitoring == 1) {
    m_presenter.show_line(RunLine::kMonitoring, core::load_string(core::kIdsMonitoringActive), true);
  } else {
    m_presenter.show_line(RunLine::kMonitoring, core::load_string(core::kIdsMonitoringNotActivated), false);
  }

  if (m_record.session_password.empty() && m_seams.has_encrypted_items(m_record.archive_path)) {
    while (std::optional<std::string> typed = m_presenter.ask_password()) {
      m_record.session_password = *typed;
      if (!typed->empty()) break;
    }
    if (m_record.session_password.empty() && !m_presenter.continue_without_password()) {
      m_auto_close = true;
      return Preparation::kDeclined;
    }
  }

  static constexpr int kTitleIds[] = {core::kIdsAddingFiles, core::kIdsUpdatingFiles, core::kIdsExtractingZip};
  const int32_t mode = m_record.run_mode;
  if (mode >= 0 && mode <= 2)
    m_presenter.show_line(RunLine::kTitle, core::format_string(kTitleIds[mode], m_record.archive_path.c_str()), false);
  m_presenter.show_line(RunLine::kPleaseWait, core::load_string(core::kIdsPleaseWait), false);

  m_destination = m_record.destination_folder;
  if (mode == core::kRunModeExtract && m_destination.empty() && m_scheduled && !m_record.archive_path.empty())
    m_destination = m_seams.default_destination(m_record.archive_path);
  m_stop = false;
  return Preparation::kReady;
}

// ---- the run ---------------------------------------------------------------------------

int32_t OperationRun::perform() {
  const int32_t mode = m_record.run_mode;
  if (is_zip_mode(mode)) {
    m_result = perform_zip();
  } else if (mode == core::kRunModeExtract && !m_record.archive_path.empty() && !m_destination.empty()) {
    m_result = perform_extract();
  }
  return m_result;
}

int32_t OperationRun::perform_zip() {
  ArchiveReplacement replacement;
  const bool create_new = m_record.create_new == 1;
  if (create_new && !replacement.begin(m_record.archive_path)) {
    log_line(core::load_string(core::kIdsNoPlaceForNewArchive), m_record.archive_path);
    return bridge::kZipCouldNotCreate;
  }
  const std::string work_path = create_new ? replacement.work_path() : m_record.archive_path;
  // The old archive is no source of the new one, as it would not have been had
  // it been deleted first.
  const std::string exclude = replacement.replacing() ? quoted(replacement.target_path()) : std::string();

  bridge::ZipRunArguments args;
  args.archive_path = work_path.c_str();
  args.item_list = m_record.file_list.c_str();
  args.function_code = bridge::kZipAdd;
  args.path_mode = bridge::kPathModeFolders;
  args.compression_level = m_record.faster_compression == 1 ? kFasterLevel : kNormalLevel;
  args.recurse = 1;
  args.exclude_list = exclude.empty() ? nullptr : exclude.c_str();
  const int32_t result = bridge::zip_run(m_seams.instance, nullptr, args, this);

  if (!replacement.replacing()) return result;
  if (result != 0) {
    replacement.discard();
    return result;
  }
  if (const int rc = replacement.commit()) {
    log_line(core::format_string(core::kIdsReplaceFailed, std::strerror(rc)), m_record.archive_path);
    return bridge::kZipCouldNotCreate;
  }
  return 0;
}

int32_t OperationRun::perform_extract() {
  bridge::ExtractRunArguments args;
  args.archive_path = m_record.archive_path.c_str();
  args.file_pattern = "*";
  args.destination = m_destination.c_str();
  args.password = m_record.session_password.c_str();
  args.recurse = 1;
  args.keep_folders = 1;
  args.overwrite_mode = bridge::kOverwriteAsk;
  const int32_t result = bridge::extract_run(m_seams.instance, nullptr, args, this);
  if (result != 0 || !m_record.session_password.empty()) return result;
  // Without a password the engine skips encrypted items and calls that a
  // success; the items are not there, so the run says so.
  std::vector<bridge::ArchiveItem> items;
  if (bridge::list_archive(m_seams.instance, nullptr, args.archive_path, &items, nullptr, nullptr) == 0 &&
      bridge::listing_statistics().encrypted > 0)
    return kResultSkippedEncrypted;
  return 0;
}

// ---- the UI progress callback ---------------------------------------------------------

int32_t OperationRun::notify(uint32_t code, const char* text, int32_t value, void*,
                             const bridge::OverwriteInfo* item_info, intptr_t, intptr_t, std::string* new_name,
                             std::string*, int32_t* answer) {
  m_presenter.pump_events();
  switch (code) {
    case bridge::kNotifyItemProgress:
      on_item_progress(text ? text : "", value);
      return 0;
    case bridge::kNotifyOverallProgress:
      return on_overall_progress(text, value);
    case bridge::kNotifyOverwrite:
      if (item_info != nullptr && answer != nullptr) on_overwrite(*item_info, new_name, answer);
      return 0;
    default:
      return 0;
  }
}

void OperationRun::on_item_progress(const std::string& name, int32_t percent) {
  const bool deleting = is_zip_mode(m_record.run_mode) && m_record.delete_after == 1;
  if (deleting) m_files.note_reading(name, processed_file_path(m_record.originating_folder, name));
  m_presenter.show_item(name, percent);
  // The engine's overall percent moves once per item; within an item the bar
  // moves with the item, so one large file does not show 100 % from its start.
  if (m_total_top > m_total_base) {
    const int32_t clamped = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    const int32_t total = m_total_base + (m_total_top - m_total_base) * clamped / 100;
    if (total != m_total_shown) {
      m_total_shown = total;
      m_presenter.show_total(total);
    }
  }
  if (percent != 100) return;
  m_log.add_entry_from_message(core::kIdsEventFileProcessed, name);
  if (deleting) m_files.note_finished(name);
}

int32_t OperationRun::on_overall_progress(const char* text, int32_t percent) {
  if (m_stop) return 1;
  const std::string line = text ? text : "";
  // A poll before the first item carries no text: it is no item.
  if (!line.empty() && (!m_have_overall_text || line != m_last_overall_text)) {
    ++m_processed;
    m_total_base = percent >= m_total_top ? m_total_top : 0;
    m_total_top = percent;
    m_total_shown = m_total_base;
    m_presenter.show_total(m_total_shown);
  }
  m_have_overall_text = true;
  m_last_overall_text = line;
  show_counter(m_skipped != 0 ? core::kIdsFilesSkipped : 0);
  m_presenter.show_line(RunLine::kLabel, core::load_string(core::kIdsProcessing), false);
  return 0;
}

void OperationRun::on_overwrite(const bridge::OverwriteInfo& info, std::string* new_name, int32_t* answer) {
  // Nothing to ask about a file that is not there.
  if (new_name != nullptr && !new_name->empty() && !platform::path_entry_exists(*new_name)) return;
  if (!info.output_path.empty() && !platform::path_entry_exists(info.output_path)) return;
  OverwriteChoice choice = m_presenter.ask_overwrite(info);
  if (choice.answer == bridge::kAnswerCancel) m_stop = true;
  *answer = choice.answer;
  if (choice.new_name == file_name_of(info.output_path)) choice.new_name.clear();
  m_last_new_name = choice.new_name;
  if (new_name != nullptr) *new_name = choice.new_name;
}

void OperationRun::show_counter(int tail_id) {
  std::string line = core::format_string(core::kIdsProcessedSoFar, m_processed);
  if (tail_id != 0) line += core::format_string(tail_id, m_skipped);
  m_presenter.show_line(RunLine::kCounter, line, false);
}

void OperationRun::request_stop() {
  if (m_stop) return;
  m_stop = true;
  show_counter(m_skipped != 0 ? core::kIdsSkippedStopped : core::kIdsNoFilesSkippedStopped);
}

// ---- the end ---------------------------------------------------------------------------

Completion OperationRun::complete() {
  Completion done;
  m_stop = true;
  done.outcome_id = m_result == 0                        ? core::kIdsCompletedOk
                    : m_result == kResultCancelledByUser ? core::kIdsCanceledByUser
                                                         : core::kIdsCompletedWithErrors;
  m_presenter.show_line(RunLine::kOutcome, core::load_string(done.outcome_id), true);
  if (m_result == 0) m_presenter.show_total(100);
  if (m_result != 0 && m_result != kNotRun) {
    const bool zip_side = is_zip_mode(m_record.run_mode);
    const char* reason = zip_side ? bridge::zip_result_text(m_result) : bridge::unzip_result_text(m_result);
    // The engine's own reason, in the log and under the outcome, so "with Errors" says which.
    const std::string line =
        core::format_string(core::kIdsEventEngineResult, static_cast<int>(m_result), reason ? reason : "");
    log_line(line, m_record.archive_path);
    m_presenter.show_line(RunLine::kNote, line, false);
  }

  if (is_zip_mode(m_record.run_mode)) {
    if (m_record.delete_after == 1 && m_result == 0) delete_processed(&done);
    // Nothing to mail or open when the run left no archive (stopped before it existed).
    done.show_links = platform::path_entry_exists(m_record.archive_path);
    if (done.show_links) m_presenter.show_line(RunLine::kHint, core::load_string(core::kIdsEmailOrOpen), false);
    if (m_auto_close)
      done.close_after_ms = kScheduledCloseMs;
    else if (m_record.monitoring == 1)
      m_presenter.show_line(RunLine::kMonitoring, core::load_string(core::kIdsMonitoringActivated), false);
  } else if (m_scheduled) {
    // A scheduled extraction ends like a scheduled zip run: no file manager, no user.
    done.close_after_ms = kScheduledCloseMs;
  } else if (m_record.run_mode == core::kRunModeExtract && m_result == 0) {
    done.folder_to_open = m_destination;
  } else if (m_auto_close) {
    done.close_after_ms = kScheduledCloseMs;
  }
  return done;
}

void OperationRun::delete_processed(Completion* done) {
  done->deletion = m_files.delete_verified(m_record.archive_path, m_record.originating_folder, m_seams.archive_tester);
  const ProcessedFiles::Report& report = done->deletion;
  if (report.test_result != 0) {
    const std::string note = core::format_string(core::kIdsNothingDeleted, static_cast<int>(report.test_result));
    m_presenter.show_line(RunLine::kNote, note, false);
    log_line(note, m_record.archive_path);
    return;
  }
  for (const std::string& name : report.kept) log_line(core::load_string(core::kIdsEventFileKept), name);
  for (const std::string& path : report.failed) log_line(core::load_string(core::kIdsEventDeleteFailed), path);
  if (!report.kept.empty() || !report.failed.empty()) {
    const std::string note = core::format_string(core::kIdsSomeFilesKept,
                                                 static_cast<int>(report.kept.size() + report.failed.size()));
    m_presenter.show_line(RunLine::kNote, note, false);
  }
}

}  // namespace run
