/* cli/unzip_session.cpp - calling the unzip entry for one `ostrana` command. */
#include "cli/unzip_session.h"

#include <cstdio>
#include <cstring>

namespace cli {
namespace {

constexpr char kErrorPrefix[] = "Ostrana Secure UnZip Error: ";

}  // namespace

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

int UnzipSession::message(int type, uint32_t style, int, int, char* text, char*, void* user) {
  auto* self = static_cast<UnzipSession*>(user);
  if (type == OSTRANA_DISPLAY_TEXT_OFFER) return -1;
  if (type == OSTRANA_DISPLAY_ERROR) {
    std::string report = text;
    if (report.compare(0, sizeof kErrorPrefix - 1, kErrorPrefix) == 0) report.erase(0, sizeof kErrorPrefix - 1);
    while (!report.empty() && (report.back() == '\n' || report.back() == ' ')) report.pop_back();
    self->m_report = report;
    return OSTRANA_ID_OK;
  }
  // Nothing is asked on the command line yet: the safe answer of the buttons.
  switch (style & OSTRANA_MB_BUTTONS_MASK) {
    case OSTRANA_MB_OK: return OSTRANA_ID_OK;
    case OSTRANA_MB_YESNO: return OSTRANA_ID_NO;
    case OSTRANA_MB_ABORTRETRYIGNORE: return OSTRANA_ID_ABORT;
    default: return OSTRANA_ID_CANCEL;
  }
}

}  // namespace cli
