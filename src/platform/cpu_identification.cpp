/* platform/cpu_identification.cpp - CPUID and the time-stamp counter of this processor.
 *
 * The clock is measured the way it always was: the counter is read around a
 * busy wait of 50 ms timed by the monotonic clock (the high-resolution
 * counter of this platform), and around a second pass that only reads the
 * timer once, so that the cost of timing itself is taken off.  The wait's
 * real length is measured rather than assumed: a wait stretched by the
 * scheduler on a loaded machine would otherwise read as a faster processor.
 */
#include "platform/cpu_identification.h"

#include <ctime>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define OSTRANA_HAVE_CPUID 1
#endif

namespace platform {
namespace {

constexpr int64_t kBusyWaitUs = 50 * 1000;

int64_t monotonic_us() {
  struct timespec ts;
  if (::clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return -1;
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

#ifdef OSTRANA_HAVE_CPUID

class ThisProcessor final : public CpuidSource {
 public:
  bool available() const override { return __get_cpuid_max(0, nullptr) != 0; }

  CpuidRegisters leaf(uint32_t leaf) const override {
    CpuidRegisters r;
    __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
    return r;
  }

  int64_t measure_clock_mhz() const override {
    const int64_t start = monotonic_us();
    if (start < 0) return -1;
    const uint64_t busy_begin = __rdtsc();
    int64_t now = start;
    while (now >= 0 && now - start < kBusyWaitUs) now = monotonic_us();
    const uint64_t busy_end = __rdtsc();
    if (now < 0) return -1;

    // The same timer reads without the wait: what the loop's last round costs.
    const uint64_t overhead_begin = __rdtsc();
    const int64_t probe = monotonic_us();
    const uint64_t overhead_end = __rdtsc();
    if (probe < 0) return -1;
    return clock_mhz_from_ticks(busy_end - busy_begin, overhead_end - overhead_begin, now - start);
  }
};

#else

class ThisProcessor final : public CpuidSource {
 public:
  bool available() const override { return false; }
  CpuidRegisters leaf(uint32_t) const override { return {}; }
  int64_t measure_clock_mhz() const override { return -1; }
};

#endif

}  // namespace

const CpuidSource& this_processor() {
  static const ThisProcessor processor;
  return processor;
}

int64_t clock_mhz_from_ticks(uint64_t busy_ticks, uint64_t overhead_ticks, int64_t wait_us) {
  if (wait_us <= 0 || overhead_ticks >= busy_ticks) return -1;
  return static_cast<int64_t>((busy_ticks - overhead_ticks) / static_cast<uint64_t>(wait_us));
}

}  // namespace platform
