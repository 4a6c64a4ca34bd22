/* engine/common/command_record.cpp - taking a caller's command record of any accepted size. */
#include "engine/common/command_record.h"

#include <cstring>

#include "platform/memory_probe.h"

namespace ostrana {

int behaviour_level(const RecordSize* sizes, size_t count, int32_t nbytes) {
  for (size_t i = 0; i < count; ++i)
    if (sizes[i].nbytes == nbytes) return sizes[i].level;
  return 0;
}

size_t copy_command_record(const void* caller, int32_t caller_nbytes, bool accepted, void* full,
                           size_t full_nbytes, size_t smallest_nbytes) {
  std::memset(full, 0, full_nbytes);
  size_t n = caller_nbytes < 4 ? 4 : static_cast<size_t>(caller_nbytes);
  if (n > full_nbytes) n = full_nbytes;
  if (accepted) {
    std::memcpy(full, caller, n);
    return n;
  }
  if (platform::copy_readable(caller, n, full)) return n;
  std::memset(full, 0, full_nbytes);
  if (smallest_nbytes < n && platform::copy_readable(caller, smallest_nbytes, full)) return smallest_nbytes;
  std::memset(full, 0, full_nbytes);
  std::memcpy(full, caller, 4);
  return 4;
}

}  // namespace ostrana
