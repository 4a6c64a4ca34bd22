/* tests/support/peer_run.h - running python3 and 7-Zip from tests, with files as the interface.
 *
 * Known-answer tests compute their expected values with an independent
 * model (Python's hashlib, zlib, a few lines of Python) instead of typing
 * them in; archive tests make their inputs with 7-Zip.  Everything goes
 * through files in a fresh temporary folder, so no pipe can dead-lock.
 */
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testenv {

/// Reads a whole file (throws std::runtime_error when it cannot).
std::vector<uint8_t> read_file(const std::string& path);
/// Writes a whole file (throws std::runtime_error when it cannot).
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

/// Runs @p script with python3; the script finds @p input in the file named by
/// sys.argv[1] and writes its answer to the file named by sys.argv[2].
/// Throws std::runtime_error when python fails.
std::vector<uint8_t> run_python(const std::string& script, const std::vector<uint8_t>& input);

/// Runs a shell command line; @return its exit status (-1 when it could not run).
int run_command(const std::string& command_line);

/// True when 7-Zip's `7zz` can be run.
bool have_7zz();

/// Quotes @p text for a POSIX shell.
std::string shell_quote(const std::string& text);

}  // namespace testenv
