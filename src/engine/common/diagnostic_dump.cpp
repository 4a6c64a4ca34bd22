/* engine/common/diagnostic_dump.cpp - building the text of a diagnostic log entry. */
#include "engine/common/diagnostic_dump.h"

#include <vector>

#include "platform/memory_probe.h"

namespace ostrana {

void DiagnosticDump::string_dump(const char* p, size_t max_chars) {
  std::string value;
  if (platform::copy_readable_string(p, max_chars, &value)) {
    m_text += value;
    m_text += "\r\n";
  } else {
    m_text += "???\r\n";
  }
}

void DiagnosticDump::block_dump(const void* p, size_t nbytes) {
  std::vector<char> bytes(nbytes);
  if (platform::copy_readable(p, nbytes, bytes.data())) {
    m_text.append(bytes.data(), bytes.size());
    m_text += "\r\n";
  } else {
    m_text += "???\r\n";
  }
}

}  // namespace ostrana
