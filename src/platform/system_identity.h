/* platform/system_identity.h - who and what this computer is.
 *
 * The system information report's computer and operating-system sections:
 * the logged-on user's name (getpwuid_r of the real user id), the computer's
 * name (gethostname), the number of processors online, the distribution's
 * name from os-release and the kernel's release from uname.  Each answer is
 * "unknown" when the system will not tell; nothing here fails otherwise.
 */
#pragma once

#include <optional>
#include <string>

namespace platform {

/// Abstract so that a test can stand a computer of its own in for this one.
class SystemIdentity {
 public:
  virtual ~SystemIdentity() = default;
  /// The logged-on user's login name; nullopt when it cannot be read.
  virtual std::optional<std::string> user_name() const = 0;
  /// The computer's host name; nullopt when it cannot be read.
  virtual std::optional<std::string> computer_name() const = 0;
  /// Processors online (at least 1).
  virtual int processor_count() const = 0;
  /// The distribution's display name (os-release PRETTY_NAME, else NAME, else
  /// "Linux" as os-release(5) defaults it); "" when there is no os-release.
  virtual std::string os_pretty_name() const = 0;
  /// The running kernel's release ("6.1.0-18-amd64"); "" when unknown.
  virtual std::string kernel_release() const = 0;
};

/// This computer.
const SystemIdentity& this_system();

/// The value of @p key in os-release text @p text, with its shell quoting
/// ('...' or "..." with \-escapes) removed; nullopt when the key is absent.
std::optional<std::string> os_release_value(const std::string& text, const std::string& key);

}  // namespace platform
