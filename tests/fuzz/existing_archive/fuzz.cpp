/* tests/fuzz/existing_archive/fuzz.cpp - arbitrary bytes as the archive an update changes.
 *
 * The bytes are written to a file and read the way the archive operation
 * reads an existing archive: the ordinary walk with every check, and both
 * repair levels.  Besides the sanitizers' own checks, the target aborts when
 * an accepted entry's extent does not lie inside the file in order (local
 * header, data, end), when the ordinary walk accepts entries out of file
 * order or overlapping, when the preamble or the directory lies outside the
 * file, or when reading the same bytes twice gives different answers.
 */
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/common/messages.h"
#include "engine/zip/old_archive.h"
#include "engine/zip/zip_messages.h"
#include "ostrana_results.h"

using namespace ostrana;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

const std::string& scratch_path() {
  static const std::string path = "/tmp/fuzz-existing-archive-" + std::to_string(getpid()) + ".zip";
  return path;
}

struct Outcome {
  int rc = 0;
  size_t entries = 0;
  uint64_t preamble = 0;
};

Outcome read_once(int fix_level, uint64_t length) {
  MessageBook book(kZipMessages);
  OldArchive old;
  OldArchiveOptions options;
  options.large = true;
  options.fix_level = fix_level;
  std::string detail;
  Outcome o;
  o.rc = old.read(scratch_path(), options, book, [](const std::string&) {}, &detail);
  if (o.rc != 0) return o;
  check(old.exists() || length == 0);  // an empty file is no archive (and is removed)
  o.entries = old.entries().size();
  o.preamble = old.preamble_nbytes();
  check(old.preamble_nbytes() <= length);
  if (fix_level == 0) check(old.directory_offset() <= length);
  uint64_t previous_end = 0;
  for (const OldEntry& e : old.entries()) {
    check(e.local_offset + 30 <= e.data_offset);
    check(e.data_offset <= e.end_offset && e.end_offset <= length);
    check(e.central.compressed_size <= e.end_offset - e.data_offset);
    check(!e.central.name.empty());
    if (fix_level != 0) {
      check(e.local_offset >= previous_end);  // repair takes entries in file order, never overlapping
      previous_end = e.end_offset;
    }
  }
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(scratch_path().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (int level : {0, 1, 2}) {
    Outcome a = read_once(level, size);
    if (size == 0) break;  // an empty file is removed as no archive at all
    Outcome b = read_once(level, size);
    check(a.rc == b.rc && a.entries == b.entries && a.preamble == b.preamble);
  }
  std::remove(scratch_path().c_str());
  return 0;
}
