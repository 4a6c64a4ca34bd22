/* tests/support/test_env.h - a private environment for every test process.
 *
 * Tests never touch the user's configuration, state or runtime folders: the
 * test mains point XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR and
 * TMPDIR-based scratch folders at one temporary folder per process before
 * anything reads them.
 */
#pragma once

#include <string>

namespace testenv {

/// Creates the per-process temporary root and sets the XDG variables into it.
/// Call once, first thing in main().
void isolate_process_environment();

/// The per-process temporary root (removed at exit unless OSTRANA_KEEP_TMP is set).
const std::string& process_temp_root();

/// A fresh empty folder under the process root, named after @p hint.
std::string make_temp_dir(const std::string& hint);

}  // namespace testenv
