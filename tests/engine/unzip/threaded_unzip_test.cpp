/* tests/engine/unzip/threaded_unzip_test.cpp - testing and extracting an archive on several threads.
 *
 * Risks: a worker's verdict that differs from the calling thread's (a damaged
 * item passed, a good one failed), files, messages or result codes that
 * depend on the thread count, an item reported twice or out of order, a
 * callback from a worker thread, a Stop that leaves a half-written file or a
 * worker waiting for memory nobody frees, an item larger than a worker may
 * hold that is written wrong where its buffers join.
 */
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "../zip/zip_writer_test_util.h"
#include "peer_run.h"

namespace {

using namespace writertest;

class ThreadedUnzip : public WriterTest {
 protected:
  void TearDown() override {
    unsetenv("OSTRANA_THREADS");
    WriterTest::TearDown();
  }

  struct Outcome {
    int rc = -1;
    std::vector<std::string> majors;     // "Item n of N", in order
    std::vector<std::string> minors;     // every item's progress, in order
    std::vector<std::string> shown;      // every message shown
    std::map<std::string, std::string> files;  // what the extraction left
    std::set<std::thread::id> threads;
    std::string stop_item;  // the minor status of this item stops the run...
    int stop_percent = 0;   // ...once it reaches this
  };

  static int major(const char* text, int, void* user) {
    auto* o = static_cast<Outcome*>(user);
    o->threads.insert(std::this_thread::get_id());
    o->majors.push_back(text);
    return 0;
  }
  static int minor(const char* text, int percent, void* user) {
    auto* o = static_cast<Outcome*>(user);
    o->threads.insert(std::this_thread::get_id());
    o->minors.push_back(std::string(text) + " " + std::to_string(percent));
    return !o->stop_item.empty() && std::strstr(text, o->stop_item.c_str()) && percent >= o->stop_percent;
  }

  /// Function 8 on @p threads threads: a test, or an extraction into out/ when @p extract.
  Outcome unzip(bool extract, int threads, const std::string& stop_item = "", int stop_percent = 0) {
    setenv("OSTRANA_THREADS", std::to_string(threads).c_str(), 1);
    const std::string out = dir + "/out";
    std::filesystem::remove_all(out);
    Outcome o;
    o.stop_item = stop_item;
    o.stop_percent = stop_percent;
    UNZIPCMDSTRUCT c;
    std::memset(&c, 0, sizeof c);
    c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    c.Function = 8;
    c.lpszZIPFile = "a.zip";
    c.lpszFilespec = "*.*";
    c.index = -1;
    c.recurseFlag = 1;
    c.testFlag = extract ? 0 : 1;
    if (extract) c.lpszDestination = out.c_str();
    c.lpMessageDisplay = enginetest::MessageRecorder::proc;
    c.lpMessageDisplayData = &messages;
    c.lpMajorStatus = major;
    c.lpMajorUserData = &o;
    c.lpMinorStatus = minor;
    c.lpMinorUserData = &o;
    c.wUnzipSubOptions = UNZIP_OPT_NO_PUMP | UNZIP_OPT_MINOR_CANCELS;
    messages.calls.clear();
    o.rc = OstranaUnzip(&c);
    for (const auto& call : messages.shown()) o.shown.push_back(std::to_string(call.code) + " " + call.text);
    if (std::filesystem::exists(out))
      for (const auto& f : std::filesystem::recursive_directory_iterator(out)) {
        if (!f.is_regular_file()) continue;
        std::ifstream in(f.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        o.files[std::filesystem::relative(f.path(), out).string()] = text.str();
      }
    return o;
  }

  /// The runs on 2 and 7 threads end as the one on one thread did.
  void expect_like_one_thread(bool extract, const std::string& stop_item = "", int stop_percent = 0) {
    const Outcome one = unzip(extract, 1, stop_item, stop_percent);
    if (!m_items.empty()) {
      for (const auto& [name, text] : one.files) EXPECT_EQ(m_items[name], text) << name;  // no stray or partial file
    }
    for (int threads : {2, 7}) {
      SCOPED_TRACE("threads: " + std::to_string(threads));
      const Outcome many = unzip(extract, threads, stop_item, stop_percent);
      EXPECT_EQ(one.rc, many.rc);
      EXPECT_EQ(one.majors, many.majors);
      EXPECT_EQ(one.minors, many.minors);
      EXPECT_EQ(one.shown, many.shown);
      EXPECT_EQ(one.files, many.files);
      for (std::thread::id id : many.threads) EXPECT_EQ(std::this_thread::get_id(), id) << "a callback from a worker";
    }
    m_last_rc = one.rc;
  }

  void makeArchive() {
    std::string text;
    for (int i = 0; text.size() < 9 << 20; ++i) text += "row " + std::to_string(i * 31 % 977) + " of the set\n";
    for (int i = 0; i < 40; ++i) add("s/f" + std::to_string(100 + i) + ".txt", text.substr(i * 1000, 3000 + i * 500));
    add("s/big.txt", text.substr(0, 3 << 20));  // held whole by a worker
    add("s/huge.txt", text);                    // more than a worker holds: it waits for the writes
    add("s/empty.txt", "");
    add("s/stored.dat", noise(4000, 5));
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "s/*.*");
    cmd.recurseFlag = 1;
    ASSERT_EQ(OZ_SUCCESS, run(cmd));
  }
  void add(const std::string& name, const std::string& text) {
    put(name, text);
    m_items[name] = text;
  }

  /// Flips a byte at @p where (a fraction) of the data of entry @p name.
  void damage(const std::string& name, double where) {
    std::vector<uint8_t> zip = bytes("a.zip");
    for (const auto& item : entries()) {
      if (item.name != name) continue;
      zip[item.data_offset + static_cast<uint64_t>(item.compressed_size * where)] ^= 0x5A;
      testenv::write_file("a.zip", zip);
      return;
    }
    FAIL() << name << " not found";
  }

  std::map<std::string, std::string> m_items;
  int m_last_rc = -1;
};

TEST_F(ThreadedUnzip, SameFilesVerdictsMessagesAndResultOnOneTwoAndSevenThreads) {
  makeArchive();
  const struct {
    const char* broken;
    double where;
  } cases[] = {{"", 0}, {"s/f120.txt", 0.5}, {"s/big.txt", 0.5}, {"s/huge.txt", 0.8}};
  const std::vector<uint8_t> good = bytes("a.zip");
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string("damaged: ") + k.broken);
    testenv::write_file("a.zip", good);
    if (*k.broken != '\0') damage(k.broken, k.where);
    for (bool extract : {false, true}) {
      SCOPED_TRACE(extract ? "extract" : "test");
      expect_like_one_thread(extract);
      if (*k.broken == '\0') { EXPECT_EQ(OU_SUCCESS, m_last_rc); }
      else EXPECT_NE(OU_SUCCESS, m_last_rc);
    }
  }
}

TEST_F(ThreadedUnzip, ManyItemsDamagedEitherSideOfTheFirstOnesHandedOverEndAsOnOneThread) {
  // A test hands its first 64 items to the workers while it still walks the
  // names, the rest after the walk: a long item among the later ones, and a
  // damaged item on either side of that seam, must end as on one thread.
  std::string text;
  for (int i = 0; text.size() < 2 << 20; ++i) text += "line " + std::to_string(i * 17 % 409) + " here\n";
  for (int i = 0; i < 130; ++i) {
    const std::string n = std::to_string(1000 + i).substr(1);
    add("m/i" + n + ".txt", i == 70 ? text : text.substr(i * 300, 700 + i * 40));
  }
  ZIPCMDSTRUCT cmd = record(ZIP_ADD, "m/*.*");
  cmd.recurseFlag = 1;
  ASSERT_EQ(OZ_SUCCESS, run(cmd));
  const std::vector<uint8_t> good = bytes("a.zip");
  for (const char* broken : {"", "m/i000.txt", "m/i063.txt", "m/i064.txt", "m/i070.txt", "m/i129.txt"}) {
    SCOPED_TRACE(std::string("damaged: ") + broken);
    testenv::write_file("a.zip", good);
    if (*broken != '\0') damage(broken, 0.5);
    for (bool extract : {false, true}) {
      SCOPED_TRACE(extract ? "extract" : "test");
      expect_like_one_thread(extract);
      EXPECT_EQ(*broken == '\0', m_last_rc == OU_SUCCESS) << m_last_rc;
    }
  }
}

TEST_F(ThreadedUnzip, StopEndsTheRunAsOnOneThreadAndLeavesNoPartialFile) {
  makeArchive();
  const struct {
    const char* item;
    int percent;
  } stops[] = {{"s/f110.txt", 0}, {"s/big.txt", 100}, {"s/huge.txt", 50}, {"s/stored.dat", 0}};
  for (const auto& s : stops)
    for (bool extract : {false, true}) {
      SCOPED_TRACE(std::string(extract ? "extract" : "test") + ", stop at " + s.item);
      expect_like_one_thread(extract, s.item, s.percent);
      EXPECT_EQ(OU_USER_CANCELLED, m_last_rc);
    }
}

TEST_F(ThreadedUnzip, PeerHostileAndDamagedArchivesEndAsOnOneThread) {
  // The extraction fuzz target's seeds: archives of 7-Zip, Python and
  // others, ciphers, climbing names, data that runs past the archive's end.
  const std::filesystem::path seeds = std::filesystem::path(OSTRANA_TEST_DATA) / "../fuzz/extract/corpus";
  int archives = 0;
  for (const auto& seed : std::filesystem::directory_iterator(seeds)) {
    SCOPED_TRACE(seed.path().filename().string());
    std::filesystem::copy_file(seed.path(), "a.zip", std::filesystem::copy_options::overwrite_existing);
    for (bool extract : {false, true}) expect_like_one_thread(extract);
    ++archives;
  }
  EXPECT_GT(archives, 5);
}

}  // namespace
