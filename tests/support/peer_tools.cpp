/* tests/support/peer_tools.cpp - running the peer tools from tests. */
#include "peer_tools.h"

#include <cstdio>
#include <sstream>
#include <sys/wait.h>

namespace testenv {

namespace {

// Prints one tab-separated line per member (name and comment hex-encoded so
// that any byte survives), then "comment<TAB>hex".
const char kListingScript[] = R"PY(
import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    method = i.compress_type
    ex, pos = i.extra, 0
    while pos + 4 <= len(ex):
        tag, n = struct.unpack('<HH', ex[pos:pos + 4])
        if tag == 0x9901 and n >= 7 and method == 99:
            method = struct.unpack('<H', ex[pos + 9:pos + 11])[0]
        pos += 4 + n
    y, mo, d, h, mi, s = i.date_time
    print('\t'.join([i.filename.encode('utf-8', 'surrogateescape').hex(), str(i.file_size),
                     str(i.compress_size), str(i.CRC), str(method),
                     '%02d/%02d/%04d  %02d:%02d:%02d' % (mo, d, y, h, mi, s), str(i.flag_bits)]))
print('comment\t' + z.comment.hex())
)PY";

std::string from_hex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace

int run_capture(const std::string& command, std::string* output_ret) {
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
    output_ret->append(buf, n);
  int status = ::pclose(p);
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool have_tool(const std::string& program) {
  return run_command("command -v " + shell_quote(program) + " >/dev/null 2>&1") == 0;
}

bool python_zip_listing(const std::string& archive, std::vector<PeerMember>* members_ret, std::string* comment_ret) {
  std::string out;
  if (run_capture("python3 -c " + shell_quote(kListingScript) + " " + shell_quote(archive), &out) != 0) return false;
  members_ret->clear();
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string name_hex;
    std::getline(f, name_hex, '\t');
    if (name_hex == "comment") {
      std::string hex;
      std::getline(f, hex);
      if (comment_ret) *comment_ret = from_hex(hex);
      continue;
    }
    PeerMember m;
    m.name = from_hex(name_hex);
    std::string date_field;
    f >> m.file_size >> m.compress_size >> m.crc >> m.method;
    f.ignore(1);
    std::getline(f, m.date, '\t');
    f >> m.flags;
    members_ret->push_back(m);
  }
  return true;
}

}  // namespace testenv
