/* engine/unzip/ahead_test.cpp - testing the next items on worker threads. */
#include "engine/unzip/ahead_test.h"

#include <algorithm>
#include <new>

#include "engine/common/archive_input.h"
#include "engine/common/crc32.h"
#include "engine/common/local_header.h"
#include "engine/unzip/expand.h"
#include "platform/file.h"

namespace ostrana {

namespace {

/// Items tested ahead at most (finished or in the works).
constexpr size_t kAheadLimit = 32;

/// The archive file, noting whether a read failed (not: it ended).
class WatchedInput final : public ArchiveInput {
 public:
  explicit WatchedInput(platform::File& file) : m_file(file) {}
  int64_t length() override { return m_file.length(); }
  std::ptrdiff_t read_at(uint64_t offset, void* buf, size_t nbytes) override {
    std::ptrdiff_t got = m_file.read_at(offset, buf, nbytes);
    if (got < 0) failed = true;
    return got;
  }
  bool failed = false;

 private:
  FileArchiveInput m_file;
};

/// An item's stored bytes, read from the archive at their offset.
class StoredBytes final : public ByteSource {
 public:
  StoredBytes(ArchiveInput& in, uint64_t offset, uint64_t nbytes) : m_in(in), m_offset(offset), m_left(nbytes) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    size_t n = static_cast<size_t>(std::min<uint64_t>(avail, m_left));
    if (n == 0) return 0;
    std::ptrdiff_t got = m_in.read_at(m_offset, buf, n);
    if (got <= 0) return got;  // failed, or the archive ends inside the item
    m_offset += static_cast<uint64_t>(got);
    m_left -= static_cast<uint64_t>(got);
    return got;
  }

 private:
  ArchiveInput& m_in;
  uint64_t m_offset;
  uint64_t m_left;
};

/// Keeps only the CRC-32 and the count of what it is given.
class CrcSink final : public ByteSink {
 public:
  int write(const uint8_t* data, size_t nbytes) override {
    crc = crc32(crc, data, nbytes);
    count += nbytes;
    return 0;
  }
  uint32_t crc = 0;
  uint64_t count = 0;
};

}  // namespace

struct AheadTester::Job final : public WorkerJob {
  Job(AheadTester& t, const Item& i) : tester(t), item(i) {}
  void run(int slot) override {
    std::unique_ptr<platform::File>& file = tester.m_files[static_cast<size_t>(slot)];
    if (!file) return;  // it could not be opened: tested on the calling thread
    std::unique_ptr<Expander>& expander = tester.m_expanders[static_cast<size_t>(slot)];
    if (!expander) expander.reset(new (std::nothrow) Expander);
    if (!expander) return;
    WatchedInput input(*file);
    LocalEntry local;
    if (read_local_header(input, item.local_header_offset, item.raw_name, &local) != 0 || !local.name_matches) {
      if (input.failed) verdict = Verdict::kReadFailed;
      return;
    }
    StoredBytes source(input, local.data_offset, item.compressed_nbytes);
    CrcSink sink;
    ExpandRequest request;
    request.method = item.method;
    request.flags = item.flags;
    request.compressed_nbytes = item.compressed_nbytes;
    request.uncompressed_nbytes = item.uncompressed_nbytes;
    request.mode = ExpandMode::kToFile;
    request.source = &source;
    request.sink = &sink;
    const bool whole = expander->expand(request) == kExpandOk && sink.crc == item.crc32 &&
                       sink.count == item.uncompressed_nbytes;
    verdict = input.failed ? Verdict::kReadFailed : whole ? Verdict::kPassed : Verdict::kTestHere;
  }
  AheadTester& tester;
  Item item;
  Verdict verdict = Verdict::kTestHere;
};

std::unique_ptr<AheadTester> AheadTester::create(const std::string& archive_path, int threads) {
  if (threads < 2) return nullptr;
  std::unique_ptr<AheadTester> t(new (std::nothrow) AheadTester(archive_path, threads));
  if (!t || t->m_workers.threads() < 2) return nullptr;
  return t;
}

AheadTester::AheadTester(const std::string& archive_path, int threads)
    : m_path(archive_path), m_workers(threads) {
  m_files.resize(static_cast<size_t>(m_workers.threads()) + 1);
  m_expanders.resize(static_cast<size_t>(m_workers.threads()) + 1);
}

AheadTester::~AheadTester() {
  for (auto& job : m_ahead) m_workers.wait(*job);
}

void AheadTester::plan(std::vector<Item> items) {
  // A handle per thread, opened here so that a run makes the same calls
  // whichever thread takes which item.
  for (auto& file : m_files) {
    if (file) continue;
    file.reset(new (std::nothrow) platform::File);
    if (file && file->open(m_path, platform::File::Mode::kRead) != 0) file.reset();
  }
  m_plan = std::move(items);
  m_planned = 0;
  topUp();
}

void AheadTester::topUp() {
  while (m_planned < m_plan.size() && m_ahead.size() < kAheadLimit) {
    std::unique_ptr<Job> job(new (std::nothrow) Job(*this, m_plan[m_planned]));
    if (!job) return;
    ++m_planned;
    m_workers.submit(*job, false);
    m_ahead.push_back(std::move(job));
  }
}

AheadTester::Verdict AheadTester::verdict(uint64_t index) {
  // Items the run passed by (a stop, another walk) are dropped on the way.
  while (!m_ahead.empty() && m_ahead.front()->item.index != index) {
    auto it = std::find_if(m_ahead.begin(), m_ahead.end(), [&](const auto& j) { return j->item.index == index; });
    if (it == m_ahead.end()) return Verdict::kTestHere;
    m_workers.wait(*m_ahead.front());
    m_ahead.pop_front();
  }
  if (m_ahead.empty()) return Verdict::kTestHere;
  std::unique_ptr<Job> job = std::move(m_ahead.front());
  m_ahead.pop_front();
  if (!m_workers.runHereIfWaiting(*job)) m_workers.wait(*job);
  topUp();
  return job->verdict;
}

}  // namespace ostrana
