/* platform/child_process.cpp - running a helper program directly, without a shell. */
#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

extern char** environ;

namespace platform {
namespace {

/// One pipe; either end may already be closed (-1).
struct Pipe {
  int read_end = -1;
  int write_end = -1;
  int open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
    read_end = fds[0];
    write_end = fds[1];
    return 0;
  }
  ~Pipe() {
    close_fd(&read_end);
    close_fd(&write_end);
  }
  static void close_fd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
};

/// Holds SIGPIPE back in this thread for its lifetime and takes away a SIGPIPE
/// that arrived meanwhile, unless one was already waiting before.
class SigpipeHold {
 public:
  SigpipeHold() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    m_was_pending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
  }
  ~SigpipeHold() {
    sigset_t pending;
    sigpending(&pending);
    if (!m_was_pending && sigismember(&pending, SIGPIPE) == 1) {
      const timespec no_wait = {0, 0};
      while (sigtimedwait(&m_pipe, nullptr, &no_wait) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }

 private:
  sigset_t m_pipe;
  sigset_t m_old;
  bool m_was_pending = false;
};

int spawn(const std::vector<std::string>& argv, Pipe& in, Pipe& out, Pipe& err, pid_t* pid_ret) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&actions, in.read_end, 0);
  posix_spawn_file_actions_adddup2(&actions, out.write_end, 1);
  posix_spawn_file_actions_adddup2(&actions, err.write_end, 2);
  // The child starts with no signal blocked and SIGPIPE at its default, whatever
  // this thread holds back.
  sigset_t none, pipe_signal;
  sigemptyset(&none);
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &pipe_signal);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const bool search = argv[0].find('/') == std::string::npos;
  const int rc = search ? ::posix_spawnp(pid_ret, args[0], &actions, &attr, args.data(), environ)
                        : ::posix_spawn(pid_ret, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc;
}

int reap(pid_t pid, int* exit_status_ret) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  *exit_status_ret = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return 0;
}

/// Reads what is there from @p fd into @p sink; closes @p fd at its end.
/// @return false when @p sink would grow beyond @p cap.
bool drain(int* fd, std::string* sink, size_t cap) {
  char buf[16384];
  const ssize_t n = ::read(*fd, buf, sizeof buf);
  if (n < 0) {
    if (errno == EINTR || errno == EAGAIN) return true;
    Pipe::close_fd(fd);
    return true;
  }
  if (n == 0) {
    Pipe::close_fd(fd);
    return true;
  }
  if (sink->size() + static_cast<size_t>(n) > cap) return false;
  sink->append(buf, static_cast<size_t>(n));
  return true;
}

}  // namespace

int run_program(const std::vector<std::string>& argv, const std::string& input, size_t max_output_nbytes,
                ProgramRun* run_ret) {
  if (argv.empty() || argv[0].empty() || run_ret == nullptr) return EINVAL;
  *run_ret = ProgramRun{};
  Pipe in, out, err;
  if (int e = in.open()) return e;
  if (int e = out.open()) return e;
  if (int e = err.open()) return e;

  SigpipeHold hold;
  pid_t pid = -1;
  if (int e = spawn(argv, in, out, err, &pid)) return e;
  Pipe::close_fd(&in.read_end);
  Pipe::close_fd(&out.write_end);
  Pipe::close_fd(&err.write_end);
  ::fcntl(in.write_end, F_SETFL, ::fcntl(in.write_end, F_GETFL) | O_NONBLOCK);

  size_t written = 0;
  if (input.empty()) Pipe::close_fd(&in.write_end);
  int failure = 0;
  while (failure == 0 && (in.write_end >= 0 || out.read_end >= 0 || err.read_end >= 0)) {
    pollfd fds[3];
    nfds_t count = 0;
    int* owners[3];
    auto watch = [&](int* fd, short events) {
      if (*fd < 0) return;
      fds[count] = pollfd{*fd, events, 0};
      owners[count++] = fd;
    };
    watch(&in.write_end, POLLOUT);
    watch(&out.read_end, POLLIN);
    watch(&err.read_end, POLLIN);
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    for (nfds_t i = 0; i < count && failure == 0; ++i) {
      if (fds[i].revents == 0) continue;
      int* fd = owners[i];
      if (fd == &in.write_end) {
        if (fds[i].revents & (POLLERR | POLLHUP)) {  // the program closed its input
          Pipe::close_fd(fd);
          continue;
        }
        const ssize_t n = ::write(*fd, input.data() + written, input.size() - written);
        if (n < 0 && errno != EINTR && errno != EAGAIN) Pipe::close_fd(fd);  // EPIPE: it reads no more
        if (n > 0) written += static_cast<size_t>(n);
        if (written == input.size()) Pipe::close_fd(fd);
      } else if (!drain(fd, fd == &out.read_end ? &run_ret->output : &run_ret->errors, max_output_nbytes)) {
        failure = E2BIG;
      }
    }
  }
  if (failure != 0) ::kill(pid, SIGKILL);  // our own child, by its id
  int exit_status = -1;
  const int reaped = reap(pid, &exit_status);
  if (failure != 0) return failure;
  if (reaped != 0) return reaped;
  run_ret->exit_status = exit_status;
  return 0;
}

}  // namespace platform
