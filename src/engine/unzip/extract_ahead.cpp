/* engine/unzip/extract_ahead.cpp - expanding the next items on worker threads. */
#include "engine/unzip/extract_ahead.h"

#include <algorithm>
#include <new>

#include "engine/common/archive_input.h"
#include "engine/common/crc32.h"
#include "engine/common/local_header.h"
#include "engine/unzip/decrypt.h"
#include "engine/unzip/expand.h"
#include "ostrana_results.h"
#include "platform/file.h"

namespace ostrana {

namespace {

/// Items in the works at most (submitted, finished or not).  A test keeps
/// only a verdict per item, so its window is wide: a long item then runs on
/// one worker while the others go far ahead (an archive of 10,000 short
/// items behind a long one keeps the calling thread busy to the end).
constexpr size_t kTestWindow = 16384;
constexpr size_t kExtractWindow = 64;
/// A test keeps an item's progress reports (one per output buffer of the
/// expander, 61,440 bytes): at most this many per item before its worker
/// waits for the calling thread, and about kTestHeldReports for all items in
/// the works.  A small archive of many gigabytes of zeros stays in bounds.
constexpr uint64_t kTestItemReports = 16384;
constexpr uint64_t kTestHeldReports = 262144;
constexpr uint64_t kReportNbytes = 61440;
/// The longest item an extraction's calling thread expands ahead while it
/// waits for another: its output fits in any job's room, so it never waits
/// itself (nothing but that thread would make room).
constexpr uint64_t kHelpNbytes = 1u << 20;
/// The same for a test, whose calling thread then does the other items while
/// a worker expands a long one.  An expander reports about once per output
/// buffer (a flush may end on a short one), so an item of this size makes at
/// most about half of kTestItemReports.
constexpr uint64_t kTestHelpNbytes = kTestItemReports / 2 * kReportNbytes;
/// Spare buffers kept for the workers to fill again.
constexpr size_t kSpareBuffers = 96;

/// An item's stored bytes, read from the archive at their offset, as the
/// calling thread reads them from a single volume: the end of the file ends
/// them, a failed read is 2.
class StoredBytes final : public ByteSource {
 public:
  StoredBytes(ArchiveInput& in, uint64_t offset, uint64_t nbytes) : m_in(in), m_offset(offset), m_left(nbytes) {}
  std::ptrdiff_t read(uint8_t* buf, size_t avail) override {
    if (m_error != 0) return -1;
    size_t n = static_cast<size_t>(std::min<uint64_t>(avail, m_left));
    if (n == 0) return 0;
    std::ptrdiff_t got = m_in.read_at(m_offset, buf, n);
    if (got < 0) {
      m_error = OU_UNEXPECTED_EOF;
      return -1;
    }
    m_offset += static_cast<uint64_t>(got);
    m_left -= static_cast<uint64_t>(got);
    return got;
  }
  int error() const override { return m_error; }

 private:
  ArchiveInput& m_in;
  uint64_t m_offset;
  uint64_t m_left;
  int m_error = 0;
};

}  // namespace

struct AheadExpander::Job final : public WorkerJob {
  enum class State { kQueued, kRunning, kFinished, kTakenBack };
  /// One call the worker's expander made: a write to its sink (extracting
  /// only) or a progress report.
  struct Event {
    std::vector<uint8_t> bytes;
    bool progress;
    uint64_t out_nbytes;
    uint64_t in_nbytes;
  };

  Job(AheadExpander& o, const Item& i, uint64_t r) : owner(o), item(i), reserve(r) {}
  void run(int slot) override;
  /// Expands the item on a worker.  @return what the expander returned, or
  /// kNotAhead when it could not be run there.
  int expand_here(int slot);

  AheadExpander& owner;
  const Item& item;  // in owner.m_plan, which only grows at its end during the run
  const uint64_t reserve;  // what it may hold, counted against the window
  // Under owner.m_lock:
  State state = State::kQueued;
  bool cancel = false;   // the calling thread is done with it
  bool watched = false;  // the calling thread waits for it
  /// The calls not yet taken by the calling thread, oldest first.  A vector
  /// that is emptied whenever it was taken to its end: a job allocates
  /// nothing until its worker calls, and the window may hold many jobs.
  struct Events {
    std::vector<Event> list;
    size_t first = 0;
    bool empty() const { return first == list.size(); }
    Event take() {
      Event e = std::move(list[first]);
      if (++first == list.size()) clear();
      return e;
    }
    void clear() {
      list.clear();
      first = 0;
    }
  } events;
  uint64_t held = 0;         // their bytes (extracting) or their reports (testing)
  bool header_done = false;  // the local header was read: header_rc, local
  int header_rc = 0;
  LocalEntry local;
  int expand_rc = kNotAhead;  // once finished
  uint32_t crc = 0;           // of the output
  uint64_t out_nbytes = 0;
};

namespace {

/// A worker's sink and hooks: the CRC-32 and the count of the output, and
/// every call of its expander for the calling thread to make again.
class WorkerOutput final : public ByteSink, public ExpandHooks {
 public:
  WorkerOutput(AheadExpander::Job& job, std::mutex& lock, std::condition_variable& progress,
               std::condition_variable& room, std::vector<std::vector<uint8_t>>& spare, bool keep)
      : m_job(job), m_lock(lock), m_progress(progress), m_room(room), m_spare(spare), m_keep(keep) {}

  int write(const uint8_t* data, size_t nbytes) override {
    crc = crc32(crc, data, nbytes);
    count += nbytes;
    if (!m_keep) return 0;  // a test: the bytes are not wanted
    std::vector<uint8_t> buffer;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      m_room.wait(lock, [&] { return m_job.cancel || m_job.held < kAheadItemNbytes; });
      if (m_job.cancel) return kExpandCancelled;
      if (!m_spare.empty()) {
        buffer = std::move(m_spare.back());
        m_spare.pop_back();
      }
    }
    buffer.assign(data, data + nbytes);
    std::lock_guard<std::mutex> lock(m_lock);
    m_job.held += nbytes;
    m_job.events.list.push_back({std::move(buffer), false, 0, 0});
    if (m_job.watched) m_progress.notify_all();
    return 0;
  }

  int output_progress(uint64_t out_nbytes, uint64_t in_nbytes) override {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_keep) {
      m_room.wait(lock, [&] { return m_job.cancel || m_job.held < kTestItemReports; });
      if (m_job.cancel) return 1;
      ++m_job.held;
    }
    m_job.events.list.push_back({std::vector<uint8_t>(), true, out_nbytes, in_nbytes});
    if (m_job.watched) m_progress.notify_all();
    return m_job.cancel ? 1 : 0;
  }

  uint32_t crc = 0;
  uint64_t count = 0;

 private:
  AheadExpander::Job& m_job;
  std::mutex& m_lock;
  std::condition_variable& m_progress;
  std::condition_variable& m_room;
  std::vector<std::vector<uint8_t>>& m_spare;
  const bool m_keep;
};

}  // namespace

void AheadExpander::Job::run(int slot) {
  {
    std::lock_guard<std::mutex> lock(owner.m_lock);
    if (state != State::kQueued) return;  // taken back by the calling thread
    state = State::kRunning;
  }
  const int rc = expand_here(slot);
  std::lock_guard<std::mutex> lock(owner.m_lock);
  expand_rc = rc;
  state = State::kFinished;
  if (watched) owner.m_progress.notify_all();
}

int AheadExpander::Job::expand_here(int slot) {
  std::unique_ptr<platform::File>& file = owner.m_files[static_cast<size_t>(slot)];
  if (!file) return kNotAhead;  // it could not be opened: done on the calling thread
  std::unique_ptr<Expander>& expander = owner.m_expanders[static_cast<size_t>(slot)];
  if (!expander) expander.reset(new (std::nothrow) Expander);
  if (!expander) return kNotAhead;
  FileArchiveInput input(*file);
  LocalEntry header;
  const int header_rc = read_local_header(input, item.local_header_offset, item.raw_name, &header);
  {
    // The calling thread takes the header from here rather than read it again.
    std::lock_guard<std::mutex> lock(owner.m_lock);
    header_done = true;
    this->header_rc = header_rc;
    local = header;
    if (watched) owner.m_progress.notify_all();
  }
  if (header_rc != 0) return kNotAhead;
  // The same request as the calling thread's; a failed read of the archive
  // fails the item as it would there (2), and is not tried again there either.
  StoredBytes raw(input, header.data_offset, item.compressed_nbytes);
  ItemDataInfo info;
  info.flags = item.flags;
  info.crc32 = item.crc32;
  info.compressed_size = item.compressed_nbytes;
  info.uncompressed_size = item.uncompressed_nbytes;
  std::unique_ptr<ItemDataSource> source;
  if (open_item_data(info, raw, &source) != 0) return kNotAhead;
  WorkerOutput output(*this, owner.m_lock, owner.m_progress, owner.m_room, owner.m_spare,
                      owner.m_use == Use::kExtract);
  ExpandRequest request;
  request.method = item.method;
  request.flags = item.flags;
  request.compressed_nbytes = item.compressed_nbytes;
  request.uncompressed_nbytes = item.uncompressed_nbytes;
  request.mode = ExpandMode::kToFile;
  request.source = source.get();
  request.sink = &output;
  request.hooks = &output;
  int rc = expander->expand(request);
  if (rc == kExpandOk) rc = source->verify_end();  // data that ends early
  std::lock_guard<std::mutex> lock(owner.m_lock);
  crc = output.crc;
  out_nbytes = expander->out_nbytes();
  return rc;
}

std::unique_ptr<AheadExpander> AheadExpander::create(const std::string& archive_path, int threads, Use use) {
  if (threads < 2) return nullptr;
  std::unique_ptr<AheadExpander> t(new (std::nothrow) AheadExpander(archive_path, threads, use));
  if (!t || t->m_workers.threads() < 1) return nullptr;
  return t;
}

AheadExpander::AheadExpander(const std::string& archive_path, int threads, Use use)
    : m_path(archive_path), m_use(use), m_workers(threads - 1) {
  m_files.resize(static_cast<size_t>(m_workers.threads()) + 1);
  m_expanders.resize(static_cast<size_t>(m_workers.threads()) + 1);
}

AheadExpander::~AheadExpander() {
  {
    // Everything still in the works stops at once, then each is waited for.
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto& job : m_ahead) {
      if (job->state == Job::State::kQueued) job->state = Job::State::kTakenBack;
      job->cancel = true;
    }
  }
  m_room.notify_all();
  for (auto& job : m_ahead)
    if (!m_workers.runHereIfWaiting(*job)) m_workers.wait(*job);
}

void AheadExpander::plan(std::vector<Item> items) {
  // A handle per thread, opened here so that a run makes the same calls
  // whichever thread takes which item.
  for (auto& file : m_files) {
    if (file) continue;
    file.reset(new (std::nothrow) platform::File);
    if (file && file->open(m_path, platform::File::Mode::kRead) != 0) file.reset();
  }
  m_plan.insert(m_plan.end(), items.begin(), items.end());
  // A test's window goes to the workers largest first: they take the long
  // items at once and the short ones fill in around them.  The largest is
  // handed over as soon as its job exists, before the others are made.
  const Item* largest = nullptr;
  if (m_use == Use::kTest && m_ahead.size() < kTestWindow)
    for (size_t k = m_planned; k < std::min(m_plan.size(), m_planned + kTestWindow - m_ahead.size()); ++k)
      if (largest == nullptr || m_plan[k].compressed_nbytes > largest->compressed_nbytes) largest = &m_plan[k];
  std::vector<Job*> order;
  top_up(&order, largest);
  if (m_use == Use::kTest)
    std::stable_sort(order.begin(), order.end(), [](const Job* a, const Job* b) {
      return a->item.compressed_nbytes > b->item.compressed_nbytes;
    });
  for (Job* job : order) m_workers.submit(*job, false);
}

void AheadExpander::top_up(std::vector<Job*>* order, const Item* now) {
  const bool test = m_use == Use::kTest;
  const size_t window = test ? kTestWindow : kExtractWindow;
  // An item's output is at most its size and 1,000 bytes (the expander stops
  // it there), so what a job may hold is known before it starts.
  while (m_planned < m_plan.size() && m_ahead.size() < window) {
    const Item& item = m_plan[m_planned];
    const uint64_t reserve = test ? std::min(item.uncompressed_nbytes / kReportNbytes + 2, kTestItemReports)
                                  : std::min(item.uncompressed_nbytes, kAheadItemNbytes - 1000) + 1000;
    if (!m_ahead.empty() && m_reserved + reserve > (test ? kTestHeldReports : kAheadHeldNbytes)) return;
    std::unique_ptr<Job> job(new (std::nothrow) Job(*this, item, reserve));
    if (!job) return;
    ++m_planned;
    m_reserved += reserve;
    if (order != nullptr && &item != now) order->push_back(job.get());
    else m_workers.submit(*job, false);
    m_ahead.push_back(std::move(job));
  }
}

AheadExpander::Job* AheadExpander::take(uint64_t index) {
  // Items the run passed by (skipped, or reached by another walk) are dropped.
  while (!m_ahead.empty() && m_ahead.front()->item.index < index) {
    abandon(*m_ahead.front());
    release_front();
  }
  if (m_ahead.empty() || m_ahead.front()->item.index != index) return nullptr;
  return m_ahead.front().get();
}

bool AheadExpander::take_back(Job& job) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (job.state != Job::State::kQueued) return false;
    job.state = Job::State::kTakenBack;
  }
  if (!m_workers.runHereIfWaiting(job)) m_workers.wait(job);
  return true;
}

void AheadExpander::abandon(Job& job) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (job.state == Job::State::kQueued) job.state = Job::State::kTakenBack;
    job.cancel = true;
  }
  m_room.notify_all();
  if (!m_workers.runHereIfWaiting(job)) m_workers.wait(job);
  std::lock_guard<std::mutex> lock(m_lock);
  for (size_t k = job.events.first; k < job.events.list.size(); ++k) {
    std::vector<uint8_t>& bytes = job.events.list[k].bytes;
    if (!bytes.empty() && m_spare.size() < kSpareBuffers) m_spare.push_back(std::move(bytes));
  }
  job.events.clear();
  job.held = 0;
}

void AheadExpander::release_front() {
  m_reserved -= m_ahead.front()->reserve;
  m_ahead.pop_front();
  if (m_help != 0) --m_help;
  top_up();
}

void AheadExpander::recycle(std::vector<uint8_t>&& buffer, uint64_t held, Job& job) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    job.held -= held;
    if (buffer.capacity() != 0 && m_spare.size() < kSpareBuffers) m_spare.push_back(std::move(buffer));
  }
  m_room.notify_all();
}

int AheadExpander::local_header(uint64_t index, LocalEntry* local) {
  Job* job = take(index);
  if (job == nullptr) return kNotAhead;
  if (take_back(*job)) {
    release_front();
    return kNotAhead;
  }
  std::unique_lock<std::mutex> lock(m_lock);
  job->watched = true;
  m_progress.wait(lock, [&] { return job->header_done || job->state == Job::State::kFinished; });
  if (!job->header_done) return kNotAhead;
  *local = job->local;
  return job->header_rc;
}

bool AheadExpander::fits_here(const Job& job) const {
  return job.item.uncompressed_nbytes <= (m_use == Use::kTest ? kTestHelpNbytes : kHelpNbytes);
}

void AheadExpander::wait_for(Job& job, std::unique_lock<std::mutex>& lock) {
  // While it waits, the calling thread expands items no worker has begun
  // (as a worker would: no callback) that never wait for room.
  while (job.events.empty() && job.state != Job::State::kFinished) {
    Job* idle = nullptr;
    for (; m_help < m_ahead.size() && idle == nullptr; ++m_help) {
      Job& other = *m_ahead[m_help];
      if (other.state == Job::State::kQueued && fits_here(other)) idle = &other;
    }
    if (idle == nullptr) {
      m_progress.wait(lock);
      continue;
    }
    lock.unlock();
    (void)m_workers.runHereIfWaiting(*idle);
    lock.lock();
  }
}

int AheadExpander::replay(uint64_t index, ByteSink& sink, ExpandHooks& hooks, Replayed* got) {
  *got = Replayed();
  Job* job = take(index);
  if (job == nullptr) return kNotAhead;
  if (take_back(*job)) {
    release_front();
    return kNotAhead;
  }
  std::unique_lock<std::mutex> lock(m_lock);
  job->watched = true;
  // Nothing has been said of the item yet: one its worker could not expand
  // is expanded here from the start.
  wait_for(*job, lock);
  if (job->events.empty() && (job->expand_rc == kNotAhead || job->expand_rc == kExpandNoMemory)) {
    lock.unlock();
    abandon(*job);
    release_front();
    return kNotAhead;
  }
  lock.unlock();
  // The calls of the worker's expander, in their order: the same as an
  // expander on this thread would have made.
  int rc = hooks.item_started() != 0 ? kExpandCancelled : kExpandOk;
  uint64_t written = 0;
  bool finished = false;
  while (rc == kExpandOk && !finished) {
    lock.lock();
    wait_for(*job, lock);
    if (job->events.empty()) {
      rc = job->expand_rc == kNotAhead || job->expand_rc == kExpandNoMemory ? kRedo : job->expand_rc;
      got->out_nbytes = m_use == Use::kTest ? job->out_nbytes : written;
      got->crc32 = job->crc;
      lock.unlock();
      finished = true;
      break;
    }
    Job::Event event = job->events.take();
    lock.unlock();
    if (event.progress) {
      if (m_use == Use::kTest) recycle(std::move(event.bytes), 1, *job);
      if (hooks.output_progress(event.out_nbytes, event.in_nbytes) != 0) rc = kExpandCancelled;
      continue;
    }
    const size_t n = event.bytes.size();
    rc = sink.write(event.bytes.data(), n);
    recycle(std::move(event.bytes), n, *job);
    if (rc == kExpandOk) written += n;
  }
  if (!finished) got->out_nbytes = written;  // stopped by a hook or the sink
  abandon(*job);  // stops it when it is still at work
  release_front();
  return rc;
}

}  // namespace ostrana
