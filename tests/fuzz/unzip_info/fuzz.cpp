/* tests/fuzz/unzip_info/fuzz.cpp - arbitrary bytes through the unzip entry's information functions.
 *
 * Feeds the input, as an archive file, to functions 1 (count), 2 (walk every
 * item, alternating the short and the extended record), 5 and 6 (comment)
 * and 7 (items by number) through the public C interface, the way the
 * application lists an archive.  Besides the sanitizers it checks what must
 * hold for any input: a successful walk yields exactly the counted items, in
 * order; the comment copy is never longer than the comment length nor than
 * the buffer; records hold NUL-terminated names; function 7 agrees with the
 * walk.  Any violation aborts.
 *
 * The archive is a memory file (memfd) reached through /proc/self/fd, so no
 * disk is touched; the thread state is renewed for every input.
 */
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ostrana.h"

namespace {

int g_fd = -1;
std::string g_path;

UNZIPCMDSTRUCT record(int function) {
  UNZIPCMDSTRUCT c;
  std::memset(&c, 0, sizeof c);
  c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  c.Function = function;
  c.lpszZIPFile = g_path.c_str();
  c.index = -1;
  c.quietFlag = 1;
  c.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
  return c;
}

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool terminated(const char* s, size_t n) { return std::memchr(s, '\0', n) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_fd < 0) {
    g_fd = memfd_create("fuzz-archive", 0);
    if (g_fd < 0) std::abort();
    g_path = "/proc/self/fd/" + std::to_string(g_fd);
  }
  if (ftruncate(g_fd, 0) != 0 || pwrite(g_fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  OstranaUnzipStateCreate();

  // Function 1, then the walk of function 2.
  UNZIPCMDSTRUCT count = record(UNZIP_COUNT_ITEMS);
  int rc = OstranaUnzip(&count);
  std::vector<std::string> walked;
  if (rc == OU_SUCCESS) {
    require(count.returnCount >= 0, "count is not negative");
    for (int32_t i = 0; i <= count.returnCount; ++i) {
      zInfo z;
      pZipInfoEx x;
      UNZIPCMDSTRUCT next = record(UNZIP_NEXT_ITEM_INFO);
      if (i % 2) next.zInfo = &z;
      else next.pZipInfoEx = &x;
      int step = OstranaUnzip(&next);
      if (step == OU_UNEXPECTED_EOF) {
        require(i == count.returnCount, "the walk ends after the counted items");
        break;
      }
      if (step != OU_SUCCESS) break;  // a refused item (oversized extra block) ends the walk
      require(i < count.returnCount, "no item beyond the count");
      if (i % 2) {
        require(terminated(z.szFileName, sizeof z.szFileName), "zInfo name terminated");
        require(terminated(z.szDate, sizeof z.szDate), "zInfo date terminated");
        require(z.wIndex == static_cast<int16_t>(i), "zInfo item number");
        walked.push_back(z.szFileName);
      } else {
        require(terminated(x.szFileName, sizeof x.szFileName), "pZipInfoEx name terminated");
        require(terminated(x.szDate, sizeof x.szDate), "pZipInfoEx date terminated");
        require(x.lIndex == i, "pZipInfoEx item number");
        walked.push_back(std::string(x.szFileName).substr(0, 259));
      }
    }
  }

  // Function 7 agrees with the walk.
  for (size_t i = 0; i < walked.size() && i < 8; ++i) {
    zInfo z;
    UNZIPCMDSTRUCT item = record(UNZIP_ITEM_INFO);
    item.index = static_cast<int32_t>(i);
    item.zInfo = &z;
    if (OstranaUnzip(&item) == OU_SUCCESS) {
      // The short record cuts at 259 bytes, at a whole character.
      require(walked[i].compare(0, std::strlen(z.szFileName), z.szFileName) == 0, "item by number = walk");
    }
  }

  // Functions 5 and 6.
  UNZIPCMDSTRUCT length = record(UNZIP_COMMENT_SIZE);
  if (OstranaUnzip(&length) == OU_SUCCESS) {
    require(length.returnCount >= 0 && length.returnCount <= 65535, "comment length");
    for (int32_t room : {0, 7, length.returnCount}) {
      std::vector<char> buffer(static_cast<size_t>(room) + 1 + 16, '#');
      UNZIPCMDSTRUCT comment = record(UNZIP_COMMENT);
      comment.lpszReturnString = buffer.data();
      comment.returnCount = room;
      if (OstranaUnzip(&comment) == OU_SUCCESS) {
        require(comment.returnCount <= room && comment.returnCount <= length.returnCount, "comment copy fits");
        require(buffer[static_cast<size_t>(comment.returnCount)] == '\0', "comment terminated");
        require(buffer[static_cast<size_t>(room) + 1] == '#', "nothing written beyond the buffer");
      }
    }
  }
  return 0;
}
