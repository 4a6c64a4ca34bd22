/* engine/unzip/extract_ahead.h - expanding the next items on worker threads.
 *
 * A run on one thread expands its items one after another: test runs check
 * each one's CRC-32, extractions write each one's bytes to its file.  With
 * workers, the items ahead of the calling thread are expanded by them at the
 * same time, each worker with its own handle on the archive and its own
 * expander, while the calling thread asks its questions, writes and reports.
 * Every callback stays on the calling thread, in the order of a run on one
 * thread.
 *
 * A worker's expander gets the same request as the calling thread's, and
 * what it does is kept: every write to its sink and every progress report.
 * When the calling thread reaches the item (it waits for the worker if need
 * be), it makes those calls again, in their order, on its own output stage
 * and hooks: then checks the CRC-32 and the size as for any item.  So the
 * files, the progress reports, the messages and the codes are those of one
 * thread, a damaged item included; a Stop answered there stops the worker.
 *
 * Testing: a worker keeps only the progress, the output's CRC-32 and size.
 * Items are tested ahead whatever their size, up to 16,384 items ahead, the
 * largest of the first ones first, so that a long item at the start does not
 * leave the other threads idle at the end.
 *
 * Extracting: a worker keeps the output buffers, up to kAheadItemNbytes per
 * item (then it waits for the calling thread to write them) and about
 * kAheadHeldNbytes for all items in the works.  The calling thread writes
 * them as they come, so a long item is written while it expands.
 *
 * A run on N threads has N - 1 workers; the calling thread is the last one:
 * while it waits for an item's worker, it expands short items no worker has
 * begun, silently, as a worker would.  It does an item itself, the usual
 * way, when no worker has begun it by the time it gets there (it takes it
 * back), or its worker could not expand it (no handle on the archive, a local
 * header that did not read, no memory).  Each local header and each item's
 * data are read once, by one thread, whichever it is.  A read of the archive
 * that fails on a worker fails the item as it would on the calling thread
 * (2, unexpected end), which does not read again either.  Only plain items of
 * a single-volume archive are planned: not encrypted, a method the engine
 * expands, no folder, link or volume label.
 */
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/byte_stream.h"
#include "engine/common/local_header.h"
#include "engine/common/worker_pool.h"

namespace platform {
class File;
}

namespace ostrana {

class Expander;
class ExpandHooks;

/// An extraction's bytes of one item held in memory before its worker waits.
inline constexpr uint64_t kAheadItemNbytes = 4u << 20;
/// An extraction's bytes held in memory for all items in the works.
inline constexpr uint64_t kAheadHeldNbytes = 32u << 20;

class AheadExpander {
 public:
  enum class Use { kTest, kExtract };

  /// What a worker needs of an item (from its central directory entry).
  struct Item {
    uint64_t index = 0;  ///< the entry's number in the central directory
    uint64_t local_header_offset = 0;
    std::string_view raw_name;  ///< into the loaded directory, which stays for the run
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc32 = 0;
    uint64_t compressed_nbytes = 0;
    uint64_t uncompressed_nbytes = 0;
  };

  /// @p threads - 1 workers (the calling thread is the last thread: it
  /// expands short items no worker has begun while it waits) expanding items
  /// of the archive at @p archive_path; null when fewer than two threads are
  /// asked for or no worker can be had.
  static std::unique_ptr<AheadExpander> create(const std::string& archive_path, int threads, Use use);
  ~AheadExpander();
  AheadExpander(const AheadExpander&) = delete;
  AheadExpander& operator=(const AheadExpander&) = delete;

  /// The items the run will expand, in its order (rising indexes), or the
  /// next of them: each call adds items after those of the calls before.
  void plan(std::vector<Item> items);

  /// Item @p index's local header as its worker read it (waiting for that):
  /// the code read_local_header() gave it, with *@p local filled; kNotAhead
  /// when the calling thread is to read it itself.  Each header is read once,
  /// by one thread, whichever it is.
  int local_header(uint64_t index, LocalEntry* local);

  /// replay(): the item is not ahead; nothing was reported or written.
  static constexpr int kNotAhead = -1;
  /// replay(): part of the item went to the sink before its worker ran out
  /// of memory: discard what the sink got and expand the item here.
  static constexpr int kRedo = -2;
  struct Replayed {
    uint64_t out_nbytes = 0;  ///< the output's bytes, as Expander::out_nbytes() tells them
    uint32_t crc32 = 0;       ///< the output's CRC-32 (a test has no bytes to compute it from)
  };
  /// Makes the calls that an expander on the calling thread would have made
  /// for item @p index - its bytes to @p sink (none in a test), its progress
  /// to @p hooks - from what its worker's expander did.  @return what that
  /// expander returned (the caller checks the CRC-32 and the size as
  /// usual), kNotAhead, kRedo, or the code that ended the replay: the sink's,
  /// or kExpandCancelled from a hook (the worker is stopped).
  int replay(uint64_t index, ByteSink& sink, ExpandHooks& hooks, Replayed* got);

  struct Job;  // one planned item (extract_ahead.cpp)

 private:
  AheadExpander(const std::string& archive_path, int threads, Use use);
  /// Submits planned items while the window has room (into @p order
  /// instead, when given, for the caller to submit; all but @p now).
  void top_up(std::vector<Job*>* order = nullptr, const Item* now = nullptr);
  /// The job of item @p index, dropping those of the items before it; null
  /// when it was not planned.
  Job* take(uint64_t index);
  /// Stops @p job (taking it back when no worker started it) and waits for it.
  void abandon(Job& job);
  /// Done with the front job: its memory goes back to the window.
  void release_front();
  /// True when the calling thread took the job back from the queue.
  bool take_back(Job& job);
  /// True when the calling thread may expand @p job while it waits: the
  /// job's output then never has to wait for room.
  bool fits_here(const Job& job) const;
  /// Waits (under @p lock) until @p job has an event or finished, expanding
  /// queued items that fit here itself meanwhile.
  void wait_for(Job& job, std::unique_lock<std::mutex>& lock);
  /// The calling thread took @p held of @p job's bytes or reports; @p buffer can be filled again.
  void recycle(std::vector<uint8_t>&& buffer, uint64_t held, Job& job);

  friend struct Job;
  std::string m_path;
  Use m_use;
  WorkerPool m_workers;
  std::vector<std::unique_ptr<platform::File>> m_files;  // one per thread slot
  std::vector<std::unique_ptr<Expander>> m_expanders;
  std::deque<Item> m_plan;  // a job refers to its item here
  size_t m_planned = 0;
  std::deque<std::unique_ptr<Job>> m_ahead;  // in plan order
  uint64_t m_reserved = 0;                   // what the jobs in the works may hold
  size_t m_help = 0;                         // m_ahead before it: no job left to help with

  // Between the workers and the calling thread.
  std::mutex m_lock;
  std::condition_variable m_progress;  // the calling thread: a watched job moved on or finished
  std::condition_variable m_room;      // workers: buffers were taken, or a job was stopped
  std::vector<std::vector<uint8_t>> m_spare;  // buffers to fill again
};

}  // namespace ostrana
