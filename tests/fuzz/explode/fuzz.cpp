/* tests/fuzz/explode/fuzz.cpp - libFuzzer target: imploded data (method 6).
 *
 * Byte 0: bit 1 the 8 KiB window, bit 2 the literal tree (the general purpose
 * flag bits they stand for), bit 0 a compressed size claim above 200,000
 * bytes (the wide distance table), bit 3 the output mode, bits 4-6 the piece
 * size of the second run.  See expander_fuzz.h.  Trees whose codes collide or
 * overflow must be refused, and no code may index outside its table.
 */
#include "../expander_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint16_t flags = data[0] & 6;
  const uint64_t claim = (data[0] & 1) ? 300000 : 0;
  const auto mode = (data[0] & 8) ? ostrana::ExpandMode::kToMemory : ostrana::ExpandMode::kToFile;
  fuzz::run(ostrana::zip::kMethodImplode, flags, mode, claim, data, size, data[0] >> 4);
  return 0;
}
