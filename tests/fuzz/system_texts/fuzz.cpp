/* tests/fuzz/system_texts/fuzz.cpp - the system files the report reads, on hostile bytes.
 *
 * os-release, a desktop entry and a browser's version answer all come from
 * files or programs that anybody may have put in the user's data folders.
 * Each parser must end without a fault on any bytes and give the same answer
 * twice (abort() otherwise); a version is never negative.
 */
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/default_browser.h"
#include "platform/system_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"PRETTY_NAME", "NAME", ""})
    if (platform::os_release_value(text, key) != platform::os_release_value(text, key)) std::abort();
  if (platform::desktop_entry_program(text) != platform::desktop_entry_program(text)) std::abort();
  const auto v = platform::parse_browser_version(text);
  if (v && (v->major < 0 || v->minor < 0 || v->build < 0)) std::abort();
  return 0;
}
