/* platform/command_output.cpp - run a small program and read what it prints. */
#include "platform/command_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

extern char** environ;

namespace platform {
namespace {

int64_t now_ms() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

/// Ends our child @p pid and collects it, so no zombie is left behind.
void kill_and_reap(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

CommandOutput run_for_output(const std::vector<std::string>& argv, int timeout_ms, size_t max_nbytes) {
  CommandOutput out;
  if (argv.empty() || argv[0].empty()) return out;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return out;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    return out;
  }
  out.ran = true;

  const int64_t deadline = now_ms() + timeout_ms;
  char buf[4096];
  for (;;) {
    const int64_t left = deadline - now_ms();
    if (left <= 0) {
      out.timed_out = true;
      break;
    }
    struct pollfd p = {pipe_fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      out.timed_out = ready == 0;
      break;
    }
    const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of output (or an error): the command is done writing
    const size_t room = max_nbytes - std::min(max_nbytes, out.text.size());
    out.text.append(buf, std::min(room, static_cast<size_t>(n)));
  }
  ::close(pipe_fds[0]);
  // A command that closed its output but lingers is not waited for either.
  if (!out.timed_out) {
    int status = 0;
    pid_t done = 0;
    for (int64_t left = deadline - now_ms(); left > 0; left = deadline - now_ms()) {
      done = ::waitpid(pid, &status, WNOHANG);
      if (done < 0 && errno == EINTR) continue;
      if (done != 0) break;
      struct timespec pause = {0, 5 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
    if (done == pid) {
      out.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return out;
    }
    if (done < 0) return out;  // reaped elsewhere: the id may no longer be ours to signal
    out.timed_out = true;
  }
  kill_and_reap(pid);
  return out;
}

}  // namespace platform
