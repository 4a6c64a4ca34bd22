/* cli/terminal.cpp - what `ostrana` knows of the terminal it runs in. */
#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace cli {

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }
bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

int terminal_width() {
  struct winsize ws;
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 20) return ws.ws_col;
  return 80;
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
  char buf[PATH_MAX];
  if (::getcwd(buf, sizeof buf) == nullptr) return path;
  std::string cwd = buf;
  if (path.empty() || path == ".") return cwd;
  return cwd == "/" ? "/" + path : cwd + "/" + path;
}

}  // namespace cli
