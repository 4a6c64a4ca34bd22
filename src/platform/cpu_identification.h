/* platform/cpu_identification.h - the processor's CPUID leaves and its clock.
 *
 * The system information report names the processor from what CPUID answers
 * and measures its clock with the time-stamp counter.  This header gives the
 * two raw facilities and nothing more: which leaf says what, and the vendor
 * and name tables, belong to the report (dialogs/processor_identification.h).
 *
 * On x86 and x86-64 the real source executes CPUID (<cpuid.h>; a 32-bit
 * processor that lacks the instruction is recognised by the EFLAGS ID bit
 * before it is ever executed).  On any other architecture CPUID is not
 * available and the clock is -1.
 */
#pragma once

#include <cstdint>

namespace platform {

/// The four registers one CPUID leaf returns.
struct CpuidRegisters {
  uint32_t eax = 0;
  uint32_t ebx = 0;
  uint32_t ecx = 0;
  uint32_t edx = 0;
};

/// A processor to identify.  Abstract so that a test can stand a processor of
/// its own (an old AMD, an unknown vendor, one without CPUID) in for this one.
class CpuidSource {
 public:
  virtual ~CpuidSource() = default;
  /// True when the processor executes CPUID at all.
  virtual bool available() const = 0;
  /// The registers of @p leaf (sub-leaf 0).  Only called when available();
  /// a leaf beyond what the processor reports gives whatever it gives, so the
  /// caller checks the maximum leaves first.
  virtual CpuidRegisters leaf(uint32_t leaf) const = 0;
  /// The clock in MHz measured with the time-stamp counter, or -1 when it
  /// cannot be measured.  Only called for a processor that has the counter.
  virtual int64_t measure_clock_mhz() const = 0;
};

/// The processor this program runs on.
const CpuidSource& this_processor();

/// The clock from a measurement: @p busy_ticks counted over a busy wait of
/// @p wait_us microseconds, @p overhead_ticks over a wait that only reads the
/// timer.  MHz = ticks per microsecond, in 64-bit integers; -1 when the wait
/// took no time or the overhead outweighs the wait.
int64_t clock_mhz_from_ticks(uint64_t busy_ticks, uint64_t overhead_ticks, int64_t wait_us);

}  // namespace platform
