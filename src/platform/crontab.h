/* platform/crontab.h - a user's cron table, read and installed whole.
 *
 * Scheduled tasks live in the user's cron table, which only the `crontab`
 * program may change (the spool folder belongs to it).  This service reads a
 * table with `crontab -l` and installs a new one with `crontab -` fed on its
 * standard input; for another account, `-u USER` goes before either, which
 * crontab allows only to the superuser.  The program is started directly
 * (platform/child_process.h), never through a shell.
 *
 * `crontab -l` for an account without a table exits 1 saying "no crontab for
 * USER"; that reads as an empty table.  Installing checks the whole table
 * first: a malformed line (or a command over cron's length limit) makes
 * crontab exit non-zero and keep the old table, which comes back as kRefused
 * with crontab's own words in the detail.
 *
 * CrontabService is abstract so it can be faked for tests (tests never touch
 * the table of the account running them).  The real one is CrontabProgram;
 * its program can be replaced by a stand-in script.
 */
#pragma once

#include <string>

namespace platform {

/// How a table operation went.
enum class CrontabStatus {
  kOk,         ///< done
  kNoProgram,  ///< the crontab program is not installed (or cannot be started)
  kRefused,    ///< crontab ran and refused (malformed table, account not allowed, ...)
  kFailed,     ///< the system failed us (pipes, processes, a table too large to read)
};

struct CrontabResult {
  CrontabStatus status = CrontabStatus::kOk;
  std::string detail;  ///< crontab's message, or the system's reason; empty on success
  bool ok() const { return status == CrontabStatus::kOk; }
};

/// Abstract so it can be faked for tests.
class CrontabService {
 public:
  virtual ~CrontabService() = default;

  /// Reads the cron table of @p user ("" for the account running us) into
  /// @p table_ret, byte for byte; an account without a table reads as "".
  virtual CrontabResult read_table(const std::string& user, std::string* table_ret) = 0;

  /// Installs @p table as the whole cron table of @p user ("" as above).
  virtual CrontabResult write_table(const std::string& user, const std::string& table) = 0;
};

/// The real service: runs @p program ("crontab", searched in PATH, unless a
/// path is given).
class CrontabProgram final : public CrontabService {
 public:
  /// Largest table read back; a bigger one is refused as kFailed.
  static constexpr size_t kMaxTableBytes = 4u << 20;

  explicit CrontabProgram(std::string program = "crontab") : m_program(std::move(program)) {}

  CrontabResult read_table(const std::string& user, std::string* table_ret) override;
  CrontabResult write_table(const std::string& user, const std::string& table) override;

 private:
  std::string m_program;
};

/// The service in use: the installed one, else a CrontabProgram for "crontab".
CrontabService& crontab_service();

/// Installs @p service for the whole process (not owned; it must outlive its
/// use); nullptr restores the real one.  Tests install a fake.
void set_crontab_service(CrontabService* service);

/// The login name of the account running us ("" when it has none).
std::string login_name();

/// True when we run as the superuser, who may read and install any account's table.
bool running_as_superuser();

}  // namespace platform
