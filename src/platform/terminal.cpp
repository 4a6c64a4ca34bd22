/* platform/terminal.cpp - terminal questions over isatty(3) and TIOCGWINSZ. */
#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {
namespace {

int descriptor(StandardStream stream) {
  switch (stream) {
    case StandardStream::kInput: return STDIN_FILENO;
    case StandardStream::kOutput: return STDOUT_FILENO;
    case StandardStream::kError: break;
  }
  return STDERR_FILENO;
}

}  // namespace

bool is_terminal(StandardStream stream) { return ::isatty(descriptor(stream)) == 1; }

int terminal_columns(StandardStream stream) {
  struct winsize ws;
  if (::ioctl(descriptor(stream), TIOCGWINSZ, &ws) != 0) return 0;
  return ws.ws_col;
}

}  // namespace platform
