/* platform/crontab.cpp - a user's cron table, read and installed whole. */
#include "platform/crontab.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/child_process.h"

namespace platform {
namespace {

std::vector<std::string> crontab_argv(const std::string& program, const std::string& user, const char* action) {
  std::vector<std::string> argv = {program};
  if (!user.empty()) {
    argv.push_back("-u");
    argv.push_back(user);
  }
  argv.push_back(action);
  return argv;
}

/// crontab's message without its trailing line break, or the exit status when it said nothing.
std::string message_of(const ProgramRun& run) {
  std::string text = run.errors.empty() ? run.output : run.errors;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) text = "crontab exited with status " + std::to_string(run.exit_status);
  return text;
}

CrontabResult failure_of_start(int error, const std::string& program) {
  if (error == ENOENT || error == EACCES || error == ENOEXEC)
    return {CrontabStatus::kNoProgram, program + ": " + std::strerror(error)};
  return {CrontabStatus::kFailed, program + ": " + std::strerror(error)};
}

/// "no crontab for USER": the account has no table yet.
bool says_no_table(const ProgramRun& run) {
  return run.exit_status == 1 && run.output.empty() && run.errors.rfind("no crontab for ", 0) == 0;
}

CrontabService* g_installed = nullptr;

}  // namespace

CrontabResult CrontabProgram::read_table(const std::string& user, std::string* table_ret) {
  table_ret->clear();
  ProgramRun run;
  if (int e = run_program(crontab_argv(m_program, user, "-l"), "", kMaxTableBytes, &run))
    return failure_of_start(e, m_program);
  if (run.exit_status == 0) {
    *table_ret = std::move(run.output);
    return {};
  }
  if (says_no_table(run)) return {};
  return {CrontabStatus::kRefused, message_of(run)};
}

CrontabResult CrontabProgram::write_table(const std::string& user, const std::string& table) {
  ProgramRun run;
  if (int e = run_program(crontab_argv(m_program, user, "-"), table, 64 * 1024, &run))
    return failure_of_start(e, m_program);
  if (run.exit_status == 0) return {};
  return {CrontabStatus::kRefused, message_of(run)};
}

CrontabService& crontab_service() {
  static CrontabProgram real;
  return g_installed != nullptr ? *g_installed : real;
}

void set_crontab_service(CrontabService* service) { g_installed = service; }

std::string login_name() {
  std::vector<char> buf(16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_name != nullptr)
    return found->pw_name;
  return "";
}

bool running_as_superuser() { return ::getuid() == 0; }

}  // namespace platform
