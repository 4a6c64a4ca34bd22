/* tests/support/cpu_paths.h - run a test body on the accelerated and on the portable code paths. */
#pragma once

#include <array>

#include "engine/common/cpu_features.h"

namespace testenv {

/// Forces the portable paths for its lifetime when @p portable is true.
class ScopedCodePath {
 public:
  explicit ScopedCodePath(bool portable) { ostrana::cpu_force_portable(portable); }
  ~ScopedCodePath() { ostrana::cpu_force_portable(false); }
  ScopedCodePath(const ScopedCodePath&) = delete;
  ScopedCodePath& operator=(const ScopedCodePath&) = delete;
};

/// The two settings a test loops over: {accelerated where available, portable}.
inline constexpr std::array<bool, 2> both_code_paths() { return {false, true}; }

}  // namespace testenv
