/* bridge/engine_version.h - the engine's name and version, for the about box. */
#pragma once

#include <string>

namespace bridge {

/// The engine's version as the engine itself reports it ("6.00.00").
std::string engine_version();

}  // namespace bridge
