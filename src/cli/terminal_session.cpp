/* cli/terminal_session.cpp - an extraction or a test on the command line. */
#include "cli/terminal_session.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli/terminal.h"

namespace cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kOverwriteQuestion = 8;
constexpr int kPasswordQuestion = 9;

/// "Item 3 of 10" -> "3/10", and *@p percent_ret becomes the whole run's
/// percent (items done plus this item's share); other texts stay as they are
/// and leave *@p percent_ret, the item's percent, alone.
std::string short_count(const std::string& major, int* percent_ret) {
  unsigned k = 0, n = 0;
  if (std::sscanf(major.c_str(), "Item %u of %u", &k, &n) != 2 || k == 0 || n == 0 || k > n) return major;
  const int item = *percent_ret < 0 ? 0 : *percent_ret > 100 ? 100 : *percent_ret;
  *percent_ret = static_cast<int>(((static_cast<uint64_t>(k) - 1) * 100 + static_cast<uint64_t>(item)) / n);
  return std::to_string(k) + "/" + std::to_string(n);
}

}  // namespace

TerminalSession::TerminalSession(std::string archive, const Settings& settings)
    : UnzipSession(std::move(archive)), m_settings(settings) {
  if (m_settings.quiet) m_settings.progress = m_settings.interactive = false;
  if (m_settings.interactive) OstranaSetSaveDialogHook(&TerminalSession::save_dialog, this);
}

TerminalSession::~TerminalSession() {
  if (m_settings.interactive) OstranaSetSaveDialogHook(nullptr, nullptr);
}

UNZIPCMDSTRUCT TerminalSession::record(int function) {
  UNZIPCMDSTRUCT cmd = UnzipSession::record(function);
  cmd.quietFlag = m_settings.quiet ? 1 : 0;
  if (m_settings.progress) {
    cmd.lpMajorStatus = &TerminalSession::major_status;
    cmd.lpMajorUserData = this;
    cmd.lpMinorStatus = &TerminalSession::minor_status;
    cmd.lpMinorUserData = this;
  }
  return cmd;
}

void TerminalSession::finish() { before_output(); }

void TerminalSession::before_output() {
  if (!m_line_shown) return;
  std::fputs("\r\033[K", stdout);
  std::fflush(stdout);
  m_line_shown = false;
}

void TerminalSession::draw(bool force) {
  auto now = std::chrono::steady_clock::now();
  if (!force && m_line_shown && now - m_last_draw < kRedrawInterval) return;
  m_last_draw = now;
  char head[64];
  int percent = m_percent;
  const std::string count = short_count(m_major, &percent);
  std::snprintf(head, sizeof head, "[%s] %3d%% ", count.c_str(), percent);
  std::string line = head + one_line(m_minor.c_str());
  const size_t width = static_cast<size_t>(terminal_width()) - 1;
  if (line.size() > width) line = line.substr(0, width - 3) + "...";
  std::fprintf(stdout, "\r\033[K%s", line.c_str());
  std::fflush(stdout);
  m_line_shown = true;
}

int TerminalSession::major_status(const char* text, int, void* user) {
  auto* self = static_cast<TerminalSession*>(user);
  self->m_major = text ? text : "";
  return 0;
}

int TerminalSession::minor_status(const char* text, int percent, void* user) {
  auto* self = static_cast<TerminalSession*>(user);
  self->m_minor = text ? text : "";
  self->m_percent = percent;
  self->draw(false);
  return 0;
}

bool TerminalSession::prompt(const std::string& question, std::string* answer_ret) {
  before_output();
  std::fprintf(stderr, "%s", question.c_str());
  std::fflush(stderr);
  return read_answer_line(answer_ret);
}

int TerminalSession::overwrite_answer(uint32_t style, const char* text) {
  if (m_settings.never_overwrite || m_overwrite_none) return OSTRANA_ID_NO;
  if (!m_settings.interactive) {
    // Nobody to ask: the file stays, and the user learns why.
    std::string line = one_line(text);
    size_t question = line.find(" exists");
    before_output();
    std::fprintf(stderr, "ostrana: %s: kept %s (it exists; -o overwrites)\n", archive().c_str(),
                 line.substr(0, question).c_str());
    return OSTRANA_ID_NO;
  }
  const bool five = (style & OSTRANA_MB_BUTTONS_MASK) == OSTRANA_MB_OVERWRITE;
  const std::string question =
      one_line(text) + (five ? " [y]es, [n]o, [A]ll, [N]one, [r]ename, [c]ancel: " : " [y]es, [n]o, [c]ancel: ");
  for (;;) {
    std::string answer;
    if (!prompt(question, &answer)) return OSTRANA_ID_CANCEL;
    if (answer == "y" || answer == "Y" || answer == "yes") return OSTRANA_ID_YES;
    if (answer == "n" || answer == "no") return OSTRANA_ID_NO;
    if (answer == "c" || answer == "C") return OSTRANA_ID_CANCEL;
    if (five && (answer == "A" || answer == "all")) return OSTRANA_ID_YESTOALL;
    if (five && (answer == "N" || answer == "none")) {
      m_overwrite_none = true;
      return OSTRANA_ID_NO;
    }
    if (five && (answer == "r" || answer == "R")) return OSTRANA_ID_RENAME;
  }
}

int TerminalSession::ask(int type, uint32_t style, int code, int extra, char* text) {
  if (type == kOverwriteQuestion) return overwrite_answer(style, text);
  if (type == kPasswordQuestion) {
    // Without a terminal nobody can choose to skip: the run ends as a wrong
    // password (44), naming the item.
    if (!m_settings.interactive) return OSTRANA_ID_CANCEL;
    for (;;) {
      std::string answer;
      if (!prompt(one_line(text) + " [s]kip, [c]ancel: ", &answer)) return OSTRANA_ID_CANCEL;
      if (answer == "s" || answer == "y" || answer.empty()) return OSTRANA_ID_OK;
      if (answer == "c" || answer == "n") return OSTRANA_ID_CANCEL;
    }
  }
  if ((style & OSTRANA_MB_BUTTONS_MASK) == OSTRANA_MB_OKCANCEL) {
    // A disk to insert, a file that could not be opened: only a user can help.
    if (!m_settings.interactive) return OSTRANA_ID_CANCEL;
    std::string answer;
    if (!prompt(one_line(text) + " [Enter] ready, [c]ancel: ", &answer)) return OSTRANA_ID_CANCEL;
    return answer.empty() ? OSTRANA_ID_OK : OSTRANA_ID_CANCEL;
  }
  if ((style & OSTRANA_MB_BUTTONS_MASK) == OSTRANA_MB_OK) {
    before_output();
    std::fprintf(stderr, "ostrana: %s: %s\n", archive().c_str(), one_line(text).c_str());
    return OSTRANA_ID_OK;
  }
  return UnzipSession::ask(type, style, code, extra, text);
}

int TerminalSession::save_dialog(const char*, const char*, const char* start_path, char* path_ret, size_t path_avail,
                                 void* context) {
  auto* self = static_cast<TerminalSession*>(context);
  std::string answer;
  if (!self->prompt(std::string("New name for ") + start_path + ": ", &answer) || answer.empty()) return 0;
  // A bare name stays in the folder of the file it replaces.
  if (answer.find('/') == std::string::npos) {
    std::string start = start_path;
    size_t slash = start.rfind('/');
    if (slash != std::string::npos) answer = start.substr(0, slash + 1) + answer;
  } else {
    answer = absolute_path(answer);
  }
  if (answer.size() + 1 > path_avail) return 0;
  std::memcpy(path_ret, answer.c_str(), answer.size() + 1);
  return 1;
}

}  // namespace cli
