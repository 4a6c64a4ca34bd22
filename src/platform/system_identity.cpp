/* platform/system_identity.cpp - user, host, processors and release of this computer. */
#include "platform/system_identity.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <sstream>
#include <vector>

#include "platform/file.h"

namespace platform {
namespace {

// os-release is a few hundred bytes; anything past this is not read.
constexpr size_t kOsReleaseLimit = 64 * 1024;

class ThisSystem final : public SystemIdentity {
 public:
  std::optional<std::string> user_name() const override {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? static_cast<size_t>(hint) : 16384);
    struct passwd pw;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) != 0 || found == nullptr ||
        found->pw_name == nullptr || found->pw_name[0] == '\0')
      return std::nullopt;
    return std::string(found->pw_name);
  }

  std::optional<std::string> computer_name() const override {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
    return std::string(name);
  }

  int processor_count() const override {
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
  }

  std::string os_pretty_name() const override {
    // os-release(5): /etc/os-release, with /usr/lib/os-release as the fallback.
    std::string text = read_file_start("/etc/os-release", kOsReleaseLimit);
    if (text.empty()) text = read_file_start("/usr/lib/os-release", kOsReleaseLimit);
    if (text.empty()) return {};
    for (const char* key : {"PRETTY_NAME", "NAME"}) {
      std::optional<std::string> value = os_release_value(text, key);
      if (value && !value->empty()) return *value;
    }
    return "Linux";
  }

  std::string kernel_release() const override {
    struct utsname u;
    if (::uname(&u) != 0) return {};
    return u.release;
  }
};

/// Removes the shell quoting of an os-release value.
std::string unquote(const std::string& raw) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (c == quote) {
      quote = 0;
    } else if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
      out += raw[++i];
    } else if (quote == 0 && (c == ' ' || c == '\t' || c == '#')) {
      break;  // an unquoted value ends at a blank; a comment may follow
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

const SystemIdentity& this_system() {
  static const ThisSystem system;
  return system;
}

std::optional<std::string> os_release_value(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  std::optional<std::string> value;
  while (std::getline(lines, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (line.compare(start, key.size(), key) != 0 || line.size() <= start + key.size() ||
        line[start + key.size()] != '=')
      continue;
    std::string raw = line.substr(start + key.size() + 1);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    value = unquote(raw);  // the last assignment wins, as in the shell
  }
  return value;
}

}  // namespace platform
