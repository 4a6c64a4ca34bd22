/* tests/engine/unzip/hostile_archives_test.cpp - the archives of tests/data/hostile, one by one.
 *
 * Each archive (made by tests/data/hostile/make_hostile.py) is counted,
 * tested, extracted and read into a memory block.  Each must end with its
 * code, and the extraction must write exactly the items that are sound,
 * whole, inside the destination: the destination sits alone in a sandbox
 * folder, and the sandbox may hold nothing else afterwards.
 */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "extract_fixture.h"
#include "peer_run.h"

namespace {

struct Hostile {
  const char* file;
  int count_rc;                                  ///< function 1
  int test_rc;                                   ///< function 8, testing
  int extract_rc;                                ///< function 8 into the destination
  std::map<std::string, std::string> written;    ///< what the destination holds afterwards
};

const std::vector<Hostile>& hostile_archives() {
  static const std::vector<Hostile> kArchives = {
      // Two names for one local header, a third record into the data: the
      // entries overlap, and the archive is refused before anything is written.
      {"overlapping.zip", OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {}},
      {"local_offset_beyond.zip", 0, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {{"ok.txt", "fine"}}},
      // An entry whose local header lies inside the directory overlaps it: refused before anything is read.
      {"directory_self_local.zip", OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {}},
      {"directory_self_end.zip", OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {}},
      {"zip64_absurd_counts.zip", OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {}},
      // No file system takes a 65,535-byte name: the item cannot be created,
      // which ends the run with 28 before anything is written.
      {"long_name.zip", 0, 0, OU_CREATE_FAILED, {}},
      // Climbing names are skipped with a warning; a leading "/" is dropped.
      {"climbing_names.zip", 0, 0, 0,
       {{"ok.txt", "payload of ok.txt"}, {"tmp/ostrana-absolute.txt", "payload of /tmp/ostrana-absolute.txt"}}},
      // Overwriting is on: the later copy wins.
      {"listed_twice.zip", 0, 0, 0, {{"same.txt", "second"}}},
      // 50 MB of zeros claiming 100 bytes: stopped 1,000 bytes beyond, nothing kept.
      {"bomb.zip", 0, OU_BAD_STRUCTURE, OU_BAD_STRUCTURE, {}},
  };
  return kArchives;
}

std::map<std::string, std::string> files_below(const std::string& root, const std::string& relative = "") {
  std::map<std::string, std::string> out;
  DIR* d = ::opendir((relative.empty() ? root : root + "/" + relative).c_str());
  if (d == nullptr) return out;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    struct stat st;
    if (::lstat((root + "/" + rel).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      for (auto& kv : files_below(root, rel)) out.insert(kv);
    } else if (S_ISREG(st.st_mode)) {
      auto bytes = testenv::read_file(root + "/" + rel);
      out[rel] = std::string(bytes.begin(), bytes.end());
    } else {
      out[rel] = "<not a file>";
    }
  }
  ::closedir(d);
  return out;
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> out;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") out.push_back(name);
    }
    ::closedir(d);
  }
  return out;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

class HostileArchives : public extracttest::ExtractFixture {
 protected:
  void use(const Hostile& h) {
    testenv::write_file(archive, testenv::read_file(std::string(OSTRANA_TEST_DATA) + "/hostile/" + h.file));
    OstranaUnzipStateCreate();  // nothing of the previous archive is reused
  }
  int run_function(int function) {
    UNZIPCMDSTRUCT c = cmd;
    c.Function = function;
    c.lpszFilespec = "*.*";
    return OstranaUnzip(&c);
  }
};

TEST_F(HostileArchives, EachGivesItsCodeAndWritesOnlyInsideTheDestination) {
  const bool absolute_existed = exists("/tmp/ostrana-absolute.txt");
  cmd.quietFlag = 1;
  cmd.overWriteFlag = 1;
  for (const Hostile& h : hostile_archives()) {
    SCOPED_TRACE(h.file);
    use(h);
    EXPECT_EQ(h.count_rc, run_function(UNZIP_COUNT_ITEMS));

    cmd.testFlag = 1;
    EXPECT_EQ(h.test_rc, extract("*.*"));
    cmd.testFlag = 0;
    EXPECT_TRUE(files_below(dest).empty()) << "testing writes nothing";

    EXPECT_EQ(h.extract_rc, extract("*.*"));
    EXPECT_EQ(h.written, files_below(dest));
    // The sandbox holds the archive and the destination, nothing else.
    auto names = names_in(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"out", "test.zip"}), names);

    // Every item into a memory block: a code, and never past the block.
    for (int index = 0; index < 3; ++index) {
      std::vector<uint8_t> block(96, 0xEE);
      UNZIPCMDSTRUCT m = cmd;
      m.Function = UNZIP_FILETOMEM;
      m.lpszFilespec = "";
      m.index = index;
      m.lpMemBlock = block.data();
      m.lMemBlockSize = 64;
      const int rc = OstranaUnzip(&m);
      EXPECT_TRUE(rc == 0 || rc == OU_BAD_STRUCTURE || rc == OU_INDEX_OUT_OF_BOUNDS || rc == OU_DISK_FULL ||
                  rc == OU_BAD_CRC)
          << "item " << index << ": " << rc;
      for (size_t i = 64; i < block.size(); ++i) ASSERT_EQ(0xEE, block[i]) << "item " << index;
    }

    // Empty the destination for the next archive.
    std::string rm = "rm -rf " + testenv::shell_quote(dest) + " && mkdir " + testenv::shell_quote(dest);
    ASSERT_EQ(0, std::system(rm.c_str()));
  }
  if (!absolute_existed) { EXPECT_FALSE(exists("/tmp/ostrana-absolute.txt")) << "an absolute name stays inside"; }
}

TEST_F(HostileArchives, ClimbingNamesAreNamedInTheirWarnings) {
  use(hostile_archives()[6]);
  EXPECT_EQ(0, extract("*.*"));
  const auto errors = shown(OSTRANA_DISPLAY_ERROR);
  ASSERT_EQ(4u, errors.size());
  for (const auto& e : errors) EXPECT_EQ(OU_USER_SKIPPED, e.code);
  for (const char* name : {"../escape1.txt", "sub/../../escape2.txt", "..\\escape3.txt", "sub/.."}) {
    bool named = false;
    for (const auto& e : errors) named |= e.text.find(name) != std::string::npos;
    EXPECT_TRUE(named) << name;
  }
}

TEST_F(HostileArchives, BombStopsAtTheOvergrowthRuleInTestAndExtraction) {
  use(hostile_archives().back());
  ASSERT_STREQ("bomb.zip", hostile_archives().back().file);
  cmd.testFlag = 1;
  EXPECT_EQ(OU_BAD_STRUCTURE, extract("bomb.bin"));
  cmd.testFlag = 0;
  EXPECT_EQ(OU_BAD_STRUCTURE, extract("bomb.bin"));
  EXPECT_FALSE(exists(dest + "/bomb.bin")) << "the overgrown output is not kept";
  // Into memory the block's size is the bound: it fills, and says so.
  std::vector<uint8_t> block(4096 + 16, 0xEE);
  UNZIPCMDSTRUCT m = cmd;
  m.Function = UNZIP_FILETOMEM;
  m.lpszFilespec = "";
  m.index = 0;
  m.lpMemBlock = block.data();
  m.lMemBlockSize = 4096;
  const int rc = OstranaUnzip(&m);
  EXPECT_TRUE(rc == OU_DISK_FULL || rc == OU_BAD_STRUCTURE) << rc;
  for (size_t i = 4096; i < block.size(); ++i) ASSERT_EQ(0xEE, block[i]);
}

}  // namespace
