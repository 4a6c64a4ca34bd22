/* platform/terminal.h - whether a standard stream is a terminal, and how wide it is.
 *
 * The command line asks questions only when its input is a terminal and
 * draws progress only when its output is one; the width keeps the progress
 * line on one row.
 */
#pragma once

namespace platform {

enum class StandardStream { kInput, kOutput, kError };

/// True when @p stream is connected to a terminal.
bool is_terminal(StandardStream stream);

/// Columns of the terminal on @p stream; 0 when it is no terminal or its size cannot be told.
int terminal_columns(StandardStream stream);

}  // namespace platform
