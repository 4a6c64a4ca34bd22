/* bridge/engine_version.cpp - the engine's own version call. */
#include "bridge/engine_version.h"

#include "ostrana.h"

namespace bridge {

std::string engine_version() {
  const char* version = OstranaVersion();
  return version != nullptr ? version : "";
}

}  // namespace bridge
