/* engine/zip/compression_pool.cpp - the archive writer's compression on several threads. */
#include "engine/zip/compression_pool.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "engine/zip/zip_sources.h"
#include "ostrana_results.h"
#include "platform/file.h"

namespace ostrana {

namespace {

/// Entries compressed ahead at most (finished or in the works), and their bytes.
/// Many small files fit the bytes: a deep window lets the calling thread and
/// the workers each find a job waiting, rather than sleep for one another.
constexpr size_t kAheadLimit = 64;
constexpr uint64_t kAheadBytesLimit = 16 * kDeflateChunkNbytes;

/// A sink into a vector that the job owns.
class BufferSink final : public ByteSink {
 public:
  explicit BufferSink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
  int write(const uint8_t* data, size_t nbytes) override {
    m_bytes.insert(m_bytes.end(), data, data + nbytes);
    return 0;
  }

 private:
  std::vector<uint8_t>& m_bytes;
};

}  // namespace

// ---- the jobs -------------------------------------------------------------------------------

/// A small file compressed whole, ahead of its turn.
struct CompressionPool::AheadJob final : public WorkerJob {
  AheadJob(CompressionPool& p, const Ahead& a) : pool(p), entry(a) {}
  void run(int slot) override {
    platform::File file;
    if (file.open(entry.path, platform::File::Mode::kRead) != 0) return;
    FileSource source(file);
    EntryReader reader(source, false, nullptr);
    result.reset(new (std::nothrow) AheadResult);
    if (!result) return;
    BufferSink sink(result->compressed);
    DeflateOptions options = entry.options;
    options.stop = &pool.m_stop;
    rc = pool.compressor(slot).compress(reader, sink, options, &result->deflate);
    result->crc = reader.crc();
    result->nbytes = reader.nbytes();
    result->data_type = reader.dataType();
    if (rc == OZ_READ_FAILED && source.error() == OZ_READ_FAILED) {
      // The file itself failed, as it would have on the calling thread.
      result->compressed.clear();
      result->read_error = rc;
      result->nbytes = entry.size;
    } else if (rc != 0) {
      result.reset();
    }
  }
  CompressionPool& pool;
  Ahead entry;
  int rc = -1;
  std::unique_ptr<AheadResult> result;
};

/// One chunk of a larger entry.
struct CompressionPool::ChunkJob final : public WorkerJob {
  explicit ChunkJob(CompressionPool& p) : pool(p) {}
  ~ChunkJob() override { std::free(buffer); }
  void run(int slot) override {
    output.clear();
    BufferSink sink(output);
    result = DeflateResult();
    rc = pool.compressor(slot).compressChunk(chunk, sink, options, &result);
  }
  CompressionPool& pool;
  uint8_t* buffer = nullptr;  // DeflateChunkReader::kBufferNbytes
  DeflateChunk chunk;
  DeflateOptions options;
  std::vector<uint8_t> output;
  DeflateResult result;
  int rc = 0;
};

// ---- the pool ---------------------------------------------------------------------------------

std::unique_ptr<CompressionPool> CompressionPool::create(int threads) {
  if (threads < 2) return nullptr;
  // The calling thread is one of them: it compresses whenever it would wait.
  std::unique_ptr<CompressionPool> pool(new (std::nothrow) CompressionPool(threads - 1));
  if (!pool || pool->m_workers.threads() < 1) return nullptr;
  for (int i = 0; i <= pool->m_workers.threads(); ++i) {
    pool->m_compressors.emplace_back(new (std::nothrow) DeflateCompressor);
    if (!pool->m_compressors.back()) return nullptr;
  }
  return pool;
}

CompressionPool::CompressionPool(int workers) : m_workers(workers) {}

template <class Jobs>
void CompressionPool::settle(WorkerJob& job, const Jobs& others) {
  if (m_workers.runHereIfWaiting(job)) return;
  // A worker has it: rather than sleep, take the queued jobs that come after it.
  for (auto it = others.begin(); it != others.end() && !m_workers.finished(job); ++it)
    if (it->get() != &job) m_workers.runHereIfWaiting(**it);
  m_workers.wait(job);
}

CompressionPool::~CompressionPool() {
  m_stop = true;
  dropAhead();
}

void CompressionPool::dropAhead() {
  for (auto& job : m_ahead) m_workers.wait(*job);
  m_ahead.clear();
}

void CompressionPool::planAhead(std::vector<Ahead> entries) {
  dropAhead();
  m_plan = std::move(entries);
  m_planned = 0;
  m_stop = false;
  topUp();
}

void CompressionPool::topUp() {
  uint64_t bytes = 0;
  for (auto& job : m_ahead) bytes += job->entry.size;
  while (m_planned < m_plan.size() && m_ahead.size() < kAheadLimit &&
         (m_ahead.empty() || bytes + m_plan[m_planned].size <= kAheadBytesLimit)) {
    std::unique_ptr<AheadJob> job(new (std::nothrow) AheadJob(*this, m_plan[m_planned]));
    if (!job) return;
    ++m_planned;
    bytes += job->entry.size;
    m_workers.submit(*job, false);
    m_ahead.push_back(std::move(job));
  }
}

std::unique_ptr<AheadResult> CompressionPool::take(const std::string& path, uint64_t size) {
  // Entries the writer passed by (a file that vanished, a changed plan) are dropped.
  auto it = std::find_if(m_ahead.begin(), m_ahead.end(), [&](const auto& job) { return job->entry.path == path; });
  if (it == m_ahead.end()) {
    bool later = false;
    for (size_t i = m_planned; i < m_plan.size() && !later; ++i) later = m_plan[i].path == path;
    if (!later) return nullptr;
    // Still to come: drop everything before it and plan on from there.
    dropAhead();
    while (m_plan[m_planned].path != path) ++m_planned;
    topUp();
    it = m_ahead.begin();
  }
  for (auto drop = m_ahead.begin(); drop != it; ++drop) m_workers.wait(**drop);
  m_ahead.erase(m_ahead.begin(), it);
  settle(*m_ahead.front(), m_ahead);
  std::unique_ptr<AheadJob> job = std::move(m_ahead.front());
  m_ahead.pop_front();
  topUp();
  if (!job->result || job->result->nbytes != size) return nullptr;
  return std::move(job->result);
}

int CompressionPool::compressChunked(ByteSource& in, ByteSink& out, const DeflateOptions& options,
                                     DeflateResult* result_ret) {
  DeflateResult total;
  DeflateChunkReader reader(options.deflate64);
  std::deque<std::unique_ptr<ChunkJob>> flight;
  // In flight at most: one per worker, one the calling thread compresses
  // while it waits, and one it reads meanwhile.
  const size_t limit = static_cast<size_t>(m_workers.threads()) + 2;
  int rc = 0;
  bool done = false;

  // Writes the oldest chunk out (running it here if no worker has begun it).
  auto retire = [&]() -> int {
    settle(*flight.front(), flight);
    std::unique_ptr<ChunkJob> job = std::move(flight.front());
    flight.pop_front();
    int code = job->rc;
    if (code == 0 && !job->output.empty()) code = out.write(job->output.data(), job->output.size());
    total.out_nbytes += job->result.out_nbytes;
    total.stored_entry = job->result.stored_entry;
    if (job->result.detail != nullptr && *job->result.detail != '\0') total.detail = job->result.detail;
    m_spareChunks.push_back(std::move(job));
    return code;
  };

  while (!done) {
    std::unique_ptr<ChunkJob> job;
    if (!m_spareChunks.empty()) {
      job = std::move(m_spareChunks.back());
      m_spareChunks.pop_back();
    } else {
      job.reset(new (std::nothrow) ChunkJob(*this));
      if (job) job->buffer = static_cast<uint8_t*>(std::malloc(DeflateChunkReader::kBufferNbytes));
      if (!job || job->buffer == nullptr) {
        total.detail = "window allocation";
        rc = OZ_OUT_OF_MEMORY;
        break;
      }
    }
    const DeflateChunk* prev = flight.empty() ? nullptr : &flight.back()->chunk;
    if ((rc = reader.next(in, job->buffer, prev, &job->chunk)) != 0) {
      m_spareChunks.push_back(std::move(job));
      break;
    }
    job->options = options;
    job->options.stop = &m_stop;
    done = job->chunk.last;
    m_workers.submit(*job, true);
    flight.push_back(std::move(job));
    while (flight.size() > (done ? 0 : limit - 1) && rc == 0) rc = retire();
    if (rc != 0) break;
  }
  if (rc != 0) {
    // Whatever is in flight is dropped; its jobs end at their next block.
    m_stop = true;
    for (auto& job : flight) m_workers.wait(*job);
    for (auto& job : flight) m_spareChunks.push_back(std::move(job));
    flight.clear();
    m_stop = false;
  }
  total.in_nbytes = reader.nbytes();
  if (result_ret) *result_ret = total;
  return rc;
}

}  // namespace ostrana
