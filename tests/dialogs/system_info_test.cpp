/* tests/dialogs/system_info_test.cpp - the system information report and the processor names.
 *
 * Risk: a report whose texts, order or line breaks drift from what users
 * paste into support mail; a processor named from the wrong table row, or
 * from a brand string its vendor did not really offer; Intel's leading
 * blanks kept (or another vendor's removed); a failing source that breaks
 * the report instead of giving its fallback; a real report on this machine
 * that disagrees with what the kernel says about the same processor.
 */
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>
#include <functional>
#include <sstream>

#include "dialogs/processor_identification.h"
#include "dialogs/system_info_report.h"
#include "system_info_fakes.h"

namespace {

using dialogs::VendorClass;
using sysinfo_test::FakeComputer;
using sysinfo_test::kMp;
using sysinfo_test::kTsc;
using sysinfo_test::make_cpu;

std::string golden(const std::string& name) {
  std::ifstream in(std::string(OSTRANA_TEST_DATA) + "/system_info/" + name + ".txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

/// The report with every CR LF made a LF; fails the test on a bare CR or LF.
std::string with_lf(const std::string& report) {
  std::string out;
  for (size_t i = 0; i < report.size(); ++i) {
    if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') {
      out += '\n';
      ++i;
    } else {
      EXPECT_TRUE(report[i] != '\r' && report[i] != '\n') << "bare line break at " << i;
      out += report[i];
    }
  }
  return out;
}

struct GoldenCase {
  const char* file;
  std::function<void(FakeComputer&)> change;
};

TEST(SystemInfoReport, FixedInputsGiveTheWrittenReports) {
  const GoldenCase cases[] = {
      {"intel_brand_blanks", [](FakeComputer&) {}},
      {"amd_brand_blanks",
       [](FakeComputer& c) {
         c.cpu = make_cpu("AuthenticAMD", 0x00830F10, kTsc, 0x80000008, "  AMD Ryzen 7 3700X 8-Core Processor");
       }},
      {"amd_k7_mp", [](FakeComputer& c) { c.cpu = make_cpu("AuthenticAMD", 0x681, kTsc, 0x80000001, nullptr, kMp); }},
      {"amd_k7_xp", [](FakeComputer& c) { c.cpu = make_cpu("AuthenticAMD", 0x681, kTsc, 0x80000001); }},
      {"intel_family15_ext1", [](FakeComputer& c) { c.cpu = make_cpu("GenuineIntel", 0x00100F00, 0, 0x80000000); }},
      {"unknown_vendor", [](FakeComputer& c) { c.cpu = make_cpu("Vortex86 SoC", 0x1542, kTsc); }},
      {"no_cpuid", [](FakeComputer& c) { c.cpu.has_cpuid = false; }},
      {"no_screen", [](FakeComputer& c) { c.screen.settings.reset(); }},
      {"no_browser", [](FakeComputer& c) { c.browser.version.reset(); }},
      {"unreadable_user", [](FakeComputer& c) { c.system.user.reset(); }},
  };
  for (const GoldenCase& g : cases) {
    FakeComputer computer;
    g.change(computer);
    const std::string report = dialogs::build_system_info_report(dialogs::gather_system_info(computer.sources()));
    const std::string expected = golden(g.file);
    ASSERT_FALSE(expected.empty()) << g.file;
    EXPECT_EQ(expected, with_lf(report)) << g.file;
  }
}

TEST(SystemInfoReport, NamesAndTheOperatingSystemLineFallBack) {
  dialogs::SystemInfoInputs in;
  in.user_name = std::string(dialogs::kMaxReportedNameLength, 'u');
  in.computer_name = std::string(dialogs::kMaxReportedNameLength + 1, 'c');
  const std::string report = with_lf(dialogs::build_system_info_report(in));
  EXPECT_NE(std::string::npos, report.find("UserName: " + *in.user_name + "\n"));
  EXPECT_NE(std::string::npos, report.find("ComputerName: N/A\n"));
  EXPECT_NE(std::string::npos, report.find("\nRunning on <Unknown OS Version>\n"));

  EXPECT_EQ("Running on <Unknown OS Version>", dialogs::os_version_line("", ""));
  EXPECT_EQ("Running on Linux, kernel 6.1.0", dialogs::os_version_line("", "6.1.0"));
  EXPECT_EQ("Running on Fedora Linux 39", dialogs::os_version_line("Fedora Linux 39", ""));
}

// Which extended leaves each vendor is believed for: the brand string shows
// only where they are, and the table name otherwise.
TEST(ProcessorIdentification, ExtendedLeavesByVendorFamilyAndModel) {
  struct Row {
    const char* vendor;
    int family, model;
    bool brand_used;
  };
  const Row rows[] = {
      {"AuthenticAMD", 5, 5, false}, {"AuthenticAMD", 5, 6, true},  {"AuthenticAMD", 15, 1, true},
      {"CyrixInstead", 5, 3, false}, {"CyrixInstead", 5, 4, true},  {"CyrixInstead", 6, 4, false},
      {"CyrixInstead", 6, 5, true},  {"CentaurHauls", 5, 7, false}, {"CentaurHauls", 5, 8, true},
      {"GenuineTMx86", 4, 9, false}, {"TransmetaCPU", 5, 0, true},  {"GenuineIntel", 15, 2, true},
      {"GenuineIntel", 6, 7, true},  {"RiseRiseRise", 5, 0, true},  {"Vortex86 SoC", 4, 0, true},
  };
  for (const Row& r : rows) {
    const uint32_t eax1 = static_cast<uint32_t>(r.family << 8 | r.model << 4);
    const dialogs::ProcessorIdentification id =
        dialogs::identify_processor(make_cpu(r.vendor, eax1, 0, 0x80000004, "Brand X"));
    EXPECT_EQ(r.brand_used, id.name == "Brand X") << r.vendor << " " << r.family << "/" << r.model << ": " << id.name;
  }
  // A processor before brand strings answers leaf 0x80000000 with a basic leaf.
  EXPECT_EQ("Pentium® III (0.25 µm)", dialogs::identify_processor(make_cpu("GenuineIntel", 0x673, 0, 0x03020101)).name);
  // An all-blank brand is no brand.
  EXPECT_EQ("Unknown P6 family", dialogs::identify_processor(make_cpu("GenuineIntel", 0x6F0, 0, 0x80000004, "   ")).name);
}

TEST(ProcessorIdentification, SignatureFieldsFeaturesAndClock) {
  sysinfo_test::FakeCpu cpu = make_cpu("AuthenticAMD", 0x0FF3A6B5, kTsc | 1, 0x80000001, nullptr, kMp | 4);
  dialogs::ProcessorIdentification id = dialogs::identify_processor(cpu);
  EXPECT_EQ(0xFF, id.extended_family);
  EXPECT_EQ(3, id.extended_model);
  EXPECT_EQ(10, id.type);
  EXPECT_EQ(6, id.family);
  EXPECT_EQ(11, id.model);
  EXPECT_EQ(5, id.stepping);
  EXPECT_EQ(kTsc | 1, id.features);
  EXPECT_EQ(kMp | 4, id.extended_features);
  EXPECT_EQ(2600, id.clock_mhz);

  // Without a counter the clock is not measured; Intel never reads 0x80000001.
  cpu = make_cpu("GenuineIntel", 0x6F0, 0, 0x80000001, nullptr, kMp);
  id = dialogs::identify_processor(cpu);
  EXPECT_EQ(-1, id.clock_mhz);
  EXPECT_EQ(0, cpu.clock_measurements);
  EXPECT_EQ(0u, id.extended_features);
  EXPECT_EQ(VendorClass::kUnknown, dialogs::vendor_class_of("genuineintel"));
  EXPECT_EQ(VendorClass::kAmd, dialogs::vendor_class_of("AMD ISBETTER"));
}

// Every row of the name table, and every fallback, as data.
TEST(ProcessorIdentification, NameTableRows) {
  struct Row {
    VendorClass vendor;
    int family, model, extended_family;
    bool mp;
    const char* name;
  };
  using V = VendorClass;
  const Row rows[] = {
      {V::kAmd, 4, 3, 0, false, "80486DX2"}, {V::kAmd, 4, 7, 0, false, "80486DX2 WriteBack"},
      {V::kAmd, 4, 8, 0, false, "80486DX4"}, {V::kAmd, 4, 9, 0, false, "80486DX4 WriteBack"},
      {V::kAmd, 4, 14, 0, false, "5x86"}, {V::kAmd, 4, 15, 0, false, "5x86WB"},
      {V::kAmd, 4, 0, 0, false, "Unknown 80486 family"},
      {V::kAmd, 5, 0, 0, false, "SSA5 (PR75, PR90, PR100)"}, {V::kAmd, 5, 1, 0, false, "5k86 (PR120, PR133)"},
      {V::kAmd, 5, 2, 0, false, "5k86 (PR166)"}, {V::kAmd, 5, 3, 0, false, "5k86 (PR200)"},
      {V::kAmd, 5, 6, 0, false, "K6 (0.30 µm)"}, {V::kAmd, 5, 7, 0, false, "K6 (0.25 µm)"},
      {V::kAmd, 5, 8, 0, false, "K6-2"}, {V::kAmd, 5, 9, 0, false, "K6-III"},
      {V::kAmd, 5, 13, 0, false, "K6-2+ or K6-III+ (0.18 µm)"}, {V::kAmd, 5, 4, 0, false, "Unknown 80586 family"},
      {V::kAmd, 6, 1, 0, false, "Athlon™ (0.25 µm)"}, {V::kAmd, 6, 2, 0, false, "Athlon™ (0.18 µm)"},
      {V::kAmd, 6, 3, 0, false, "Duron™ (SF core)"}, {V::kAmd, 6, 4, 0, false, "Athlon™ (Thunderbird core)"},
      {V::kAmd, 6, 6, 0, false, "Athlon™ (Palomino core)"}, {V::kAmd, 6, 7, 0, false, "Duron™ (Morgan core)"},
      {V::kAmd, 6, 8, 0, true, "Athlon™ MP (Thoroughbred core)"},
      {V::kAmd, 6, 8, 0, false, "Athlon™ XP (Thoroughbred core)"},
      {V::kAmd, 6, 10, 0, true, "Unknown K7 family"}, {V::kAmd, 15, 1, 0, false, "Unknown AMD family"},
      {V::kIntel, 3, 0, 0, false, "Newer i80386 family"},
      {V::kIntel, 4, 0, 0, false, "i80486DX-25/33"}, {V::kIntel, 4, 1, 0, false, "i80486DX-50"},
      {V::kIntel, 4, 2, 0, false, "i80486SX"}, {V::kIntel, 4, 3, 0, false, "i80486DX2"},
      {V::kIntel, 4, 4, 0, false, "i80486SL"}, {V::kIntel, 4, 5, 0, false, "i80486SX2"},
      {V::kIntel, 4, 7, 0, false, "i80486DX2 WriteBack"}, {V::kIntel, 4, 8, 0, false, "i80486DX4"},
      {V::kIntel, 4, 9, 0, false, "i80486DX4 WriteBack"}, {V::kIntel, 4, 6, 0, false, "Unknown 80486 family"},
      {V::kIntel, 5, 0, 0, false, "P5 A-Step"}, {V::kIntel, 5, 1, 0, false, "P5"},
      {V::kIntel, 5, 2, 0, false, "P54C"}, {V::kIntel, 5, 7, 0, false, "P54C"},
      {V::kIntel, 5, 3, 0, false, "P24T OverDrive"}, {V::kIntel, 5, 4, 0, false, "P55C"},
      {V::kIntel, 5, 8, 0, false, "P55C (0.25µm)"}, {V::kIntel, 5, 5, 0, false, "Unknown Pentium® family"},
      {V::kIntel, 6, 0, 0, false, "P6 A-Step"}, {V::kIntel, 6, 1, 0, false, "P6"},
      {V::kIntel, 6, 3, 0, false, "Pentium® II (0.28 µm)"}, {V::kIntel, 6, 5, 0, false, "Pentium® II (0.25 µm)"},
      {V::kIntel, 6, 6, 0, false, "Pentium® II With On-Die L2 Cache"},
      {V::kIntel, 6, 7, 0, false, "Pentium® III (0.25 µm)"},
      {V::kIntel, 6, 8, 0, false, "Pentium® III (0.18 µm) With 256 KB On-Die L2 Cache "},
      {V::kIntel, 6, 10, 0, false, "Pentium® III (0.18 µm) With 1 Or 2 MB On-Die L2 Cache "},
      {V::kIntel, 6, 11, 0, false, "Pentium® III (0.13 µm) With 256 Or 512 KB On-Die L2 Cache "},
      {V::kIntel, 6, 9, 0, false, "Unknown P6 family"}, {V::kIntel, 7, 0, 0, false, "Intel Merced (IA-64)"},
      {V::kIntel, 15, 0, 0, false, "Pentium® IV (0.18 µm)"}, {V::kIntel, 15, 1, 0, false, "Pentium® IV (0.18 µm)"},
      {V::kIntel, 15, 2, 0, false, "Pentium® IV (0.13 µm)"}, {V::kIntel, 15, 3, 0, false, "Unknown Pentium 4 family"},
      {V::kIntel, 15, 0, 1, false, "Intel McKinley (IA-64)"}, {V::kIntel, 15, 2, 2, false, ""},
      {V::kIntel, 8, 0, 0, false, "Unknown Intel family"},
      {V::kNationalSemiconductor, 4, 4, 0, false, "Cx486SLC \\ DLC \\ Cx486S A-Step"},
      {V::kUmc, 4, 1, 0, false, "U5D"}, {V::kUmc, 4, 2, 0, false, "U5S"},
      {V::kUmc, 4, 3, 0, false, "Unknown UMC family"}, {V::kUmc, 5, 1, 0, false, "Unknown UMC family"},
      {V::kCyrix, 4, 4, 0, false, "MediaGX GX, GXm"}, {V::kCyrix, 4, 9, 0, false, "5x86"},
      {V::kCyrix, 4, 1, 0, false, "Unknown Cx5x86 family"}, {V::kCyrix, 5, 2, 0, false, "Cx6x86"},
      {V::kCyrix, 5, 4, 0, false, "MediaGX GXm"}, {V::kCyrix, 5, 3, 0, false, "Unknown Cx6x86 family"},
      {V::kCyrix, 6, 0, 0, false, "6x86MX"}, {V::kCyrix, 6, 5, 0, false, "Cyrix M2 Core"},
      {V::kCyrix, 6, 6, 0, false, "WinChip C5A Core"}, {V::kCyrix, 6, 7, 0, false, "WinChip C5B\\C5C Core"},
      {V::kCyrix, 6, 8, 0, false, "WinChip C5C-T Core"},
      {V::kCyrix, 6, 9, 0, false, "Unknown 6x86MX\\Cyrix III family"},
      {V::kCyrix, 7, 0, 0, false, "Unknown Cyrix family"},
      {V::kNexGen, 5, 0, 0, false, "Nx586 or Nx586FPU"}, {V::kNexGen, 5, 1, 0, false, "Unknown NexGen family"},
      {V::kCentaur, 5, 4, 0, false, "C6"}, {V::kCentaur, 5, 8, 0, false, "C2"}, {V::kCentaur, 5, 9, 0, false, "C3"},
      {V::kCentaur, 6, 6, 0, false, "VIA Cyrix III - Samuel"},
      {V::kCentaur, 6, 7, 0, false, "Unknown IDT\\Centaur family"},
      {V::kRise, 5, 0, 0, false, "mP6 (0.25 µm)"}, {V::kRise, 5, 2, 0, false, "mP6 (0.18 µm)"},
      {V::kRise, 5, 1, 0, false, "Unknown Rise family"},
      {V::kTransmeta, 5, 4, 0, false, "Crusoe TM3x00 and TM5x00"},
      {V::kTransmeta, 5, 0, 0, false, "Unknown Crusoe family"},
      {V::kTransmeta, 6, 0, 0, false, "Unknown Transmeta family"},
      {V::kUnknown, 5, 4, 0, false, "Unknown family"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.name, dialogs::processor_table_name(r.vendor, r.family, r.model, r.extended_family, r.mp))
        << static_cast<int>(r.vendor) << " " << r.family << "/" << r.model << " ext " << r.extended_family;
}

std::string cpuinfo_field(const std::string& key) {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0 && line.find(':') != std::string::npos)
      return line.substr(line.find(':') + 2);
  return {};
}

// The real sources against what the kernel says about the same machine.
TEST(SystemInfoReport, ThisMachineAgreesWithTheKernel) {
  const dialogs::SystemInfoInputs in = dialogs::gather_system_info(dialogs::this_computer_sources());
  const std::string vendor = cpuinfo_field("vendor_id");
  if (vendor.empty()) GTEST_SKIP() << "no x86 /proc/cpuinfo";
  ASSERT_TRUE(in.processor.cpuid_available);
  EXPECT_EQ(vendor, in.processor.vendor);
  // The kernel adds the extended family to a base family of 15; the report shows the base.
  const int kernel_family = std::stoi(cpuinfo_field("cpu family"));
  EXPECT_EQ(kernel_family >= 15 ? 15 : kernel_family, in.processor.family);
  // The kernel strips the brand string's blanks at both ends.
  std::string brand = in.processor.name;
  brand.erase(0, brand.find_first_not_of(' '));
  brand.erase(brand.find_last_not_of(' ') + 1);
  EXPECT_EQ(cpuinfo_field("model name"), brand);

  std::ifstream hostname("/proc/sys/kernel/hostname");
  std::string host;
  std::getline(hostname, host);
  EXPECT_EQ(host, in.computer_name.value_or("?"));
  std::ifstream osrelease("/proc/sys/kernel/osrelease");
  std::string kernel;
  std::getline(osrelease, kernel);
  EXPECT_NE(std::string::npos, in.os_line.find(", kernel " + kernel)) << in.os_line;
  EXPECT_GE(in.processor_count, 1);
}

}  // namespace
