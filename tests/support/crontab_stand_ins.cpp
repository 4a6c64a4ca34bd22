/* tests/support/crontab_stand_ins.cpp - cron tables that tests may change. */
#include "crontab_stand_ins.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "peer_run.h"
#include "platform/child_process.h"

namespace fs = std::filesystem;

namespace testenv {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spill(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Accounts are files of tables/; "-" stands for the caller's own.
constexpr char kScript[] = R"SH(#!/bin/sh
# Stand-in crontab for tests: one file per account in tables/.
dir=$(dirname "$0")
user=-
if [ "$1" = -u ]; then user=$2; shift 2; fi
echo "$user $*" >> "$dir/calls"
case "$1" in
  -l)
    [ -f "$dir/tables/$user" ] || { echo "no crontab for $user" >&2; exit 1; }
    cat "$dir/tables/$user" ;;
  -)
    cat > "$dir/incoming"
    if [ -s "$dir/refuse" ]; then cat "$dir/refuse" >&2; exit 1; fi
    if [ -s "$dir/incoming" ] && [ "$(tail -c 1 "$dir/incoming" | od -An -c | tr -d ' ')" != '\n' ]; then
      echo "new crontab file is missing newline before EOF, can't install." >&2; exit 1
    fi
    mv "$dir/incoming" "$dir/tables/$user" ;;
  *) echo "usage: crontab [-u user] -l | -" >&2; exit 1 ;;
esac
)SH";

std::string account_file(const std::string& user) { return user.empty() ? "-" : user; }

}  // namespace

// ---- FakeCrontab ------------------------------------------------------------------

FakeCrontab::FakeCrontab() { platform::set_crontab_service(this); }
FakeCrontab::~FakeCrontab() { platform::set_crontab_service(nullptr); }

platform::CrontabResult FakeCrontab::read_table(const std::string& user, std::string* table_ret) {
  calls.push_back("read " + user);
  if (read_answer != platform::CrontabStatus::kOk) return {read_answer, "refused to read (test)"};
  *table_ret = tables.count(user) ? tables[user] : std::string();
  return {};
}

platform::CrontabResult FakeCrontab::write_table(const std::string& user, const std::string& table) {
  calls.push_back("write " + user);
  if (write_answer != platform::CrontabStatus::kOk) return {write_answer, "refused to install (test)"};
  tables[user] = table;
  return {};
}

// ---- CrontabScript ----------------------------------------------------------------

CrontabScript::CrontabScript(const std::string& folder) : m_folder(folder), m_program(folder + "/crontab") {
  fs::create_directories(folder + "/tables");
  spill(m_program, kScript);
  fs::permissions(m_program, fs::perms::owner_all);
}

std::string CrontabScript::table(const std::string& user) const {
  const std::string path = m_folder + "/tables/" + account_file(user);
  return fs::exists(path) ? slurp(path) : "(none)";
}

void CrontabScript::set_table(const std::string& table, const std::string& user) {
  spill(m_folder + "/tables/" + account_file(user), table);
}

void CrontabScript::refuse_writes(const std::string& message) { spill(m_folder + "/refuse", message); }

std::string CrontabScript::calls() const { return slurp(m_folder + "/calls"); }

// ---- ThrowawayUser ----------------------------------------------------------------

ThrowawayUser::ThrowawayUser() {
  if (::getuid() != 0 || run_command("command -v useradd >/dev/null && command -v setpriv >/dev/null") != 0) return;
  static std::atomic<int> counter{0};
  const std::string name = "pvt" + std::to_string(::getpid() % 100000) + "x" + std::to_string(++counter);
  std::string home = "/tmp/" + name + "-home-XXXXXX";
  if (::mkdtemp(home.data()) == nullptr) return;
  // useradd waits for nobody: another session may hold the password file's lock for a moment.
  int rc = -1;
  for (int attempt = 0; attempt < 20 && rc != 0; ++attempt) {
    rc = run_command("useradd -M -s /bin/sh -d " + shell_quote(home) + " " + name + " 2>/dev/null");
    if (rc != 0 && rc != 1 && rc != 10) break;  // 1: cannot update the password file; 10: group file
  }
  if (rc != 0) {
    fs::remove_all(home);
    return;
  }
  m_name = name;
  m_home = home;
  hand_over(home);
}

ThrowawayUser::~ThrowawayUser() {
  if (m_name.empty()) return;
  run_command("crontab -u " + m_name + " -r 2>/dev/null");
  for (int attempt = 0; attempt < 20; ++attempt)
    if (run_command("userdel " + m_name + " 2>/dev/null") == 0) break;
  std::error_code ec;
  fs::remove_all(m_home, ec);
}

void ThrowawayUser::hand_over(const std::string& path) const {
  run_command("chown -R " + m_name + ": " + shell_quote(path));
}

int ThrowawayUser::run_as_cron(const std::string& command, std::string* output_ret) const {
  const struct passwd* pw = ::getpwnam(m_name.c_str());
  if (pw == nullptr) return -1;
  const std::vector<std::string> argv = {
      "setpriv", "--reuid=" + std::to_string(pw->pw_uid), "--regid=" + std::to_string(pw->pw_gid), "--init-groups",
      "env", "-i", "-C", m_home, "HOME=" + m_home, "LOGNAME=" + m_name, "PATH=/usr/bin:/bin", "SHELL=/bin/sh",
      "/bin/sh", "-c", command};
  platform::ProgramRun run;
  if (platform::run_program(argv, "", 1 << 20, &run) != 0) return -1;
  if (output_ret != nullptr) *output_ret = run.output + run.errors;
  return run.exit_status;
}

std::string cron_command_of(const std::string& line) {
  size_t at = 0;
  for (int field = 0; field < 5; ++field) {
    at = line.find_first_not_of(" \t", at);
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return "";
  }
  at = line.find_first_not_of(" \t", at);
  return at == std::string::npos ? "" : line.substr(at);
}

}  // namespace testenv
