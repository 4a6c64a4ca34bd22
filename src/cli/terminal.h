/* cli/terminal.h - what `ostrana` knows of the terminal it runs in.
 *
 * The command line's own user interface: whether standard input and output
 * are terminals (questions are asked and progress is drawn only then), the
 * width of the terminal, reading one answer, and turning a relative path into
 * an absolute one (the engine wants absolute destinations).
 */
#pragma once

#include <string>
#include <string_view>

namespace cli {

bool stdin_is_terminal();
bool stdout_is_terminal();

/// Columns of the terminal on standard output (80 when it cannot be told).
int terminal_width();

/// @p text with every control character written as \xHH: a name from an
/// archive can then neither break a line format nor send escape sequences to
/// the user's terminal.
std::string printable(std::string_view text);

/// Reads one line from standard input without its line end.
/// @return false at the end of the input.
bool read_answer_line(std::string* line_ret);

/// @p path made absolute against the current folder ("." and ".." are kept;
/// the engine never needs them resolved).
std::string absolute_path(const std::string& path);

}  // namespace cli
