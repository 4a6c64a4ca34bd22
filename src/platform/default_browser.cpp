/* platform/default_browser.cpp - the default web browser's version, asked without a window. */
#include "platform/default_browser.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/command_output.h"
#include "platform/file.h"

namespace platform {
namespace {

constexpr int kSettingsTimeoutMs = 3000;
constexpr int kVersionTimeoutMs = 5000;
constexpr size_t kEntryLimit = 256 * 1024;

// Browsers that print one version line for --version and exit, window or no
// display alike.  Others may open a window for an option they do not know.
constexpr const char* kQuietVersionBrowsers[] = {
    "firefox",         "firefox-esr",      "librewolf",          "waterfox",
    "seamonkey",       "chromium",         "chromium-browser",   "google-chrome",
    "google-chrome-stable", "google-chrome-beta", "brave-browser", "brave-browser-stable",
    "vivaldi",         "vivaldi-stable",   "microsoft-edge",     "microsoft-edge-stable",
    "opera",           "epiphany",         "epiphany-browser",   "falkon",
    "konqueror",
};

std::string trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

std::string base_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> data_folders() {
  std::vector<std::string> out;
  const char* home_data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (home_data != nullptr && home_data[0] == '/')
    out.push_back(home_data);
  else if (home != nullptr && home[0] == '/')
    out.push_back(std::string(home) + "/.local/share");
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share";
  std::istringstream parts(list);
  std::string dir;
  while (std::getline(parts, dir, ':'))
    if (!dir.empty() && dir[0] == '/') out.push_back(dir);
  return out;
}

/// The words of an Exec value, with double quotes and their escapes removed.
std::vector<std::string> exec_words(const std::string& value) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, in_word = false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted && c == '\\' && i + 1 < value.size()) {
      word += value[++i];
    } else if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

class ThisDesktop final : public BrowserSource {
 public:
  std::optional<BrowserVersion> default_browser_version() const override {
    const CommandOutput setting =
        run_for_output({"xdg-settings", "get", "default-web-browser"}, kSettingsTimeoutMs, 4096);
    const std::string id = trimmed(setting.text);
    if (setting.exit_status != 0 || id.empty() || id.find('/') != std::string::npos ||
        id.size() < 9 || id.compare(id.size() - 8, 8, ".desktop") != 0)
      return std::nullopt;
    for (const std::string& folder : data_folders()) {
      const std::string entry = read_file_start(folder + "/applications/" + id, kEntryLimit);
      if (entry.empty()) continue;
      const std::string program = desktop_entry_program(entry);
      if (program.empty() || !answers_version_without_window(program)) return std::nullopt;
      const CommandOutput answer = run_for_output({program, "--version"}, kVersionTimeoutMs, 4096);
      if (answer.exit_status != 0) return std::nullopt;
      return parse_browser_version(answer.text);
    }
    return std::nullopt;
  }
};

}  // namespace

const BrowserSource& this_desktop() {
  static const ThisDesktop desktop;
  return desktop;
}

std::optional<BrowserVersion> parse_browser_version(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == text.size()) return std::nullopt;
  long parts[3] = {0, 0, 0};
  for (int n = 0; n < 3; ++n) {
    long value = 0;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      if (value < 100000000) value = value * 10 + (text[i] - '0');  // absurd lengths saturate
      ++i;
      ++digits;
    }
    if (digits == 0) break;
    parts[n] = value;
    if (i + 1 >= text.size() || text[i] != '.' || !std::isdigit(static_cast<unsigned char>(text[i + 1]))) break;
    ++i;
  }
  return BrowserVersion{parts[0], parts[1], parts[2]};
}

std::string desktop_entry_program(const std::string& entry_text) {
  std::istringstream lines(entry_text);
  std::string line;
  bool in_main_group = false;
  while (std::getline(lines, line)) {
    line = trimmed(line);
    if (!line.empty() && line[0] == '[') {
      in_main_group = line == "[Desktop Entry]";
      continue;
    }
    if (!in_main_group || line.compare(0, 4, "Exec") != 0) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos || trimmed(line.substr(4, eq - 4)) != "") continue;
    std::vector<std::string> words = exec_words(line.substr(eq + 1));
    size_t w = 0;
    if (w < words.size() && base_name(words[w]) == "env") {
      ++w;
      while (w < words.size() && words[w].find('=') != std::string::npos) ++w;
    }
    return w < words.size() ? words[w] : std::string();
  }
  return {};
}

bool answers_version_without_window(const std::string& program) {
  const std::string name = base_name(program);
  for (const char* known : kQuietVersionBrowsers)
    if (name == known) return true;
  return false;
}

}  // namespace platform
