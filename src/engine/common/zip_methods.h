/* engine/common/zip_methods.h - the compression method numbers of the ZIP format.
 *
 * One statement of the numbers for the whole engine: the reader's expanders,
 * the writer's compressors and the record layouts all name methods by these.
 * Methods 1 to 7 are the legacy ones this engine reads but never writes; an
 * item encrypted with the AES format carries method 99 and names its real
 * method in its 0x9901 extra block.
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
inline constexpr uint16_t kMethodDeflate = 8;    ///< 32 KiB window
inline constexpr uint16_t kMethodDeflate64 = 9;  ///< 64 KiB window
inline constexpr uint16_t kMethodAes = 99;       ///< the real method is in the 0x9901 block

}  // namespace ostrana
