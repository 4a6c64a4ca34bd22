/* tests/fuzz/unshrink/fuzz.cpp - libFuzzer target: shrunk data (method 1).
 *
 * Byte 0: bit 0 the output mode (extraction or file to memory), bits 1-3 the
 * piece size of the second run.  See expander_fuzz.h.  Damaged LZW data
 * (undefined codes, chains through freed codes, cycles after partial
 * clearing) must end quietly, never loop or overrun the item's size.
 */
#include "../expander_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto mode = (data[0] & 1) ? ostrana::ExpandMode::kToMemory : ostrana::ExpandMode::kToFile;
  const fuzz::Result r = fuzz::run(ostrana::zip::kMethodShrink, 0, mode, 0, data, size, data[0] >> 1);
  if (r.rc != ostrana::kExpandOk) std::abort();  // shrink reports no errors of its own
  return 0;
}
