/* engine/zip/compression_pool.h - the archive writer's compression on several threads.
 *
 * Two ways to keep every core busy while the calling thread reads the files,
 * writes the archive and runs every callback:
 *
 *   Entries ahead.  The writer tells the pool which files it will compress,
 *   in order (planAhead()).  Workers compress the small ones (at most one
 *   chunk) into memory ahead of their turn, a bounded number at a time.  When
 *   the writer reaches such a file, take() hands over the finished result (or
 *   compresses it right there when no worker has started it), and the writer
 *   replays the entry as if it had just read it: the same progress report,
 *   the same bytes.
 *
 *   Chunks.  A larger entry is read by the calling thread chunk by chunk
 *   (DeflateChunkReader) and each chunk is compressed by a worker; the
 *   outputs are written in order as they finish, with a few chunks in flight.
 *
 * Chunks and whole small entries are compressed from their own bytes alone,
 * so the archive is the same byte for byte on one thread and on many.  Of
 * the threads asked for, one is the calling thread: rather than wait for a
 * worker it compresses the next job no worker has begun, so two threads keep
 * two cores busy without a third competing for them.  Memory: per thread one
 * compressor (deflate.h); in flight at most threads + 2 chunk
 * buffers with their outputs and entries ahead of at most one chunk each, up
 * to kAheadLimit of them and kAheadBytesLimit bytes in all.
 *
 * Stopping: a failed read or write, or a cancel answered by a progress
 * callback, sets the stop flag that every job polls between its blocks; the
 * pool then waits for the jobs in flight (a block at most) and drops them.
 */
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/common/worker_pool.h"
#include "engine/zip/deflate.h"
#include "engine/zip/deflate_input.h"

namespace ostrana {

/// What an entry compressed ahead of its turn came to.
struct AheadResult {
  std::vector<uint8_t> compressed;  ///< the deflate stream, or the raw bytes of a stored entry
  DeflateResult deflate;            ///< sizes and stored_entry
  uint32_t crc = 0;
  uint64_t nbytes = 0;              ///< bytes read from the file
  DataType data_type = DataType::kUnknown;
  /// The file could not be read (11): the entry fails as if read here.
  int read_error = 0;
};

class CompressionPool {
 public:
  /// A pool of @p threads compressing threads, the calling thread among
  /// them (it compresses the jobs no worker has taken yet whenever it would
  /// otherwise wait), or null when fewer than two are asked for (or no worker
  /// can be started): then everything stays on the calling thread.
  static std::unique_ptr<CompressionPool> create(int threads);
  ~CompressionPool();

  /// An entry the writer will compress: a file of at most one chunk.
  struct Ahead {
    std::string path;
    uint64_t size = 0;
    DeflateOptions options;
  };
  /// The files to compress ahead, in the order the writer will reach them.
  void planAhead(std::vector<Ahead> entries);

  /// The result for the file @p path of @p size, when it was planned and is
  /// next in the plan (entries planned before it are dropped): finished by a
  /// worker (waiting for it), or compressed here; a result with read_error
  /// when reading the file failed.  Null when it was not planned, could not
  /// be opened, or the file's size changed; the caller then compresses it
  /// itself, as without a pool.
  std::unique_ptr<AheadResult> take(const std::string& path, uint64_t size);

  /// Compresses everything @p in delivers into @p out, chunk by chunk on the
  /// workers; the same contract and the same bytes as DeflateCompressor::compress().
  int compressChunked(ByteSource& in, ByteSink& out, const DeflateOptions& options, DeflateResult* result_ret);

 private:
  explicit CompressionPool(int workers);
  /// Waits for @p job, running it here if no worker has begun it, and
  /// meanwhile running here the jobs of @p others no worker has begun.
  template <class Jobs>
  void settle(WorkerJob& job, const Jobs& others);
  struct AheadJob;
  struct ChunkJob;
  void topUp();
  void dropAhead();
  DeflateCompressor& compressor(int slot) { return *m_compressors[static_cast<size_t>(slot)]; }

  WorkerPool m_workers;
  std::vector<std::unique_ptr<DeflateCompressor>> m_compressors;  // one per worker, one for the calling thread
  std::atomic<bool> m_stop{false};
  std::vector<Ahead> m_plan;
  size_t m_planned = 0;  // plan entries handed to jobs so far
  std::deque<std::unique_ptr<AheadJob>> m_ahead;
  std::vector<std::unique_ptr<ChunkJob>> m_spareChunks;
};

}  // namespace ostrana
