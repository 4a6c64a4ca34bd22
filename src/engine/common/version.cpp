/* engine/common/version.cpp - the engine's version. */
#include "engine/common/version.h"

namespace ostrana {

const char* engine_version_text() { return kEngineVersion; }

}  // namespace ostrana
