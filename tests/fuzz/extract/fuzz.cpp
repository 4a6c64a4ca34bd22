/* tests/fuzz/extract/fuzz.cpp - arbitrary bytes through extraction, testing and file to memory.
 *
 * Feeds the input, as an archive file, to function 8 three ways - testing
 * (with a password, so the ciphers' headers are parsed too), extracting into
 * a fresh folder, both on one thread and on two, and function 9 into a small
 * block, without and with a password - through the public C interface.
 * Besides the sanitizers it checks what must hold for any input: the result
 * is one of the engine's codes, the same on one thread and on two; nothing is
 * created beside the destination folder (whatever names, links or volumes the
 * bytes describe); the memory block is never written beyond its size.  Any
 * violation aborts.
 *
 * The archive is a memory file (memfd) reached through /proc/self/fd; the
 * destination lives under one scratch folder that is emptied for each input.
 */
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ostrana.h"

namespace {

int g_fd = -1;
std::string g_path;
std::string g_root;  // holds only "out" after any extraction

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

UNZIPCMDSTRUCT record(int function) {
  UNZIPCMDSTRUCT c;
  std::memset(&c, 0, sizeof c);
  c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  c.Function = function;
  c.lpszZIPFile = g_path.c_str();
  c.index = -1;
  c.quietFlag = 1;
  c.recurseFlag = 1;
  c.lpszFilespec = "*.*";
  c.wUnzipSubOptions = UNZIP_OPT_NO_PUMP | UNZIP_OPT_SPLIT_FILES;
  return c;
}

bool known_code(int rc) {
  switch (rc) {
    case 0: case 2: case 3: case 5: case 9: case 11: case 12: case 22: case 25: case 26: case 28: case 29:
    case 39: case 42: case 44: case 46: case 47: case 48: case 49: case 50:
      return true;
    default:
      return false;
  }
}

void remove_tree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    ::chmod(path.c_str(), 0700);
    if (DIR* d = ::opendir(path.c_str())) {
      while (struct dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") remove_tree(path + "/" + name);
      }
      ::closedir(d);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

/// Names in @p folder besides "out".
int strangers(const std::string& folder) {
  int n = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      n += name != "." && name != ".." && name != "out";
    }
    ::closedir(d);
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_fd < 0) {
    g_fd = memfd_create("fuzz-archive", 0);
    if (g_fd < 0) std::abort();
    g_path = "/proc/self/fd/" + std::to_string(g_fd);
    char tmpl[] = "/tmp/fuzz-extract-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) std::abort();
    g_root = tmpl;
  }
  if (ftruncate(g_fd, 0) != 0 || pwrite(g_fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  OstranaUnzipStateCreate();

  // Testing and extracting on one thread and on two (workers expanding the
  // next items) end alike.
  int tested[2], extracted[2];
  for (int threads = 1; threads <= 2; ++threads) {
    ::setenv("OSTRANA_THREADS", threads == 1 ? "1" : "2", 1);
    OstranaUnzipStateCreate();
    UNZIPCMDSTRUCT test = record(UNZIP_EXTRACT);
    test.testFlag = 1;
    test.decryptFlag = 1;
    test.lpszDecryptCode = "password";
    tested[threads - 1] = OstranaUnzip(&test);
    require(known_code(tested[threads - 1]), "test mode gives an engine code");

    const std::string out = g_root + "/out";
    UNZIPCMDSTRUCT extract = record(UNZIP_EXTRACT);
    extract.lpszDestination = out.c_str();
    extract.overWriteFlag = 1;
    extracted[threads - 1] = OstranaUnzip(&extract);
    require(known_code(extracted[threads - 1]), "extraction gives an engine code");
    require(strangers(g_root) == 0, "nothing is written beside the destination");
    remove_tree(out);
  }
  require(tested[0] == tested[1], "a test ends alike on one thread and on two");
  require(extracted[0] == extracted[1], "an extraction ends alike on one thread and on two");

  for (int with_password = 0; with_password < 2; ++with_password) {
    uint8_t block[80];
    std::memset(block, 0xEE, sizeof block);
    UNZIPCMDSTRUCT memory = record(UNZIP_FILETOMEM);
    memory.lpszFilespec = "";
    memory.index = 0;
    memory.lpMemBlock = block;
    memory.lMemBlockSize = 64;
    if (with_password) {
      memory.decryptFlag = 1;
      memory.lpszDecryptCode = "password";
    }
    require(known_code(OstranaUnzip(&memory)), "file to memory gives an engine code");
    for (size_t i = 64; i < sizeof block; ++i) require(block[i] == 0xEE, "the block is not overrun");
  }
  return 0;
}
