/* platform/qt/desktop_open.cpp - hand a file, folder or web address to the desktop (xdg-open). */
#include "platform/qt/desktop_open.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <vector>

extern char** environ;

namespace platform {
namespace {

DesktopRunner& installed_runner() {
  static DesktopRunner runner;
  return runner;
}

/// Status of a child that has ended, from waitpid's report.
int status_of(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  return kDesktopOpenCrashed;
}

/// Reaps @p pid whenever it ends, without anyone waiting for it.
void reap_later(pid_t pid) {
  std::thread([pid] {
    int ignored = 0;
    while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

int run_and_wait(const QString& program, const QStringList& arguments, int hand_over_ms) {
  std::vector<QByteArray> bytes;
  bytes.push_back(QFile::encodeName(program));
  for (const QString& argument : arguments) bytes.push_back(QFile::encodeName(argument));
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return kDesktopOpenNotStarted;

  // Poll the child while the event loop keeps the windows painted; clicks and
  // keys wait until it is done, so nobody starts a second one meanwhile.
  int result = 0;
  bool ended = false;
  const auto poll = [&]() -> bool {
    int wait_status = 0;
    const pid_t done = waitpid(pid, &wait_status, WNOHANG);
    if (done == pid) {
      result = status_of(wait_status);
      ended = true;
    } else if (done < 0 && errno != EINTR) {
      result = kDesktopOpenCrashed;  // the child is gone and its status with it
      ended = true;
    }
    return ended;
  };

  if (QCoreApplication::instance() == nullptr) {
    QElapsedTimer clock;
    clock.start();
    while (!poll() && clock.elapsed() < hand_over_ms) {
      struct timespec pause {0, 10 * 1000 * 1000};
      nanosleep(&pause, nullptr);
    }
  } else if (!poll()) {
    QEventLoop loop;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
      if (poll()) loop.quit();
    });
    QTimer::singleShot(hand_over_ms, &loop, &QEventLoop::quit);
    ticker.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!ended) {
    reap_later(pid);  // still running: it has taken the target over
    return 0;
  }
  return result;
}

int desktop_open(const QString& target) {
  const DesktopRunner& runner = installed_runner();
  const QStringList arguments{target};
  return runner ? runner(QStringLiteral("xdg-open"), arguments) : run_and_wait(QStringLiteral("xdg-open"), arguments);
}

void set_desktop_runner(DesktopRunner runner) { installed_runner() = std::move(runner); }

}  // namespace platform
