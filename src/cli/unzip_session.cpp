/* cli/unzip_session.cpp - calling the unzip entry for one `ostrana` command. */
#include "cli/unzip_session.h"

#include <cstdio>
#include <cstring>

#include "cli/terminal.h"

namespace cli {
namespace {

constexpr char kErrorPrefix[] = "Ostrana Secure UnZip Error: ";
constexpr int kSplitPartQuestion = 15;

}  // namespace

std::string one_line(const char* text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return printable(line);
}

std::string filespec_of(const std::vector<std::string>& patterns) {
  std::string filespec;
  for (const std::string& p : patterns) {
    if (!filespec.empty()) filespec += ' ';
    if (p.find(' ') != std::string::npos) filespec += '"' + p + '"';
    else filespec += p;
  }
  return filespec;
}

UnzipSession::UnzipSession(std::string archive) : m_archive(std::move(archive)) {}

UNZIPCMDSTRUCT UnzipSession::record(int function) {
  UNZIPCMDSTRUCT cmd;
  std::memset(&cmd, 0, sizeof cmd);
  cmd.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  cmd.Function = function;
  cmd.lpszZIPFile = m_archive.c_str();
  cmd.index = -1;
  cmd.lpMessageDisplay = &UnzipSession::message;
  cmd.lpMessageDisplayData = this;
  cmd.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
  return cmd;
}

int UnzipSession::run(UNZIPCMDSTRUCT* cmd) {
  m_report.clear();
  return OstranaUnzip(cmd);
}

void UnzipSession::print_error(int code) const {
  std::string reason = m_report.empty() ? OstranaUnzipResultText(code) : m_report;
  std::fprintf(stderr, "ostrana: %s: %s\n", m_archive.c_str(), reason.c_str());
}

int UnzipSession::message(int type, uint32_t style, int code, int extra, char* text, char*, void* user) {
  auto* self = static_cast<UnzipSession*>(user);
  switch (type) {
    case OSTRANA_DISPLAY_TEXT_OFFER:
      return -1;
    case kSplitPartQuestion:
      return 0;  // the engine's own lookup of NAME.zip.z01, NAME.z01, ...
    case OSTRANA_DISPLAY_ERROR: {
      std::string report = text;
      if (report.compare(0, sizeof kErrorPrefix - 1, kErrorPrefix) == 0) report.erase(0, sizeof kErrorPrefix - 1);
      report = one_line(report.c_str());
      // An item skipped with a reason: said now, the run goes on.
      if (code == OU_USER_SKIPPED && report.find('(') != std::string::npos) {
        self->before_output();
        std::fprintf(stderr, "ostrana: %s: %s\n", self->m_archive.c_str(), report.c_str());
        return OSTRANA_ID_OK;
      }
      self->m_report = report;
      return OSTRANA_ID_OK;
    }
    case OSTRANA_DISPLAY_WARNING:
      self->before_output();
      std::fprintf(stderr, "ostrana: %s: warning: %s\n", self->m_archive.c_str(), one_line(text).c_str());
      return OSTRANA_ID_OK;
    default:
      return self->ask(type, style, code, extra, text);
  }
}

int UnzipSession::ask(int, uint32_t style, int, int, char*) {
  // The safe answer of the buttons.
  switch (style & OSTRANA_MB_BUTTONS_MASK) {
    case OSTRANA_MB_OK: return OSTRANA_ID_OK;
    case OSTRANA_MB_YESNO: return OSTRANA_ID_NO;
    case OSTRANA_MB_ABORTRETRYIGNORE: return OSTRANA_ID_ABORT;
    default: return OSTRANA_ID_CANCEL;
  }
}

}  // namespace cli
