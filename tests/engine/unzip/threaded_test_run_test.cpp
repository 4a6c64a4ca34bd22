/* tests/engine/unzip/threaded_test_run_test.cpp - testing an archive on several threads.
 *
 * Risks: a worker's verdict that differs from the calling thread's (a damaged
 * item passed, a good one failed), messages or result codes that depend on
 * the thread count, an item reported twice or out of order, a callback from a
 * worker thread.
 */
#include <cstring>
#include <set>
#include <thread>

#include "../zip/zip_writer_test_util.h"
#include "peer_run.h"

namespace {

using namespace writertest;

class ThreadedTestRun : public WriterTest {
 protected:
  void TearDown() override {
    unsetenv("OSTRANA_THREADS");
    WriterTest::TearDown();
  }

  struct Outcome {
    int rc = -1;
    std::vector<std::string> majors;     // "Item n of N", in order
    std::vector<std::string> minors100;  // the items reported finished, in order
    std::vector<std::string> shown;      // every message shown
    std::set<std::thread::id> threads;
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
    if (percent == 100) o->minors100.push_back(text);
    return 0;
  }

  /// Function 8 without a destination (a test) on @p threads threads.
  Outcome testArchive(int threads) {
    setenv("OSTRANA_THREADS", std::to_string(threads).c_str(), 1);
    Outcome o;
    UNZIPCMDSTRUCT c;
    std::memset(&c, 0, sizeof c);
    c.structSize = UNZIPCMDSTRUCT_SIZE_L600;
    c.Function = 8;
    c.lpszZIPFile = "a.zip";
    c.lpszFilespec = "*.*";
    c.recurseFlag = 1;
    c.testFlag = 1;
    c.lpMessageDisplay = enginetest::MessageRecorder::proc;
    c.lpMessageDisplayData = &messages;
    c.lpMajorStatus = major;
    c.lpMajorUserData = &o;
    c.lpMinorStatus = minor;
    c.lpMinorUserData = &o;
    c.wUnzipSubOptions = UNZIP_OPT_NO_PUMP;
    messages.calls.clear();
    o.rc = OstranaUnzip(&c);
    for (const auto& call : messages.shown()) o.shown.push_back(std::to_string(call.code) + " " + call.text);
    return o;
  }

  void makeArchive() {
    std::string text;
    for (int i = 0; text.size() < 3 << 20; ++i) text += "row " + std::to_string(i * 31 % 977) + " of the set\n";
    for (int i = 0; i < 40; ++i) put("s/f" + std::to_string(100 + i) + ".txt", text.substr(i * 1000, 3000 + i * 500));
    put("s/big.txt", text);  // more than a chunk: tested on the calling thread if too large for ahead
    put("s/empty.txt", "");
    put("s/stored.dat", noise(4000, 5));
    ZIPCMDSTRUCT cmd = record(ZIP_ADD, "s/*.*");
    cmd.recurseFlag = 1;
    ASSERT_EQ(OZ_SUCCESS, run(cmd));
  }

  /// Flips a byte in the middle of the data of entry @p name.
  void damage(const std::string& name) {
    std::vector<uint8_t> zip = bytes("a.zip");
    for (const auto& item : entries()) {
      if (item.name != name) continue;
      zip[item.data_offset + item.compressed_size / 2] ^= 0x5A;
      testenv::write_file("a.zip", zip);
      return;
    }
    FAIL() << name << " not found";
  }
};

TEST_F(ThreadedTestRun, SameVerdictsMessagesAndResultOnOneTwoAndSevenThreads) {
  makeArchive();
  for (const char* broken : {"", "s/f120.txt", "s/big.txt"}) {
    SCOPED_TRACE(std::string("damaged: ") + broken);
    if (*broken != '\0') damage(broken);
    const Outcome one = testArchive(1);
    if (*broken == '\0') { EXPECT_EQ(OU_SUCCESS, one.rc); }
    else EXPECT_NE(OU_SUCCESS, one.rc);
    for (int threads : {2, 7}) {
      const Outcome many = testArchive(threads);
      EXPECT_EQ(one.rc, many.rc) << threads;
      EXPECT_EQ(one.majors, many.majors) << threads;
      EXPECT_EQ(one.minors100, many.minors100) << threads;
      EXPECT_EQ(one.shown, many.shown) << threads;
      EXPECT_EQ(std::set<std::thread::id>{std::this_thread::get_id()}, many.threads);
    }
  }
}

}  // namespace
