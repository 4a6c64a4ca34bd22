/* platform/stop_signals.cpp - stop requests by signal, over sigaction(2). */
#include "platform/stop_signals.h"

#include <signal.h>

#include <atomic>
#include <cstring>

namespace platform {
namespace {

// A closed terminal or a logout (SIGHUP) and Ctrl-\ (SIGQUIT) stop a run as
// cleanly as Ctrl-C and SIGTERM do.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCount = sizeof kStopSignals / sizeof kStopSignals[0];

std::atomic<int> g_signal{0};
struct sigaction g_previous[kCount];

void on_stop_signal(int number) {
  int none = 0;
  g_signal.compare_exchange_strong(none, number);
}

}  // namespace

StopSignals::StopSignals() {
  g_signal = 0;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < kCount; ++i) ::sigaction(kStopSignals[i], &sa, &g_previous[i]);
}

StopSignals::~StopSignals() {
  for (int i = 0; i < kCount; ++i) ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
}

bool StopSignals::stop_requested() { return g_signal.load() != 0; }

int StopSignals::stop_signal() { return g_signal.load(); }

}  // namespace platform
