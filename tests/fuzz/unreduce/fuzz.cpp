/* tests/fuzz/unreduce/fuzz.cpp - libFuzzer target: reduced data (methods 2-5).
 *
 * Byte 0: bits 0-1 the compression factor less one (method 2 + bits), bit 2
 * the output mode, bits 3-5 the piece size of the second run.  See
 * expander_fuzz.h.  Follower indexes beyond their set and copies reaching
 * before the first byte must be handled without reading outside the window.
 */
#include "../expander_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint16_t method = static_cast<uint16_t>(ostrana::zip::kMethodReduce1 + (data[0] & 3));
  const auto mode = (data[0] & 4) ? ostrana::ExpandMode::kToMemory : ostrana::ExpandMode::kToFile;
  const fuzz::Result r = fuzz::run(method, 0, mode, 0, data, size, data[0] >> 3);
  if (r.rc != ostrana::kExpandOk) std::abort();  // reduce reports no errors of its own
  return 0;
}
