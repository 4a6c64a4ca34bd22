/* platform/log_folder.h - where the engine's text logs go, and appending to them.
 *
 * The engine's logs have relative names ("\OSTRANA.LOG").  They are placed in
 * the user's state folder for this program: $XDG_STATE_HOME/Ostrana, or
 * ~/.local/state/Ostrana when XDG_STATE_HOME is unset or empty (the XDG base
 * directory rules).  Tests point XDG_STATE_HOME at a temporary folder.
 */
#pragma once

#include <cstddef>
#include <string>

namespace platform {

/// The engine's log folder, created (with its parents) when missing.
/// @return the path without a trailing "/", or "" when there is no home folder
///         to put it in or it cannot be created.
std::string engine_log_folder();

/// Where engine_log_folder() puts the logs, without creating anything
/// ("" when there is no home folder to put it in).
std::string engine_log_folder_path();

/// Appends @p nbytes to the file at @p path, creating it (mode 0644) when
/// missing.  The file is opened for this one write and closed again, in append
/// mode, so two writers interleave whole writes.  @return 0 or errno.
int append_to_file(const std::string& path, const void* data, size_t nbytes);

}  // namespace platform
