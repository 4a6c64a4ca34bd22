/* platform/fault_injection.cpp - make the N-th file operation fail, for tests. */
#include "platform/fault_injection.h"

#include <atomic>

namespace platform::faults {
namespace {

constexpr int kKinds = static_cast<int>(Op::kCount);
std::atomic<bool> g_armed{false};
std::atomic<long> g_counts[kKinds];
std::atomic<int> g_op{0};
std::atomic<long> g_nth{0};
std::atomic<int> g_err{0};
std::atomic<bool> g_fired{false};

}  // namespace

void arm(Op op, long nth, int err) {
  reset_counts();
  g_op = static_cast<int>(op);
  g_nth = nth;
  g_err = err;
  g_fired = false;
  g_armed = true;
}

void disarm() { g_armed = false; }

long calls(Op op) { return g_counts[static_cast<int>(op)].load(); }

void reset_counts() {
  for (auto& c : g_counts) c = 0;
}

bool fired() { return g_fired; }

int check(Op op) {
  if (!g_armed.load(std::memory_order_relaxed)) return 0;
  long any = ++g_counts[0];
  long mine = ++g_counts[static_cast<int>(op)];
  const int target = g_op.load();
  const long count = target == 0 ? any : (target == static_cast<int>(op) ? mine : -1);
  if (count == g_nth.load() && !g_fired.exchange(true)) return g_err.load();
  return 0;
}

}  // namespace platform::faults
