/* tests/support/crontab_stand_ins.h - cron tables that tests may change.
 *
 * No test may touch the table of the account running it.  Three stand-ins:
 *
 *  - FakeCrontab: a CrontabService that keeps the tables in memory, records
 *    every read and write, and can be told to refuse either; it installs
 *    itself as the process's crontab service for its lifetime.
 *  - CrontabScript: a stand-in `crontab` program (a shell script) that keeps
 *    each account's table in a file of its folder and behaves as cron 3.0's
 *    does where the program relies on it ("no crontab for USER", a missing
 *    final line break refused, the old table kept on refusal).
 *  - ThrowawayUser: a real account made with useradd for the real `crontab`
 *    (root only; removed with its table and home afterwards), and a way to run
 *    a command exactly as cron runs it for that account.
 */
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/crontab.h"

namespace testenv {

class FakeCrontab final : public platform::CrontabService {
 public:
  FakeCrontab();
  ~FakeCrontab() override;
  FakeCrontab(const FakeCrontab&) = delete;
  FakeCrontab& operator=(const FakeCrontab&) = delete;

  platform::CrontabResult read_table(const std::string& user, std::string* table_ret) override;
  platform::CrontabResult write_table(const std::string& user, const std::string& table) override;

  std::map<std::string, std::string> tables;  ///< account ("" = ours) -> table
  std::vector<std::string> calls;             ///< "read USER" / "write USER", in order
  platform::CrontabStatus read_answer = platform::CrontabStatus::kOk;
  platform::CrontabStatus write_answer = platform::CrontabStatus::kOk;
};

class CrontabScript {
 public:
  /// Writes the script into @p folder.
  explicit CrontabScript(const std::string& folder);

  const std::string& program() const { return m_program; }
  /// The table of @p user ("" = ours), or "(none)" when there is none.
  std::string table(const std::string& user = "") const;
  void set_table(const std::string& table, const std::string& user = "");
  /// From now on installing a table fails with @p message (empty: accept again).
  void refuse_writes(const std::string& message);
  /// The calls so far, one "ACCOUNT ARGS" line each.
  std::string calls() const;

 private:
  std::string m_folder;
  std::string m_program;
};

class ThrowawayUser {
 public:
  /// Makes a fresh account with a home in /tmp; available() tells whether it worked
  /// (not root, or no useradd: the caller skips).
  ThrowawayUser();
  ~ThrowawayUser();
  ThrowawayUser(const ThrowawayUser&) = delete;
  ThrowawayUser& operator=(const ThrowawayUser&) = delete;

  bool available() const { return !m_name.empty(); }
  const std::string& name() const { return m_name; }
  const std::string& home() const { return m_home; }
  /// Gives @p path (a file or folder below the home) to the account.
  void hand_over(const std::string& path) const;

  /// Runs @p command as cron runs a job of this account: as the account, from
  /// its home, `env -i HOME LOGNAME PATH=/usr/bin:/bin SHELL=/bin/sh /bin/sh -c`.
  /// @return its exit status (-1 when it could not be started); output in @p output_ret.
  int run_as_cron(const std::string& command, std::string* output_ret = nullptr) const;

 private:
  std::string m_name;
  std::string m_home;
};

/// The command part of a cron schedule line (after its five time fields).
std::string cron_command_of(const std::string& schedule_line);

}  // namespace testenv
