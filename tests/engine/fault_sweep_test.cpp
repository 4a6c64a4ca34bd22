/* tests/engine/fault_sweep_test.cpp - every file operation of a run fails once in turn.
 *
 * An `add`, an `update`, an in-place append, a repair, an encrypted `add`, a
 * split `add`, an `extract` and a `test` run of a small archive are
 * first run with the fault plan counting only, which tells how many calls of
 * each kind (open, read, write, seek, rename, remove, close, sync, folder,
 * attributes) the run makes.  Then each of those calls is made to fail, one
 * run per call.  Whatever fails, the run must end with one of the engine's
 * codes and:
 *   - a run that reports success has done all its work (the archive tests
 *     clean and holds every entry; every extracted file is complete);
 *   - a file that cannot be opened or a folder that cannot be listed gives
 *     code 18 and an archive whose entries are all whole (a new archive ends
 *     before the unopened file; an updated one keeps that file's old entry);
 *     an old archive that cannot be opened is code 18 with nothing written;
 *   - any other failed add leaves no archive, any other failed update leaves
 *     the old archive byte for byte; neither leaves a temporary file (unless
 *     the engine said it left the finished new archive under that name);
 *   - a failed extraction leaves no partly written file in the destination
 *     and nothing outside it.
 * The writer runs on two threads (files compressed ahead, a chunked entry).
 * Leaks and memory errors on these paths are the sanitizer build's to find:
 * the sweep runs in both suites.
 */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "zip/zip_writer_test_util.h"
#include "peer_run.h"
#include "platform/fault_injection.h"

namespace {

using platform::faults::Op;
namespace faults = platform::faults;

constexpr int kKinds = static_cast<int>(Op::kCount);

const char* kind_name(int kind) {
  static const char* const kNames[] = {"any",   "open",  "read", "write",  "seek",      "rename",
                                       "remove", "close", "sync", "folder", "attributes"};
  static_assert(sizeof kNames / sizeof kNames[0] == kKinds);
  return kNames[kind];
}

/// What the system would say: a full disk for writes, an I/O error otherwise.
int error_for(int kind) { return static_cast<Op>(kind) == Op::kWrite ? ENOSPC : EIO; }

bool is_zip_code(int rc) { return rc >= 0 && rc <= 22; }

bool is_unzip_code(int rc) {
  static const std::set<int> kCodes = {0,  2,  3,  4,  5,  9,  11, 12, 22, 25, 26, 28, 29,
                                       39, 40, 41, 42, 44, 45, 46, 47, 48, 49, 50};
  return kCodes.count(rc) != 0;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

/// A short stand-in for a file's content, so that a failure message stays readable.
std::string digest(const std::string& content) {
  return std::to_string(content.size()) + " bytes #" + std::to_string(std::hash<std::string>()(content));
}

std::map<std::string, std::string> digests(const std::map<std::string, std::string>& files) {
  std::map<std::string, std::string> out;
  for (const auto& [name, content] : files) out[name] = digest(content);
  return out;
}

/// Every regular file below @p root, by relative path, with its content's digest;
/// anything else (links, devices) is recorded as "<other>".
void walk(const std::string& root, const std::string& relative, std::map<std::string, std::string>* files_ret) {
  DIR* d = ::opendir((root + relative).c_str());
  if (d == nullptr) return;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    struct stat st;
    if (::lstat((root + "/" + rel).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      walk(root, "/" + rel, files_ret);
    } else if (S_ISREG(st.st_mode)) {
      auto bytes = testenv::read_file(root + "/" + rel);
      (*files_ret)[rel] = digest(std::string(bytes.begin(), bytes.end()));
    } else {
      (*files_ret)[rel] = "<other>";
    }
  }
  ::closedir(d);
}

std::map<std::string, std::string> files_below(const std::string& root) {
  std::map<std::string, std::string> files;
  walk(root, "", &files);
  std::map<std::string, std::string> cleaned;  // walk() builds "/a/b" below the top level
  for (auto& [k, v] : files) cleaned[k[0] == '/' ? k.substr(1) : k] = v;
  return cleaned;
}

void remove_tree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* d = ::opendir(path.c_str())) {
      while (dirent* e = ::readdir(d)) {
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

class FaultSweep : public writertest::WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    std::string text;
    for (int i = 0; text.size() < 6000; ++i) text += "line " + std::to_string(i) + " of the notes\n";
    std::string noise;
    for (uint32_t x = 7; noise.size() < 1500; x = x * 1103515245 + 12345) noise += static_cast<char>(x >> 23);
    // One file larger than a compression chunk: on two threads it goes through
    // the chunked path, the small ones are compressed ahead.
    std::string big;
    while (big.size() < (1u << 20) + 5000) big += text;
    m_files = {{"notes.txt", text}, {"data/raw.bin", noise}, {"data/small.txt", "small"}, {"data/big.txt", big}};
    for (const auto& [name, content] : m_files) put(name, content, 1300000000);
    setenv("OSTRANA_THREADS", "2", 1);
  }
  void TearDown() override {
    faults::disarm();
    unsetenv("OSTRANA_THREADS");
    WriterTest::TearDown();
  }

  /// A fresh engine state: no directory read by an earlier run is reused,
  /// so every run makes the same file calls.
  static void fresh_state() {
    OstranaUnzipStateCreate();
    OstranaZipStateCreate();
  }

  /// Runs @p run once counting calls, then once per call with that call
  /// failing; @p prepare restores the starting state before every run and
  /// @p check judges each run's outcome (kind 0 for the clean run).
  void sweep(const std::function<void()>& prepare, const std::function<int()>& run,
             const std::function<void(int kind, long nth, int rc)>& check, long max_per_kind = LONG_MAX) {
    prepare();
    fresh_state();
    faults::arm(Op::kAny, LONG_MAX, EIO);
    const int clean_rc = run();
    long counts[kKinds];
    for (int k = 0; k < kKinds; ++k) counts[k] = faults::calls(static_cast<Op>(k));
    faults::disarm();
    ASSERT_EQ(0, clean_rc);
    check(0, 0, clean_rc);
    ASSERT_GT(counts[0], 3) << "the run makes file calls";
    std::string tally;
    for (int k = 1; k < kKinds; ++k)
      if (counts[k] != 0) tally += std::string(" ") + kind_name(k) + " " + std::to_string(counts[k]);
    std::printf("[ sweep    ] %ld file calls:%s\n", counts[0], tally.c_str());
    for (int kind = 1; kind < kKinds; ++kind) {
      for (long nth = 1; nth <= std::min(counts[kind], max_per_kind); ++nth) {
        prepare();
        fresh_state();
        faults::arm(static_cast<Op>(kind), nth, error_for(kind));
        const int rc = run();
        const bool fired = faults::fired();
        faults::disarm();
        SCOPED_TRACE(std::string(kind_name(kind)) + " call " + std::to_string(nth) + " failed, result " +
                     std::to_string(rc));
        EXPECT_TRUE(fired) << "the run makes the same calls every time";
        check(kind, nth, rc);
        ++m_runs;
      }
    }
    EXPECT_GT(m_runs, 0);
  }

  /// Function 8 on @p archive: testing when @p into is empty, else extracting there.
  int unzip(const std::string& archive, const std::string& into) {
    UNZIPCMDSTRUCT c;
    std::memset(&c, 0, sizeof c);
    c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    c.Function = UNZIP_EXTRACT;
    c.lpszZIPFile = archive.c_str();
    c.index = -1;
    c.recurseFlag = 1;
    c.lpszFilespec = "*.*";
    c.quietFlag = 1;
    c.overWriteFlag = 1;
    c.testFlag = into.empty();
    c.lpszDestination = into.empty() ? nullptr : into.c_str();
    c.lpMessageDisplay = enginetest::MessageRecorder::proc;
    c.lpMessageDisplayData = &messages;
    c.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    if (!m_password.empty()) {
      c.decryptFlag = 1;
      c.lpszDecryptCode = m_password.c_str();
    }
    messages.calls.clear();
    return OstranaUnzip(&c);
  }

  /// The archive tests clean; @return what it holds (name -> digest).
  std::map<std::string, std::string> archive_content(const std::string& archive) {
    OstranaUnzipStateCreate();
    EXPECT_EQ(0, unzip(archive, ""));
    const std::string check = dir + "/check";
    remove_tree(check);
    EXPECT_EQ(0, ::mkdir(check.c_str(), 0777));
    EXPECT_EQ(0, unzip(archive, check));
    auto content = files_below(check);
    remove_tree(check);
    return content;
  }

  /// The archive holds exactly @p expected (name -> content) and tests clean.
  void expect_complete(const std::string& archive, const std::map<std::string, std::string>& expected) {
    EXPECT_EQ(digests(expected), archive_content(archive));
  }

  /// After code 18: the archive tests clean, and each entry it holds is whole
  /// and is one of @p allowed (name -> the contents it may have).
  void expect_whole_but_for_missing(const std::multimap<std::string, std::string>& allowed, size_t at_least) {
    auto content = archive_content("a.zip");
    EXPECT_GE(content.size(), at_least) << "the archive has " << bytes("a.zip").size() << " bytes";
    for (const auto& [name, got] : content) {
      bool known = false;
      auto range = allowed.equal_range(name);
      for (auto it = range.first; it != range.second; ++it) known |= digest(it->second) == got;
      EXPECT_TRUE(known) << name << " holds " << got;
    }
  }

  /// Temporary files left in the archive's folder: only allowed when the
  /// engine told the user it left the new archive there (and it is whole).
  void expect_no_stray_temporary(const std::map<std::string, std::string>& expected) {
    for (const std::string& left : temp_files()) {
      bool announced = false;
      for (const std::string& w : shown(OSTRANA_DISPLAY_WARNING))
        announced |= w.find(left) != std::string::npos;
      EXPECT_TRUE(announced) << "temporary file left without a word: " << left;
      if (announced) expect_complete(left, expected);
      ::unlink(left.c_str());
    }
  }

  /// Sweeps @p run, an update of the archive @p before that should give
  /// @p after: success holds @p after, failure leaves @p before byte for byte
  /// once the next run has opened it (an append cut short is undone then),
  /// and nothing of the failed run is left beside it.
  void sweep_update(const std::vector<uint8_t>& before, const std::function<void()>& prepare,
                    const std::function<int()>& run, const std::map<std::string, std::string>& after) {
    sweep([&] {
      testenv::write_file("a.zip", before);
      prepare();
    }, run, [&](int, long, int rc) {
      EXPECT_TRUE(is_zip_code(rc));
      expect_no_stray_temporary(after);
      if (rc == 0) {
        expect_complete("a.zip", after);
      } else {
        (void)unzip("a.zip", "");
        EXPECT_EQ(before, bytes("a.zip")) << "a failed update leaves the old archive";
      }
      EXPECT_FALSE(exists("a.zip.ostrana-rollback"));
    });
  }

  std::map<std::string, std::string> m_files;
  std::string m_password;  ///< for reading the archive back
  long m_runs = 0;
};

TEST_F(FaultSweep, AddOfANewArchive) {
  sweep([&] { ::unlink("a.zip"); },
        [&] { return zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"); },
        [&](int kind, long, int rc) {
          EXPECT_TRUE(is_zip_code(rc));
          if (rc == 0) {
            expect_complete("a.zip", m_files);
          } else if (rc == OZ_NOT_FOUND && exists("a.zip")) {
            // The new archive ends before the file that could not be opened.
            expect_whole_but_for_missing({m_files.begin(), m_files.end()}, 0);
          } else {
            EXPECT_FALSE(exists("a.zip")) << "a failed add leaves no archive";
          }
          if (static_cast<Op>(kind) == Op::kRead) { EXPECT_NE(0, rc) << "a file that cannot be read is no success"; }
          expect_no_stray_temporary(m_files);
        });
}

TEST_F(FaultSweep, UpdateKeepsTheOldArchiveByteForByte) {
  ASSERT_EQ(0, zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"));
  const auto before = bytes("a.zip");
  auto updated = m_files;
  updated["notes.txt"] = m_files["notes.txt"] + "one more line\n";
  updated["new.txt"] = "a new file";
  sweep(
      [&] {
        testenv::write_file("a.zip", before);
        put("notes.txt", updated["notes.txt"], 1400000000);
        put("new.txt", updated["new.txt"], 1400000000);
      },
      [&] { return zip(ZIP_UPDATE, "notes.txt data/raw.bin data/small.txt new.txt"); },
      [&](int kind, long, int rc) {
        EXPECT_TRUE(is_zip_code(rc));
        if (rc == 0) {
          expect_complete("a.zip", updated);
        } else if (rc == OZ_NOT_FOUND) {
          // What could not be read keeps its old entry (or is not added).
          std::multimap<std::string, std::string> allowed(m_files.begin(), m_files.end());
          allowed.insert(updated.begin(), updated.end());
          expect_whole_but_for_missing(allowed, m_files.size());
        } else {
          EXPECT_EQ(before, bytes("a.zip")) << "a failed update leaves the old archive";
        }
        // Reading the files or the old archive cannot fail unnoticed.
        if (static_cast<Op>(kind) == Op::kRead) { EXPECT_NE(0, rc); }
        expect_no_stray_temporary(updated);
      });
}

TEST_F(FaultSweep, GrowAppendsWholeOrNotAtAll) {
  ASSERT_EQ(0, zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"));
  const auto before = bytes("a.zip");
  auto after = m_files;
  after["late.txt"] = "appended in place";
  put("late.txt", after["late.txt"], 1300000000);
  ZIPCMDSTRUCT grow = record(ZIP_ADD, "late.txt");
  grow.growExistingFlag = 1;
  sweep_update(before, [] {}, [&] { return run(grow); }, after);
}

TEST_F(FaultSweep, RepairRewritesWholeOrNotAtAll) {
  ASSERT_EQ(0, zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"));
  auto before = bytes("a.zip");
  before.resize(before.size() - 10);  // the end record cut: only a repair reads it
  ZIPCMDSTRUCT fix = record(ZIP_ADD, "");
  fix.fixFlag = 1;
  sweep_update(before, [] {}, [&] { return run(fix); }, m_files);
}

TEST_F(FaultSweep, EncryptedAddAndSplitOutput) {
  m_password = "sweep pass";
  ZIPCMDSTRUCT locked = record(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt");
  locked.encryptFlag = 1;
  locked.lpszEncryptCode = m_password.c_str();
  sweep([&] { ::unlink("a.zip"); }, [&] { return run(locked); }, [&](int, long, int rc) {
    EXPECT_TRUE(is_zip_code(rc));
    if (rc == 0) expect_complete("a.zip", m_files);
    else if (rc == OZ_NOT_FOUND && exists("a.zip")) expect_whole_but_for_missing({m_files.begin(), m_files.end()}, 0);
    else EXPECT_FALSE(exists("a.zip"));
    expect_no_stray_temporary(m_files);
  });
  m_password.clear();

  auto big = m_files;
  big.erase("data/big.txt");  // stored, it would need more parts than the sweep clears
  big["data/big.bin"] = writertest::noise(150000, 3);
  put("data/big.bin", big["data/big.bin"], 1300000000);
  const uint32_t sizes[] = {65536, 0};
  ZIPCMDSTRUCT split = record(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.bin");
  split.compFactor = 0;
  split.wMultiVolControl = ZIP_MV_ENABLED | ZIP_MV_SPLIT;
  split.wZipSubOptions |= ZIP_OPT_ANY_MEDIA;
  split.pulFileSizeArray = const_cast<uint32_t*>(sizes);
  auto no_parts = [] {
    for (const char* part : {"a.zip", "a.z01", "a.z02", "a.z03"}) ::unlink(part);
  };
  sweep(no_parts, [&] { return run(split); }, [&](int, long, int rc) {
    EXPECT_TRUE(is_zip_code(rc));
    if (rc == 0) {
      expect_complete("a.zip", big);
    } else if (rc == OZ_NOT_FOUND && exists("a.zip")) {
      expect_whole_but_for_missing({big.begin(), big.end()}, 0);  // ends before the unopened file
    } else {
      for (const char* part : {"a.zip", "a.z01", "a.z02", "a.z03"}) EXPECT_FALSE(exists(part)) << part;
    }
    expect_no_stray_temporary(big);
  }, 12);  // the run removes parts 2..999 of an older set by name: the first dozen stand for them
}

TEST_F(FaultSweep, ExtractLeavesOnlyCompleteFiles) {
  ASSERT_EQ(0, zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"));
  const std::string dest = dir + "/dest";
  const auto outside = files_below(dir);
  sweep(
      [&] {
        remove_tree(dest);
        ASSERT_EQ(0, ::mkdir(dest.c_str(), 0777));
      },
      [&] { return unzip("a.zip", dest); },
      [&](int kind, long, int rc) {
        EXPECT_TRUE(is_unzip_code(rc));
        auto got = files_below(dest);
        for (const auto& [name, content] : got) {
          auto want = m_files.find(name);
          if (want == m_files.end()) ADD_FAILURE() << "stray file in the destination: " << name;
          else EXPECT_EQ(digest(want->second), content) << name << " is partly written";
        }
        if (rc == 0) { EXPECT_EQ(digests(m_files), got); }
        const Op op = static_cast<Op>(kind);
        if (op == Op::kRead || op == Op::kWrite || op == Op::kRename) { EXPECT_NE(0, rc); }
        remove_tree(dest);
        EXPECT_EQ(outside, files_below(dir)) << "nothing changes beside the destination";
        ::mkdir(dest.c_str(), 0777);
      });
}

TEST_F(FaultSweep, TestRunReportsEveryFailedRead) {
  ASSERT_EQ(0, zip(ZIP_ADD, "notes.txt data/raw.bin data/small.txt data/big.txt"));
  const auto before = bytes("a.zip");
  sweep([] {}, [&] { return unzip("a.zip", ""); },
        [&](int kind, long, int rc) {
          EXPECT_TRUE(is_unzip_code(rc));
          const Op op = static_cast<Op>(kind);
          // An open is tried again (a passing fault may go away); a read is not.
          if (op == Op::kRead || op == Op::kSeek) { EXPECT_NE(0, rc); }
          EXPECT_EQ(before, bytes("a.zip"));
        });
}

}  // namespace

namespace {

class UnlistableFolder : public writertest::WriterTest {
 protected:
  void TearDown() override {
    platform::faults::disarm();
    WriterTest::TearDown();
  }
};

// A folder that exists but cannot be listed used to leave its files out of
// the archive while the run reported success.
TEST_F(UnlistableFolder, IsCode18NamingTheFolderAndTheRestIsWritten) {
  put("top.txt", "top");
  put("docs/a.txt", "a");
  put("docs/b.txt", "b");
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "top.txt docs/*.txt");
  ASSERT_EQ(0, run(cmd));
  const size_t all = names().size();  // the files and the folder entry
  int listings = 0;
  // The first listing of every run is the sweep of the archive's folder for
  // leftover temporary archives; an unreadable folder there changes nothing.
  for (long nth = 2;; ++nth) {
    ::unlink("a.zip");
    platform::faults::arm(platform::faults::Op::kFolder, nth, EACCES);
    const int rc = run(cmd);
    const bool fired = platform::faults::fired();
    platform::faults::disarm();
    if (!fired) break;
    if (rc == OZ_CREATE_FAILED) continue;  // making the archive's folder, not listing one
    ++listings;
    SCOPED_TRACE("listing " + std::to_string(nth) + " refused");
    EXPECT_EQ(OZ_NOT_FOUND, rc);
    EXPECT_LT(names().size(), all) << "what the folder holds is missing, and said to be";
    const auto errors = shown(OSTRANA_DISPLAY_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("File not found or no read permission (")) << errors[0];
  }
  EXPECT_GE(listings, 2);

  // A folder that is not there is no such fault: the item simply matches nothing.
  put("other.txt", "o");
  EXPECT_EQ(0, zip(ZIP_ADD, "other.txt nowhere/*.txt"));
}

}  // namespace
