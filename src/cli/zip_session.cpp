/* cli/zip_session.cpp - calling the zip entry for one `ostrana` command. */
#include "cli/zip_session.h"

#include <cstdio>
#include <cstring>

#include "cli/terminal.h"
#include "platform/terminal.h"

namespace cli {
namespace {

size_t error_stream_width() {
  const int columns = platform::terminal_columns(platform::StandardStream::kError);
  return columns > 10 ? static_cast<size_t>(columns) : 80;
}

int stop_answer() { return platform::StopSignals::stop_requested() ? 1 : 0; }

/// @p s cut to @p width bytes, never inside a UTF-8 sequence.
std::string cut(const std::string& s, size_t width) {
  if (s.size() <= width) return s;
  size_t n = width;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

}  // namespace

ZipSession::ZipSession(std::string archive, bool quiet)
    : m_archive(std::move(archive)),
      m_quiet(quiet),
      m_progress(!quiet && platform::is_terminal(platform::StandardStream::kError)) {}

ZipSession::~ZipSession() { clear_line(); }

ZIPCMDSTRUCT ZipSession::record(int function) {
  ZIPCMDSTRUCT cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.structSize = ZIPCMDSTRUCT_SIZE_L600;
  cmd.Function = function;
  cmd.lpszZIPFile = m_archive.c_str();
  cmd.lpMessageDisplay = &ZipSession::message;
  cmd.lpMessageDisplayData = this;
  cmd.lpMajorStatus = &ZipSession::major;
  cmd.lpMajorUserData = this;
  cmd.lpMinorStatus = &ZipSession::minor;
  cmd.lpMinorUserData = this;
  cmd.wZipSubOptions = ZIP_OPT_MINOR_CANCELS | ZIP_OPT_NO_PUMP;
  cmd.quietFlag = 0;  // the report comes through the callback, which prints it once
  return cmd;
}

int ZipSession::run(ZIPCMDSTRUCT* cmd) {
  m_report.clear();
  int rc = OstranaZip(cmd);
  clear_line();
  return rc;
}

void ZipSession::print_error(int code) const {
  std::string reason = m_report.empty() ? OstranaZipResultText(code) : m_report;
  std::fprintf(stderr, "ostrana: %s: %s\n", m_archive.c_str(), reason.c_str());
}

void ZipSession::clear_line() {
  if (!m_drawn.empty()) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn.clear();
  }
}

void ZipSession::draw() {
  if (!m_progress) return;
  char head[64];
  std::snprintf(head, sizeof head, "[%3d%%] ", m_major_percent);
  std::string line = head + m_major;
  if (!m_minor.empty()) {
    char tail[16];
    std::snprintf(tail, sizeof tail, " %3d%%", m_minor_percent);
    line += ": " + m_minor + tail;
  }
  line = cut(printable(line), error_stream_width() - 1);
  if (line == m_drawn) return;
  m_drawn = line;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

int ZipSession::major(const char* text, int percent, void* user) {
  auto* self = static_cast<ZipSession*>(user);
  if (self->m_major != text) self->m_minor.clear();
  self->m_major = text;
  self->m_major_percent = percent;
  self->draw();
  return stop_answer();
}

int ZipSession::minor(const char* text, int percent, void* user) {
  auto* self = static_cast<ZipSession*>(user);
  self->m_minor = text;
  self->m_minor_percent = percent;
  self->draw();
  return stop_answer();
}

int ZipSession::message(int type, uint32_t style, int, int, char* text, char*, void* user) {
  auto* self = static_cast<ZipSession*>(user);
  if (type == OSTRANA_DISPLAY_TEXT_OFFER) return -1;
  const uint32_t buttons = style & OSTRANA_MB_BUTTONS_MASK;
  if (self->m_ask_disks && (type == 0 || (type == OSTRANA_DISPLAY_WARNING && buttons == OSTRANA_MB_RETRYCANCEL))) {
    self->clear_line();
    std::fprintf(stderr, "%s\n[Enter: %s, anything else: Cancel] ", text,
                 buttons == OSTRANA_MB_RETRYCANCEL ? "Retry" : "OK");
    std::fflush(stderr);
    char answer[64];
    const bool ready = std::fgets(answer, sizeof answer, stdin) != nullptr && answer[0] == '\n';
    if (!ready) return OSTRANA_ID_CANCEL;
    return buttons == OSTRANA_MB_RETRYCANCEL ? OSTRANA_ID_RETRY : OSTRANA_ID_OK;
  }
  if (type == 14) {
    if (!self->m_quiet) {
      self->clear_line();
      std::fprintf(stderr, "ostrana: written: %s\n", printable(text).c_str());
      self->draw();
    }
    return OSTRANA_ID_OK;
  }
  if (type == OSTRANA_DISPLAY_ERROR) {
    std::string report = text;
    while (!report.empty() && (report.back() == '\n' || report.back() == ' ')) report.pop_back();
    self->m_report = printable(report);
    return OSTRANA_ID_OK;
  }
  if (type == OSTRANA_DISPLAY_WARNING) {
    if (!self->m_quiet) {
      self->clear_line();
      std::fprintf(stderr, "ostrana: warning: %s\n", printable(text).c_str());
      self->draw();
    }
    return OSTRANA_ID_OK;
  }
  // Nothing is asked on the command line: the safe answer of the buttons
  // (a file in use is skipped).
  switch (style & OSTRANA_MB_BUTTONS_MASK) {
    case OSTRANA_MB_OK: return OSTRANA_ID_OK;
    case OSTRANA_MB_YESNO: return OSTRANA_ID_NO;
    case OSTRANA_MB_ABORTRETRYIGNORE: return OSTRANA_ID_IGNORE;
    default: return OSTRANA_ID_CANCEL;
  }
}

}  // namespace cli
