/* engine/common/sha1_internal.h - the SHA instruction path behind sha1_compress(). */
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrana::detail {

/// Needs cpu_has_sha(); same contract as sha1_compress().
void sha1_compress_ni(uint32_t state[5], const uint8_t* blocks, size_t nblocks);

}  // namespace ostrana::detail
