/* cli/terminal.cpp - what `ostrana` knows of the terminal it runs in. */
#include "cli/terminal.h"

#include <cstdio>

#include "platform/local_time.h"
#include "platform/terminal.h"

namespace cli {

bool stdin_is_terminal() { return platform::is_terminal(platform::StandardStream::kInput); }
bool stdout_is_terminal() { return platform::is_terminal(platform::StandardStream::kOutput); }

int terminal_width() {
  const int columns = platform::terminal_columns(platform::StandardStream::kOutput);
  return columns >= 20 ? columns : 80;
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out;
}

bool read_answer_line(std::string* line_ret) {
  line_ret->clear();
  int c;
  bool any = false;
  while ((c = std::getchar()) != EOF) {
    any = true;
    if (c == '\n') return true;
    *line_ret += static_cast<char>(c);
  }
  return any;
}

std::string absolute_path(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  const std::string cwd = platform::current_folder();
  if (cwd.empty()) return path;
  if (path.empty() || path == ".") return cwd;
  return cwd == "/" ? "/" + path : cwd + "/" + path;
}

}  // namespace cli
