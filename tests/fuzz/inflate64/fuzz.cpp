/* tests/fuzz/inflate64/fuzz.cpp - libFuzzer target: Deflate64 streams (method 9).
 *
 * Byte 0: bits 0-1 the output mode (extraction, file to memory, memory to
 * memory), bits 2-4 the piece size of the second run.  See expander_fuzz.h.
 * Besides the harness's checks: extraction mode and file-to-memory mode
 * must agree on every byte both produced, and on the result unless one of
 * them was cut short (overgrowth, a full sink).
 */
#include <algorithm>

#include "../expander_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const ostrana::ExpandMode kModes[] = {ostrana::ExpandMode::kToFile, ostrana::ExpandMode::kToMemory,
                                               ostrana::ExpandMode::kMemoryToMemory, ostrana::ExpandMode::kToFile};
  const ostrana::ExpandMode mode = kModes[data[0] & 3];
  const fuzz::Result r = fuzz::run(ostrana::zip::kMethodDeflate64, 0, mode, 0, data, size, data[0] >> 2);
  if (mode == ostrana::ExpandMode::kToFile) {
    const fuzz::Result m = fuzz::run(ostrana::zip::kMethodDeflate64, 0, ostrana::ExpandMode::kToMemory, 0, data, size, 0);
    // Same bytes as far as both went; the same end unless one was cut short
    // (overgrowth in extraction mode, a full sink in either).
    const size_t common = std::min(r.out.size(), m.out.size());
    if (!std::equal(r.out.begin(), r.out.begin() + static_cast<std::ptrdiff_t>(common), m.out.begin())) std::abort();
    const bool cut = r.rc == ostrana::kExpandOvergrown || r.rc == ostrana::kExpandOutputFull ||
                     m.rc == ostrana::kExpandOutputFull;
    if (!cut && (r.rc != m.rc || r.out != m.out)) std::abort();
  }
  return 0;
}
