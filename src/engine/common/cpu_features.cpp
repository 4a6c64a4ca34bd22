/* engine/common/cpu_features.cpp - run-time detection of the accelerated code paths.
 *
 * __builtin_cpu_supports reads the CPUID results that the compiler runtime
 * gathered at start-up; the answers are cached in plain booleans so a check on
 * the hot path is one load.  On other architectures every query is false and
 * the portable code runs.
 */
#include "engine/common/cpu_features.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace ostrana {
namespace {

struct Detected {
  bool clmul = false;
  bool wide_clmul = false;
  bool bmi2 = false;
  bool aes = false;
  bool sha = false;

  Detected() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    const bool sse41 = __builtin_cpu_supports("sse4.1");
    clmul = sse41 && __builtin_cpu_supports("pclmul");
    aes = sse41 && __builtin_cpu_supports("aes");
    // The runtime reports AVX2 only where the system saves the 256-bit registers.
    wide_clmul = clmul && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
    bmi2 = __builtin_cpu_supports("bmi2");
    // Not every compiler knows the "sha" feature name: CPUID leaf 7, EBX bit 29.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) sha = sse41 && (ebx & (1u << 29)) != 0;
#endif
  }
};

const Detected& detected() {
  static const Detected instance;
  return instance;
}

std::atomic<bool> g_portable_only{false};

}  // namespace

bool cpu_has_clmul() { return detected().clmul && !g_portable_only.load(std::memory_order_relaxed); }
bool cpu_has_wide_clmul() { return detected().wide_clmul && !g_portable_only.load(std::memory_order_relaxed); }
bool cpu_has_bmi2() { return detected().bmi2 && !g_portable_only.load(std::memory_order_relaxed); }
bool cpu_has_aes() { return detected().aes && !g_portable_only.load(std::memory_order_relaxed); }
bool cpu_has_sha() { return detected().sha && !g_portable_only.load(std::memory_order_relaxed); }

void cpu_force_portable(bool on) { g_portable_only.store(on, std::memory_order_relaxed); }

}  // namespace ostrana
