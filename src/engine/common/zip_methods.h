/* engine/common/zip_methods.h - the compression method numbers of the ZIP format.
 *
 * One list for both sides of the engine: the writer records 0, 8 and 9; the
 * reader expands 0..9 except 7.  The numbers are the format's (an entry's
 * "compression method" field); the names are the engine's own.  An AES entry
 * (method 99) carries its real method in its 0x9901 block (zip_extra.h).
 */
#pragma once

#include <cstdint>

namespace ostrana {

inline constexpr uint16_t kMethodStore = 0;
inline constexpr uint16_t kMethodShrink = 1;
inline constexpr uint16_t kMethodReduce1 = 2;  ///< Reduce1..Reduce4 are 2..5 (factor = method - 1)
inline constexpr uint16_t kMethodReduce4 = 5;
inline constexpr uint16_t kMethodImplode = 6;
inline constexpr uint16_t kMethodTokenize = 7;
inline constexpr uint16_t kMethodDeflate = 8;
inline constexpr uint16_t kMethodDeflate64 = 9;

}  // namespace ostrana
