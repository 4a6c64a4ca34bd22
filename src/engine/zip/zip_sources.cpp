/* engine/zip/zip_sources.cpp - where a zip run's entry data comes from, and how it reports. */
#include "engine/zip/zip_sources.h"

#include <limits>

#include "engine/common/progress.h"
#include "engine/zip/zip_messages.h"
#include "platform/event_pump.h"

namespace ostrana {
namespace {

constexpr uint64_t kPollEveryNbytes = 1u << 20;

}  // namespace

// ---- sources ---------------------------------------------------------------------

std::ptrdiff_t FileSource::read(uint8_t* buf, size_t avail) {
  std::ptrdiff_t n = m_file.read(buf, avail);
  if (n < 0) m_error = OZ_READ_FAILED;
  return n;
}

std::ptrdiff_t CallbackSource::read(uint8_t* buf, size_t avail) {
  if (m_error != 0) return -1;
  if (m_ended || avail == 0) return 0;
  uint32_t asked = avail > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                                 : static_cast<uint32_t>(avail);
  uint32_t length = asked;
  int32_t status = OSTRANA_DATA_MORE;
  m_proc(OSTRANA_DATA_TO_ENGINE, buf, &length, static_cast<uint32_t>(m_position),
         static_cast<uint32_t>(m_position >> 32), 0, 0, m_user, &status);
  if (status == OSTRANA_DATA_CANCEL) {
    m_error = OZ_INTERRUPTED;
    return -1;
  }
  if (status != OSTRANA_DATA_MORE && status != OSTRANA_DATA_END) {
    m_error = OZ_READ_FAILED;
    return -1;
  }
  if (length > asked) {
    m_error = OZ_BAD_PARAMETERS;
    m_detail_id = kZipMsgInvalidLength;
    return -1;
  }
  if (status == OSTRANA_DATA_END || length == 0) m_ended = true;
  m_position += length;
  return static_cast<std::ptrdiff_t>(length);
}

// ---- progress ----------------------------------------------------------------------

EntryProgress::EntryProgress(ZipRun& run, const std::string& name, uint64_t total)
    : m_run(run), m_name(name), m_total(total) {}

int EntryProgress::progress(uint64_t source_nbytes) {
  int percent = byte_percent(source_nbytes, m_total);
  if (percent != m_last_percent) {
    m_last_percent = percent;
    if (int rc = m_run.status.minor(m_name.c_str(), percent)) return rc;
  }
  if (source_nbytes - m_last_poll >= kPollEveryNbytes) {
    m_last_poll = source_nbytes;
    if (int rc = m_run.status.major_poll()) return rc;
  }
  return 0;
}

int EntryProgress::pass_progress(uint64_t done_nbytes, uint64_t total_nbytes) {
  // The pass starts again from 0 percent; like the reading, at most one
  // report per percent step and one cancel poll per MiB.
  if (done_nbytes < m_pass_last_poll) {  // the entry is written again (Zip64)
    m_pass_last_poll = 0;
    m_pass_last_percent = -1;
  }
  int percent = byte_percent(done_nbytes, total_nbytes);
  if (percent != m_pass_last_percent) {
    m_pass_last_percent = percent;
    if (int rc = m_run.status.minor(m_name.c_str(), percent)) return rc;
  }
  if (done_nbytes - m_pass_last_poll >= kPollEveryNbytes) {
    m_pass_last_poll = done_nbytes;
    if (int rc = m_run.status.major_poll()) return rc;
  }
  return 0;
}

void EntryProgress::warning(const char*) {
  zip_warning(m_run, m_run.messages.text(kZipMsgBinaryEol, 1));
}

void zip_log_item(ZipRun& run, int format_id, const std::string& name) {
  if (run.activity.enabled()) run.activity.line(run.messages.format(format_id, 2, name.c_str()));
}

void zip_warning(ZipRun& run, const std::string& text) {
  if (run.quiet) return;
  run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK, 0, 0, text.c_str());
}

// ---- selection hooks ----------------------------------------------------------------

RunSelectionHooks::RunSelectionHooks(ZipRun& run)
    : m_run(run),
      m_rename(reinterpret_cast<ZipRenameProc>((run.cmd.lZipSubOptions2 & ZIP_OPT2_RENAME_EX)
                                                   ? reinterpret_cast<void*>(run.cmd.lpRenameProcEX)
                                                   : reinterpret_cast<void*>(run.cmd.lpRenameProc)),
               run.cmd.lpRenameUserData, (run.cmd.lZipSubOptions2 & ZIP_OPT2_RENAME_EX) != 0) {}

void RunSelectionHooks::pump() {
  if (m_run.pump) platform::pump_events();
}

int RunSelectionHooks::display(int type, unsigned style, const std::string& text) {
  return m_run.display(type, style, 0, 0, text.c_str());
}

SelectionHooks RunSelectionHooks::hooks(ExistingEntries* existing) {
  SelectionHooks h;
  h.progress = this;
  h.messages = this;
  h.activity_log = m_run.activity.enabled() ? this : nullptr;
  const bool has_rename =
      (m_run.cmd.lZipSubOptions2 & ZIP_OPT2_RENAME_EX) ? m_run.cmd.lpRenameProcEX != nullptr : m_run.cmd.lpRenameProc != nullptr;
  h.rename = has_rename ? &m_rename : nullptr;
  h.existing = existing;
  return h;
}

}  // namespace ostrana
