/* tests/engine/zip/threaded_writer_test.cpp - the archive writer compressing on several threads.
 *
 * Risks: an archive that depends on the thread count (a chunk primed with the
 * wrong history, a small file compressed ahead with other options than its
 * turn would use, a cut one byte off at a chunk boundary); a chunked stream a
 * peer refuses; a callback made from a worker thread; a Stop that lets the
 * workers run on or leaves a half-written archive behind.
 */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <utility>

#include "peer_run.h"
#include "scoped_env.h"
#include "zip_writer_test_util.h"

namespace {

using namespace writertest;

constexpr size_t kChunk = 1 << 20;  // the compressor's chunk size

class ThreadedWriter : public WriterTest {
 protected:

  /// A tree with files on both sides of every size the threads treat apart.
  void makeTree() {
    std::string text;
    for (int i = 0; text.size() < 3 * kChunk; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of the tree\n";
    for (int i = 0; i < 30; ++i) put("t/small" + std::to_string(i) + ".txt", text.substr(i * 97, 200 + i * 331));
    put("t/empty.txt", "");
    put("t/one_chunk.txt", text.substr(0, kChunk));
    put("t/chunk_and_a_byte.txt", text.substr(5, kChunk + 1));
    put("t/sub/mixed.bin", text.substr(0, kChunk) + noise(kChunk / 2, 7) + text.substr(11, kChunk));
    put("t/sub/noise.dat", noise(300000, 8));
    put("t/already.zip", noise(5000, 9));  // a store suffix
  }

  /// The tree archived on @p threads threads (1: the record's one-thread option).
  std::vector<uint8_t> archive(int level, int threads) {
    std::remove("a.zip");
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "t/*.*");
    cmd.recurseFlag = 1;
    cmd.compFactor = level;
    if (threads == 1) cmd.lZipSubOptions2 |= ZIP_OPT2_ONE_THREAD;
    else setenv("OSTRANA_THREADS", std::to_string(threads).c_str(), 1);
    EXPECT_EQ(OZ_SUCCESS, run(cmd)) << "level " << level << ", " << threads << " threads";
    return bytes("a.zip");
  }

  // The tests set the thread count freely; the old setting comes back after each.
  const testenv::ScopedEnv m_threads{"OSTRANA_THREADS", std::getenv("OSTRANA_THREADS")};
};

TEST_F(ThreadedWriter, TheArchiveIsTheSameOnOneTwoAndSevenThreadsAndEveryPeerReadsIt) {
  makeTree();
  for (int level : {1, 7, 9, 12}) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::vector<uint8_t> one = archive(level, 1);
    ASSERT_FALSE(one.empty());
    EXPECT_TRUE(one == archive(level, 2));
    EXPECT_TRUE(one == archive(level, 7));
    setenv("OSTRANA_THREADS", "1", 1);  // the setting alone also keeps to one thread
    std::remove("a.zip");
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "t/*.*");
    cmd.recurseFlag = 1;
    cmd.compFactor = level;
    ASSERT_EQ(OZ_SUCCESS, run(cmd));
    EXPECT_TRUE(one == bytes("a.zip"));
  }
  // The chunked streams (two entries span chunks) and the rest, through the peers.
  archive(6, 2);
  if (testenv::have_7zz()) { EXPECT_EQ(0, testenv::run_command("7zz t a.zip >/dev/null 2>&1")); }
  EXPECT_EQ(0, testenv::run_command("bsdtar -tf a.zip >/dev/null 2>&1"));
  EXPECT_EQ(0, testenv::run_command("python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(\"a.zip\").testzip() "
                                    "is not None)'"));
}

/// Every callback of a run, with the thread it came from.
struct CallbackLog {
  std::set<std::thread::id> threads;
  int minors = 0;
  int minors_after_cancel = 0;
  int majors_after_cancel = 0;
  int cancel_at = 0;  // the minor report that answers Stop (0: never)
  bool cancelled = false;
  std::chrono::steady_clock::time_point cancelled_at;
  std::function<void()> at_first_major;  // e.g. a file changed behind the run's back
};

int minorStatus(const char*, int, void* user) {
  auto* log = static_cast<CallbackLog*>(user);
  log->threads.insert(std::this_thread::get_id());
  if (log->cancelled) ++log->minors_after_cancel;
  if (++log->minors == log->cancel_at) {
    log->cancelled = true;
    log->cancelled_at = std::chrono::steady_clock::now();
  }
  return log->cancelled ? 1 : 0;
}

int majorStatus(const char*, int, void* user) {
  auto* log = static_cast<CallbackLog*>(user);
  log->threads.insert(std::this_thread::get_id());
  if (log->cancelled) ++log->majors_after_cancel;
  if (log->at_first_major) std::exchange(log->at_first_major, nullptr)();
  return 0;
}

TEST_F(ThreadedWriter, EveryCallbackComesFromTheCallingThread) {
  makeTree();
  setenv("OSTRANA_THREADS", "4", 1);
  CallbackLog log;
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "t/*.*");
  cmd.recurseFlag = 1;
  cmd.lpMinorStatus = minorStatus;
  cmd.lpMinorUserData = &log;
  cmd.lpMajorStatus = majorStatus;
  cmd.lpMajorUserData = &log;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  EXPECT_GT(log.minors, 30);
  EXPECT_EQ(std::set<std::thread::id>{std::this_thread::get_id()}, log.threads);
}

TEST_F(ThreadedWriter, AFileThatVanishesOrChangesBeforeItsTurnEndsAsOnOneThread) {
  // Far enough behind 150 others that no worker has read it when it changes.  The files
  // written for each run get one fixed time, so two runs a second apart store the same.
  constexpr int64_t kTime = 1700000000;
  for (int i = 0; i < 150; ++i) put("t/f" + std::to_string(i) + ".txt", std::string(300 + i, 'a' + i % 26));
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"vanishes", [] { std::remove("late.txt"); }},
      {"grows", [this] { put("late.txt", std::string(5000, 'g') + noise(3000, 4), kTime); }},
  };
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(std::string("the file ") + what);
    std::vector<int> results;
    std::vector<std::vector<uint8_t>> archives;
    for (int threads : {1, 2}) {
      put("late.txt", "the late file's first contents", kTime);
      put("last.txt", "after it", kTime);
      std::remove("a.zip");
      setenv("OSTRANA_THREADS", std::to_string(threads).c_str(), 1);
      CallbackLog log;
      log.at_first_major = change;
      ZIPCMDSTRUCT cmd = record(ZIP_ADD, "t/*.* late.txt last.txt");
      cmd.lpMajorStatus = majorStatus;
      cmd.lpMajorUserData = &log;
      results.push_back(run(cmd));
      archives.push_back(bytes("a.zip"));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(std::string(what) == "vanishes", results[0] != OZ_SUCCESS);
    ASSERT_FALSE(archives[0].empty());
    EXPECT_TRUE(archives[0] == archives[1]);
  }
}

TEST_F(ThreadedWriter, StopEndsATwoThreadRunAtOnceAndKeepsTheOldArchive) {
  // OSTRANA_STOP_TEST_MB sizes the big file (ctest -L heavy runs it with 300).
  const char* mb = std::getenv("OSTRANA_STOP_TEST_MB");
  const size_t megabytes = mb ? std::strtoul(mb, nullptr, 10) : 24;
  put("old.txt", "the archive before");
  ASSERT_EQ(OZ_SUCCESS, zip(ZIP_ADD, "old.txt"));
  const std::vector<uint8_t> before = bytes("a.zip");
  {
    std::string block = noise(kChunk / 2, 3);
    block += std::string(kChunk / 2, 'x');
    FILE* f = std::fopen("big.bin", "wb");
    ASSERT_NE(nullptr, f);
    for (size_t i = 0; i < megabytes; ++i) ASSERT_EQ(block.size(), std::fwrite(block.data(), 1, block.size(), f));
    std::fclose(f);
  }
  setenv("OSTRANA_THREADS", "2", 1);
  for (int level : {1, 3, 9}) {
    SCOPED_TRACE("level " + std::to_string(level));
    CallbackLog log;
    log.cancel_at = 4;  // a few chunks in, with chunks in flight on both workers
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "big.bin");
    cmd.compFactor = level;
    cmd.wZipSubOptions |= ZIP_OPT_MINOR_CANCELS;
    cmd.lpMinorStatus = minorStatus;
    cmd.lpMinorUserData = &log;
    cmd.lpMajorStatus = majorStatus;
    cmd.lpMajorUserData = &log;
    EXPECT_EQ(OZ_INTERRUPTED, run(cmd));
    // How long the run took to end after the report that answered Stop: the
    // workers finish the block in hand, the partial archive is removed.  A
    // figure for the record, not a pass mark (the machine may be loaded).
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                          log.cancelled_at).count();
    RecordProperty("stop_ms_level_" + std::to_string(level), static_cast<int>(ms));
    std::printf("level %d, %zu MB: the run ended %lld ms after Stop\n", level, megabytes, static_cast<long long>(ms));
    EXPECT_TRUE(log.cancelled);
    EXPECT_EQ(0, log.minors_after_cancel) << "no chunk is read after Stop";
    EXPECT_EQ(0, log.majors_after_cancel);
    EXPECT_TRUE(before == bytes("a.zip"));
    EXPECT_TRUE(temp_files().empty());
  }
}

}  // namespace
