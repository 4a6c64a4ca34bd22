/* tests/support/peer_tools.h - running the peer tools (7-Zip, bsdtar, Python) from tests.
 *
 * Interop tests make archives with the peers and check the engine against
 * what the peers say about them.  A missing tool makes the test skip, never
 * fail: the suite runs on machines where only some peers are installed.
 */
#pragma once

#include <string>
#include <vector>

#include "peer_run.h"

namespace testenv {

/// True when @p program is found on PATH.
bool have_tool(const std::string& program);

/// Runs @p command through /bin/sh, collecting its standard output into
/// @p output_ret.  @return the exit status (-1 when it cannot run).  Commands
/// without output go through run_command (peer_run.h).
int run_capture(const std::string& command, std::string* output_ret);

/// One archive member as Python's zipfile reports it.
struct PeerMember {
  std::string name;          // decoded as zipfile decodes it (CP437 or UTF-8), in UTF-8
  unsigned long long file_size = 0;
  unsigned long long compress_size = 0;
  unsigned long crc = 0;
  int method = 0;            // for WinZip AES items the method in the 0x9901 block
  std::string date;          // "MM/DD/YYYY  hh:mm:ss"
  unsigned flags = 0;
};

/// Lists @p archive with Python's zipfile.  @return false when Python fails.
bool python_zip_listing(const std::string& archive, std::vector<PeerMember>* members_ret,
                        std::string* comment_ret = nullptr);

}  // namespace testenv
