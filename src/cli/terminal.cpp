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
