/* tests/fuzz/directory_reader/fuzz.cpp - arbitrary bytes through the directory reader.
 *
 * The bytes are an archive held in memory.  They go through what functions 1,
 * 2 and 5 to 7 of the unzip entry do: count the items (all, and 8.3 names
 * only), walk every item filling both information records (plain and 8.3
 * form), read each item's local header, take items by number, and read and
 * copy the archive comment with several `returnCount` values.  Both scanning
 * modes of the end-record search are used, and the bytes are also cut into two
 * volumes (at a place the first byte chooses) to drive the multi-volume walk.  Besides the sanitizers' own
 * checks, the target aborts when a record is left without its terminator, when
 * the walk visits another number of items than the count says, or when loading
 * the same bytes twice gives different answers.
 */
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/common/local_header.h"
#include "engine/unzip/central_directory.h"
#include "engine/unzip/item_info.h"
#include "ostrana_info.h"
#include "ostrana_results.h"

using namespace ostrana;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

uint64_t walk(CentralDirectory& dir, ArchiveInput& in, bool short_form) {
  uint64_t visited = 0;
  dir.set_position(0);
  for (;;) {
    DirectoryEntry e;
    int rc = dir.next(false, &e);
    if (rc == OU_UNEXPECTED_EOF) break;
    ++visited;
    if (rc != 0) continue;  // an entry refused for its extra blocks
    zInfo z;
    pZipInfoEx x;
    std::memset(&x, 0x55, sizeof x);
    fill_zinfo(e, short_form, &z);
    fill_zipinfoex(e, short_form, &x);
    check(std::memchr(z.szFileName, 0, sizeof z.szFileName) != nullptr);
    check(std::memchr(z.szDate, 0, sizeof z.szDate) != nullptr);
    check(std::memchr(x.szFileName, 0, sizeof x.szFileName) != nullptr);
    check(std::memchr(x.szDate, 0, sizeof x.szDate) != nullptr);
    check(x.lCallerWord == 0x55555555);
    check(z.wMethod != 99 || !e.is_aes());
    LocalEntry local;
    if (read_local_header(in, e.local_header_offset(), e.raw_name, &local) == 0)
      check(local.data_offset >= e.local_header_offset() + 30);
  }
  return visited;
}

void run(const uint8_t* data, size_t size, bool buffered) {
  MemoryArchiveInput in(data, size);
  in.set_scans_for_last_volume(buffered);

  // Function 1: count.
  CentralDirectory dir;
  DirectoryFailure failure;
  int rc = dir.load(in, {}, &failure);
  if (rc == 0) {
    check(dir.loaded());
    uint64_t all = dir.count(false);
    check(dir.count(true) <= all);
    // Function 2: next item until the end, both name forms.
    check(walk(dir, in, false) == all);
    check(walk(dir, in, true) == all);
    dir.set_position(0);
    DirectoryEntry e;
    uint64_t shorts = 0;
    while (true) {
      int r = dir.next(true, &e);
      if (r == OU_UNEXPECTED_EOF) break;
      ++shorts;
    }
    check(shorts == dir.count(true));
    // Function 7: item by number, at both ends and one past.
    if (all != 0) {
      dir.item(0, &e);
      dir.item(all - 1, &e);
    }
    check(dir.item(all, &e) == OU_INDEX_OUT_OF_BOUNDS);

    // The same bytes loaded again give the same directory.
    CentralDirectory again;
    check(again.load(in, {}) == 0 && again.count(false) == all);
  } else {
    check(!dir.loaded() && dir.size() == 0);
  }

  // Functions 5 and 6: comment length, then copies of several lengths.
  std::vector<uint8_t> comment;
  if (read_comment(in, &comment) == 0) {
    check(comment.size() <= 65535);
    std::vector<char> buf(comment.size() + 2);
    for (int32_t want : {0, 1, 10, static_cast<int32_t>(comment.size()), static_cast<int32_t>(comment.size()) + 1}) {
      if (static_cast<size_t>(want) + 1 > buf.size()) continue;
      int32_t got = copy_comment(comment, buf.data(), want);
      check(got <= want && buf[static_cast<size_t>(got)] == '\0');
    }
  }
}

void run_two_volumes(const uint8_t* data, size_t size) {
  if (size < 2) return;
  size_t cut = 1 + static_cast<size_t>(data[0]) * (size - 1) / 256;
  const uint8_t* volumes[] = {data, data + cut};
  size_t sizes[] = {cut, size - cut};
  MemoryArchiveInput in(volumes, sizes, 2);
  in.set_scans_for_last_volume(data[0] & 1);
  in.set_open_volume(0);
  CentralDirectory dir;
  if (dir.load(in, {}) != 0) {
    check(!dir.loaded());
    return;
  }
  check(walk(dir, in, false) == dir.count(false));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  run(data, size, false);
  run(data, size, true);
  run_two_volumes(data, size);
  return 0;
}
