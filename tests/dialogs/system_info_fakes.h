/* tests/dialogs/system_info_fakes.h - stand-ins for the system information report's sources.
 *
 * A processor made of the CPUID leaves a test gives it, a computer, a
 * desktop browser and a screen with fixed answers.  Builders fill the leaves
 * the way real processors do (vendor string over EBX, EDX, ECX; the brand
 * string over twelve registers), so the identification reads them as it
 * reads hardware.
 */
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "dialogs/system_info_sources.h"
#include "platform/cpu_identification.h"
#include "platform/default_browser.h"
#include "platform/system_identity.h"

namespace sysinfo_test {

inline constexpr uint32_t kTsc = 1u << 4;
inline constexpr uint32_t kMp = 1u << 19;

class FakeCpu : public platform::CpuidSource {
 public:
  bool has_cpuid = true;
  int64_t clock = 2600;
  std::map<uint32_t, platform::CpuidRegisters> leaves;
  mutable int clock_measurements = 0;

  bool available() const override { return has_cpuid; }
  platform::CpuidRegisters leaf(uint32_t n) const override {
    auto it = leaves.find(n);
    return it == leaves.end() ? platform::CpuidRegisters{} : it->second;
  }
  int64_t measure_clock_mhz() const override {
    ++clock_measurements;
    return clock;
  }
};

inline uint32_t chars(const char* four) {
  uint32_t v = 0;
  std::memcpy(&v, four, 4);  // little-endian, as CPUID lays out its text
  return v;
}

/// A processor of @p vendor with the leaf-1 signature @p eax1 and features
/// @p edx1, reporting extended leaves up to @p extended_max (0: none), the
/// @p brand (when not null) and extended features @p edx_ext.
inline FakeCpu make_cpu(const char* vendor, uint32_t eax1, uint32_t edx1, uint32_t extended_max = 0,
                        const char* brand = nullptr, uint32_t edx_ext = 0) {
  FakeCpu cpu;
  cpu.leaves[0] = {1, chars(vendor), chars(vendor + 8), chars(vendor + 4)};
  cpu.leaves[1] = {eax1, 0, 0, edx1};
  cpu.leaves[0x80000000] = {extended_max, 0, 0, 0};
  cpu.leaves[0x80000001] = {0, 0, 0, edx_ext};
  if (brand != nullptr) {
    char text[48] = {};
    std::memcpy(text, brand, std::min(std::strlen(brand), sizeof text));
    for (uint32_t i = 0; i < 3; ++i)
      cpu.leaves[0x80000002 + i] = {chars(text + 16 * i), chars(text + 16 * i + 4), chars(text + 16 * i + 8),
                                    chars(text + 16 * i + 12)};
  }
  return cpu;
}

class FakeSystem : public platform::SystemIdentity {
 public:
  std::optional<std::string> user = "ravel", computer = "atelier";
  int processors = 4;
  std::string pretty = "Debian GNU/Linux 12 (bookworm)", kernel = "6.1.0-18-amd64";

  std::optional<std::string> user_name() const override { return user; }
  std::optional<std::string> computer_name() const override { return computer; }
  int processor_count() const override { return processors; }
  std::string os_pretty_name() const override { return pretty; }
  std::string kernel_release() const override { return kernel; }
};

class FakeBrowser : public platform::BrowserSource {
 public:
  std::optional<platform::BrowserVersion> version = platform::BrowserVersion{120, 0, 6099};
  std::optional<platform::BrowserVersion> default_browser_version() const override { return version; }
};

class FakeScreen : public dialogs::ScreenSource {
 public:
  std::optional<dialogs::DisplaySettings> settings = dialogs::DisplaySettings{24, 1920, 1080, 60};
  std::optional<dialogs::DisplaySettings> primary_screen() const override { return settings; }
};

/// One computer made of stand-ins; change a member, then take sources().
struct FakeComputer {
  FakeSystem system;
  FakeBrowser browser;
  FakeCpu cpu = make_cpu("GenuineIntel", 0x000906A3, kTsc, 0x80000008, "       Intel(R) Core(TM) i7-12700H");
  FakeScreen screen;

  dialogs::SystemInfoSources sources() const { return {&system, &browser, &cpu, &screen}; }
};

}  // namespace sysinfo_test
