/* engine/common/version.h - the engine's version, as its logs and banners show it. */
#pragma once

namespace ostrana {

/// "6.00.00": the version printed in the engine's log headers and by `ostrana --version`.
inline constexpr const char kEngineVersion[] = "6.00.00";

/// The same text, from the library itself (so a program can tell which library it loaded).
const char* engine_version_text();

}  // namespace ostrana
