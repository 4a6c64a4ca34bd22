/* dialogs/processor_identification.h - what the processor is, from its CPUID answers.
 *
 * The processor section of the system information report: the vendor and its
 * manufacturer text from leaf 0, the signature fields and feature flags from
 * leaf 1, the extended leaves where the vendor offers them, the brand string
 * or, for processors older than brand strings, a name from the table of the
 * families and models each vendor made, and the clock measured with the
 * time-stamp counter.  Qt-free: it only reads a platform::CpuidSource.
 *
 * Names are UTF-8 (the registered and trade mark signs and the micro sign of
 * the old names are kept).
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class CpuidSource;
}

namespace dialogs {

/// Who made the processor, by its vendor string.  Values are pinned.
enum class VendorClass : int {
  kAmd = 0,
  kIntel = 1,
  kNationalSemiconductor = 2,
  kUmc = 3,
  kCyrix = 4,
  kNexGen = 5,
  kCentaur = 6,  ///< IDT/Centaur, later VIA
  kRise = 7,
  kTransmeta = 8,
  kUnknown = 9,
};

/// Feature flags the identification uses.
inline constexpr uint32_t kFeatureTimeStampCounter = 1u << 4;  ///< leaf 1 EDX bit 4
inline constexpr uint32_t kFeatureMultiprocessor = 1u << 19;   ///< leaf 0x80000001 EDX bit 19 (AMD)

struct ProcessorIdentification {
  bool cpuid_available = false;
  std::string vendor;  ///< the 12 characters of leaf 0
  VendorClass vendor_class = VendorClass::kUnknown;
  int extended_family = 0;  ///< leaf 1 EAX bits 20-27
  int extended_model = 0;   ///< bits 16-19
  int type = 0;             ///< bits 12-15
  int family = 0;           ///< bits 8-11
  int model = 0;            ///< bits 4-7
  int stepping = 0;         ///< bits 0-3
  uint32_t features = 0;           ///< leaf 1 EDX
  uint32_t extended_features = 0;  ///< leaf 0x80000001 EDX (not read for Intel)
  std::string name;         ///< brand string or table name (at most 48 characters)
  int64_t clock_mhz = -1;   ///< measured clock, -1 when unknown
};

/// Identifies the processor behind @p cpu (measuring its clock when it has a
/// time-stamp counter).
ProcessorIdentification identify_processor(const platform::CpuidSource& cpu);

/// The class of a leaf-0 vendor string (exact, case-sensitive match).
VendorClass vendor_class_of(std::string_view vendor);

/// "Intel Corporation", "Advanced Micro Devices", ... "Unknown Manufacturer".
const char* manufacturer_text(VendorClass vendor);

/// The table name of a processor without a brand string.  @p extended_family
/// matters only for Intel family 15, @p multiprocessor only for AMD family 6
/// model 8.  "" for the keys the table leaves without a name.
std::string processor_table_name(VendorClass vendor, int family, int model, int extended_family,
                                 bool multiprocessor);

}  // namespace dialogs
