/* dialogs/processor_identification.cpp - vendor, signature, brand or table name, clock.
 *
 * Extended leaves (0x80000000 up) are trusted only when leaf 0x80000000 says
 * they exist, and for the vendors whose early parts answered them with
 * garbage only from the family and model on which they became real: AMD
 * from the K6 (family 5 model 6), Cyrix from family 5 model 4 but not the
 * 6x86MX generation (family 6 below model 5), IDT/Centaur from the C2
 * (family 5 model 8), Transmeta from family 5.  Intel processors are read
 * whenever the leaf reports them: the Pentium 4 (family 15) introduced the
 * brand string, and every Intel processor since, the Core and Xeon lines
 * that went back to family 6 among them, reports it there.  Processors
 * before it answer leaf 0x80000000 with a basic leaf, which the range check
 * below rejects.
 */
#include "dialogs/processor_identification.h"

#include <cstring>

#include "platform/cpu_identification.h"

namespace dialogs {
namespace {

constexpr uint32_t kExtendedBase = 0x80000000u;
constexpr int kAny = -1;

struct VendorRow {
  const char* vendor;
  VendorClass vendor_class;
  const char* manufacturer;
};

constexpr VendorRow kVendors[] = {
    {"GenuineIntel", VendorClass::kIntel, "Intel Corporation"},
    {"UMC UMC UMC ", VendorClass::kUmc, "United Microelectronics Corp."},
    {"AuthenticAMD", VendorClass::kAmd, "Advanced Micro Devices"},
    {"AMD ISBETTER", VendorClass::kAmd, "Advanced Micro Devices"},
    {"CyrixInstead", VendorClass::kCyrix, "Cyrix Corp., VIA Inc."},
    {"NexGenDriven", VendorClass::kNexGen, "NexGen Inc., Advanced Micro Devices"},
    {"CentaurHauls", VendorClass::kCentaur, "IDT\\Centaur, Via Inc."},
    {"RiseRiseRise", VendorClass::kRise, "Rise"},
    {"GenuineTMx86", VendorClass::kTransmeta, "Transmeta"},
    {"TransmetaCPU", VendorClass::kTransmeta, "Transmeta"},
    {"Geode By NSC", VendorClass::kNationalSemiconductor, "National Semiconductor"},
};

/// One name of the table.  kAny as model: the family's fallback; kAny as
/// family too: the vendor's fallback.
struct NameRow {
  VendorClass vendor;
  int family;
  int model;
  const char* name;
};

using V = VendorClass;
constexpr NameRow kNames[] = {
    {V::kAmd, 4, 3, "80486DX2"},
    {V::kAmd, 4, 7, "80486DX2 WriteBack"},
    {V::kAmd, 4, 8, "80486DX4"},
    {V::kAmd, 4, 9, "80486DX4 WriteBack"},
    {V::kAmd, 4, 14, "5x86"},
    {V::kAmd, 4, 15, "5x86WB"},
    {V::kAmd, 4, kAny, "Unknown 80486 family"},
    {V::kAmd, 5, 0, "SSA5 (PR75, PR90, PR100)"},
    {V::kAmd, 5, 1, "5k86 (PR120, PR133)"},
    {V::kAmd, 5, 2, "5k86 (PR166)"},
    {V::kAmd, 5, 3, "5k86 (PR200)"},
    {V::kAmd, 5, 6, "K6 (0.30 µm)"},
    {V::kAmd, 5, 7, "K6 (0.25 µm)"},
    {V::kAmd, 5, 8, "K6-2"},
    {V::kAmd, 5, 9, "K6-III"},
    {V::kAmd, 5, 13, "K6-2+ or K6-III+ (0.18 µm)"},
    {V::kAmd, 5, kAny, "Unknown 80586 family"},
    {V::kAmd, 6, 1, "Athlon™ (0.25 µm)"},
    {V::kAmd, 6, 2, "Athlon™ (0.18 µm)"},
    {V::kAmd, 6, 3, "Duron™ (SF core)"},
    {V::kAmd, 6, 4, "Athlon™ (Thunderbird core)"},
    {V::kAmd, 6, 6, "Athlon™ (Palomino core)"},
    {V::kAmd, 6, 7, "Duron™ (Morgan core)"},
    {V::kAmd, 6, 8, "Athlon™ XP (Thoroughbred core)"},  // the MP part: see below
    {V::kAmd, 6, kAny, "Unknown K7 family"},
    {V::kAmd, kAny, kAny, "Unknown AMD family"},

    {V::kIntel, 3, kAny, "Newer i80386 family"},
    {V::kIntel, 4, 0, "i80486DX-25/33"},
    {V::kIntel, 4, 1, "i80486DX-50"},
    {V::kIntel, 4, 2, "i80486SX"},
    {V::kIntel, 4, 3, "i80486DX2"},
    {V::kIntel, 4, 4, "i80486SL"},
    {V::kIntel, 4, 5, "i80486SX2"},
    {V::kIntel, 4, 7, "i80486DX2 WriteBack"},
    {V::kIntel, 4, 8, "i80486DX4"},
    {V::kIntel, 4, 9, "i80486DX4 WriteBack"},
    {V::kIntel, 4, kAny, "Unknown 80486 family"},
    {V::kIntel, 5, 0, "P5 A-Step"},
    {V::kIntel, 5, 1, "P5"},
    {V::kIntel, 5, 2, "P54C"},
    {V::kIntel, 5, 3, "P24T OverDrive"},
    {V::kIntel, 5, 4, "P55C"},
    {V::kIntel, 5, 7, "P54C"},
    {V::kIntel, 5, 8, "P55C (0.25µm)"},
    {V::kIntel, 5, kAny, "Unknown Pentium® family"},
    {V::kIntel, 6, 0, "P6 A-Step"},
    {V::kIntel, 6, 1, "P6"},
    {V::kIntel, 6, 3, "Pentium® II (0.28 µm)"},
    {V::kIntel, 6, 5, "Pentium® II (0.25 µm)"},
    {V::kIntel, 6, 6, "Pentium® II With On-Die L2 Cache"},
    {V::kIntel, 6, 7, "Pentium® III (0.25 µm)"},
    {V::kIntel, 6, 8, "Pentium® III (0.18 µm) With 256 KB On-Die L2 Cache "},
    {V::kIntel, 6, 10, "Pentium® III (0.18 µm) With 1 Or 2 MB On-Die L2 Cache "},
    {V::kIntel, 6, 11, "Pentium® III (0.13 µm) With 256 Or 512 KB On-Die L2 Cache "},
    {V::kIntel, 6, kAny, "Unknown P6 family"},
    {V::kIntel, 7, kAny, "Intel Merced (IA-64)"},
    // Family 15 is keyed by its extended family too: see processor_table_name.
    {V::kIntel, 15, 0, "Pentium® IV (0.18 µm)"},
    {V::kIntel, 15, 1, "Pentium® IV (0.18 µm)"},
    {V::kIntel, 15, 2, "Pentium® IV (0.13 µm)"},
    {V::kIntel, 15, kAny, "Unknown Pentium 4 family"},
    {V::kIntel, kAny, kAny, "Unknown Intel family"},

    {V::kNationalSemiconductor, kAny, kAny, "Cx486SLC \\ DLC \\ Cx486S A-Step"},

    {V::kUmc, 4, 1, "U5D"},
    {V::kUmc, 4, 2, "U5S"},
    {V::kUmc, kAny, kAny, "Unknown UMC family"},

    {V::kCyrix, 4, 4, "MediaGX GX, GXm"},
    {V::kCyrix, 4, 9, "5x86"},
    {V::kCyrix, 4, kAny, "Unknown Cx5x86 family"},
    {V::kCyrix, 5, 2, "Cx6x86"},
    {V::kCyrix, 5, 4, "MediaGX GXm"},
    {V::kCyrix, 5, kAny, "Unknown Cx6x86 family"},
    {V::kCyrix, 6, 0, "6x86MX"},
    {V::kCyrix, 6, 5, "Cyrix M2 Core"},
    {V::kCyrix, 6, 6, "WinChip C5A Core"},
    {V::kCyrix, 6, 7, "WinChip C5B\\C5C Core"},
    {V::kCyrix, 6, 8, "WinChip C5C-T Core"},
    {V::kCyrix, 6, kAny, "Unknown 6x86MX\\Cyrix III family"},
    {V::kCyrix, kAny, kAny, "Unknown Cyrix family"},

    {V::kNexGen, 5, 0, "Nx586 or Nx586FPU"},
    {V::kNexGen, kAny, kAny, "Unknown NexGen family"},

    {V::kCentaur, 5, 4, "C6"},
    {V::kCentaur, 5, 8, "C2"},
    {V::kCentaur, 5, 9, "C3"},
    {V::kCentaur, 6, 6, "VIA Cyrix III - Samuel"},
    {V::kCentaur, kAny, kAny, "Unknown IDT\\Centaur family"},

    {V::kRise, 5, 0, "mP6 (0.25 µm)"},
    {V::kRise, 5, 2, "mP6 (0.18 µm)"},
    {V::kRise, kAny, kAny, "Unknown Rise family"},

    {V::kTransmeta, 5, 4, "Crusoe TM3x00 and TM5x00"},
    {V::kTransmeta, 5, kAny, "Unknown Crusoe family"},
    {V::kTransmeta, kAny, kAny, "Unknown Transmeta family"},

    {V::kUnknown, kAny, kAny, "Unknown family"},
};

const char* table_lookup(VendorClass vendor, int family, int model) {
  const char* family_fallback = nullptr;
  const char* vendor_fallback = nullptr;
  for (const NameRow& row : kNames) {
    if (row.vendor != vendor) continue;
    if (row.family == kAny) {
      vendor_fallback = row.name;
    } else if (row.family == family) {
      if (row.model == model) return row.name;
      if (row.model == kAny) family_fallback = row.name;
    }
  }
  return family_fallback != nullptr ? family_fallback : vendor_fallback;
}

/// Whether this vendor's extended leaves can be believed on this family/model.
bool vendor_offers_extended_leaves(VendorClass vendor, int family, int model) {
  switch (vendor) {
    case VendorClass::kAmd:
      return family > 5 || (family == 5 && model >= 6);
    case VendorClass::kCyrix:
      return (family > 5 || (family == 5 && model >= 4)) && !(family == 6 && model < 5);
    case VendorClass::kCentaur:
      return family > 5 || (family == 5 && model >= 8);
    case VendorClass::kTransmeta:
      return family >= 5;
    default:
      return true;
  }
}

void append_register(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string brand_string(const platform::CpuidSource& cpu, bool strip_leading_blanks) {
  std::string brand;
  for (uint32_t leaf = kExtendedBase + 2; leaf <= kExtendedBase + 4; ++leaf) {
    const platform::CpuidRegisters r = cpu.leaf(leaf);
    for (uint32_t value : {r.eax, r.ebx, r.ecx, r.edx}) append_register(&brand, value);
  }
  brand.resize(std::strlen(brand.c_str()));  // the string ends at its first NUL
  if (strip_leading_blanks) {
    const size_t first = brand.find_first_not_of(' ');
    brand.erase(0, first == std::string::npos ? brand.size() : first);
  }
  return brand;
}

}  // namespace

VendorClass vendor_class_of(std::string_view vendor) {
  for (const VendorRow& row : kVendors)
    if (vendor == row.vendor) return row.vendor_class;
  return VendorClass::kUnknown;
}

const char* manufacturer_text(VendorClass vendor) {
  for (const VendorRow& row : kVendors)
    if (row.vendor_class == vendor) return row.manufacturer;
  return "Unknown Manufacturer";
}

std::string processor_table_name(VendorClass vendor, int family, int model, int extended_family,
                                 bool multiprocessor) {
  if (vendor == VendorClass::kAmd && family == 6 && model == 8 && multiprocessor)
    return "Athlon™ MP (Thoroughbred core)";
  if (vendor == VendorClass::kIntel && family == 15) {
    if (extended_family == 1) return "Intel McKinley (IA-64)";
    if (extended_family != 0) return "";
  }
  const char* name = table_lookup(vendor, family, model);
  return name != nullptr ? name : "";
}

ProcessorIdentification identify_processor(const platform::CpuidSource& cpu) {
  ProcessorIdentification id;
  if (!cpu.available()) return id;
  id.cpuid_available = true;

  const platform::CpuidRegisters leaf0 = cpu.leaf(0);
  append_register(&id.vendor, leaf0.ebx);
  append_register(&id.vendor, leaf0.edx);
  append_register(&id.vendor, leaf0.ecx);
  id.vendor_class = vendor_class_of(id.vendor);

  if (leaf0.eax >= 1) {
    const platform::CpuidRegisters leaf1 = cpu.leaf(1);
    id.extended_family = static_cast<int>((leaf1.eax >> 20) & 0xFF);
    id.extended_model = static_cast<int>((leaf1.eax >> 16) & 0xF);
    id.type = static_cast<int>((leaf1.eax >> 12) & 0xF);
    id.family = static_cast<int>((leaf1.eax >> 8) & 0xF);
    id.model = static_cast<int>((leaf1.eax >> 4) & 0xF);
    id.stepping = static_cast<int>(leaf1.eax & 0xF);
    id.features = leaf1.edx;
  }

  if ((id.features & kFeatureTimeStampCounter) != 0) id.clock_mhz = cpu.measure_clock_mhz();

  uint32_t extended_max = 0;
  if (vendor_offers_extended_leaves(id.vendor_class, id.family, id.model)) {
    const uint32_t reported = cpu.leaf(kExtendedBase).eax;
    if ((reported & 0xFFFF0000u) == kExtendedBase) extended_max = reported;
  }
  const bool is_intel = id.vendor_class == VendorClass::kIntel;
  if (!is_intel && extended_max >= kExtendedBase + 1) id.extended_features = cpu.leaf(kExtendedBase + 1).edx;

  if (extended_max >= kExtendedBase + 4) id.name = brand_string(cpu, is_intel);
  if (id.name.empty())
    id.name = processor_table_name(id.vendor_class, id.family, id.model, id.extended_family,
                                   (id.extended_features & kFeatureMultiprocessor) != 0);
  return id;
}

}  // namespace dialogs
