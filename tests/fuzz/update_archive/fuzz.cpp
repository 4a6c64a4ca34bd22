/* tests/fuzz/update_archive/fuzz.cpp - arbitrary bytes as the archive that add or update changes.
 *
 * Input: byte 0 chooses the run - bit 0 add (else update), bit 1 append in
 * place, bit 2 repair from the local headers, bit 3 repair harder, bit 4
 * Zip64 allowed, bits 5-7 the level (0 store, else 1..7) - and the rest is the
 * old archive.  One small file, "new.txt", is added to it through the public C
 * interface, as `ostrana add` would.  Besides the sanitizers' own checks the
 * target aborts when:
 *   - the run's result is not one of the zip side's codes;
 *   - a failed run changed the old archive by one byte, or a run left a
 *     temporary file beside it;
 *   - a successful run wrote an archive from which "new.txt" does not come
 *     back whole (the old entries are copied as they are, so only the new
 *     one is checked, and only when the old archive had no "new.txt").
 * The scratch folder is one per process, emptied for each input.
 */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ostrana.h"

namespace {

constexpr char kNewText[] = "the file added by the fuzz run\n";

std::string g_dir;
std::string g_archive;
std::string g_item;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void put(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

bool get(const std::string& path, std::vector<uint8_t>* bytes_ret) {
  bytes_ret->clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) != 0) bytes_ret->insert(bytes_ret->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

/// Removes everything in the scratch folder but the item; @return how many
/// temporary files ("@@...") there were.
int clean_scratch() {
  int temporaries = 0;
  if (DIR* d = ::opendir(g_dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == ".." || name == "new.txt") continue;
      temporaries += name.compare(0, 2, "@@") == 0;
      ::unlink((g_dir + "/" + name).c_str());
    }
    ::closedir(d);
  }
  return temporaries;
}

/// How many items of the archive the unzip side calls "new.txt" (-1: unreadable).
int32_t new_entries() {
  OstranaUnzipStateCreate();
  UNZIPCMDSTRUCT u;
  std::memset(&u, 0, sizeof u);
  u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  u.Function = UNZIP_COUNT_MATCHES;
  u.lpszZIPFile = g_archive.c_str();
  u.lpszFilespec = "new.txt";
  u.index = -1;
  u.quietFlag = 1;
  u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
  return OstranaUnzip(&u) == 0 ? u.returnCount : -1;
}

/// "new.txt" is in the archive and tests clean.
bool new_entry_is_whole() {
  if (new_entries() < 1) return false;
  OstranaUnzipStateCreate();
  UNZIPCMDSTRUCT u;
  std::memset(&u, 0, sizeof u);
  u.structSize = UNZIPCMDSTRUCT_SIZE_L600;
  u.Function = UNZIP_EXTRACT;
  u.lpszZIPFile = g_archive.c_str();
  u.lpszFilespec = "new.txt";
  u.index = -1;
  u.quietFlag = 1;
  u.testFlag = 1;
  u.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
  return OstranaUnzip(&u) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (g_dir.empty()) {
    char tmpl[] = "/tmp/fuzz-update-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) std::abort();
    g_dir = tmpl;
    g_archive = g_dir + "/old.zip";
    g_item = g_dir + "/new.txt";
    put(g_item, kNewText, sizeof kNewText - 1);
  }
  const uint8_t options = data[0];
  put(g_archive, data + 1, size - 1);
  // An old archive that already holds a "new.txt" may keep it (update) or
  // hold copies the run does not touch: then the content is not judged.
  const bool judge_content = new_entries() <= 0;
  OstranaZipStateCreate();
  OstranaUnzipStateCreate();

  ZIPCMDSTRUCT c;
  std::memset(&c, 0, sizeof c);
  c.structSize = ZIPCMDSTRUCT_SIZE_L600;
  c.Function = (options & 1) ? ZIP_ADD : ZIP_UPDATE;
  c.lpszZIPFile = g_archive.c_str();
  c.lpszItemList = g_item.c_str();
  c.noDirectoryNamesFlag = 1;
  c.quietFlag = 1;
  c.growExistingFlag = (options >> 1) & 1;
  c.fixFlag = (options >> 2) & 1;
  c.fixHarderFlag = (options >> 3) & 1;
  c.LargeZIPFilesFlag = (options >> 4) & 1;
  c.compFactor = options >> 5;
  c.wZipSubOptions = ZIP_OPT_NO_PUMP;
  const int rc = OstranaZip(&c);
  require(rc >= 0 && rc <= 22, "the result is a zip code");

  std::vector<uint8_t> after;
  const bool present = get(g_archive, &after);
  if (rc != 0) {
    require(present && after.size() == size - 1 && std::memcmp(after.data(), data + 1, size - 1) == 0,
            "a failed run leaves the old archive as it was");
  } else {
    require(present, "a successful run leaves an archive");
    if (judge_content) require(new_entry_is_whole(), "the new entry comes back whole");
  }
  require(clean_scratch() == 0, "no temporary file is left");
  return 0;
}
