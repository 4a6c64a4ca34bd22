/* engine/common/caller_strings.cpp - taking the strings a command record points to. */
#include "engine/common/caller_strings.h"

#include "platform/memory_probe.h"

namespace ostrana {

CallerString take_caller_string(const char* p, std::string* out) {
  out->clear();
  if (p == nullptr) return CallerString::kMissing;
  // One byte more than the limit tells a string that ends there from one that does not.
  if (!platform::copy_readable_string(p, kCallerStringLimit + 1, out) || out->size() > kCallerStringLimit) {
    out->clear();
    return CallerString::kUnreadable;
  }
  return CallerString::kTaken;
}

}  // namespace ostrana
