/* engine/common/worker_pool.h - threads that run the engine's jobs beside the calling thread.
 *
 * The archive writer hands pieces of pure computation (compressing a chunk,
 * compressing a small file ahead of its turn) to a few worker threads while
 * the calling thread goes on reading and writing.  A job never calls back
 * into the caller: every callback, every question and the message pump stay
 * on the calling thread, which collects the results in order.
 *
 * Jobs are owned by their submitter, who must wait() for each job it
 * submitted (or have it run by runHereIfWaiting()) before destroying it.
 * Urgent jobs (the chunks of the entry being written) are taken before the
 * others (entries compressed ahead).  A pool that could start no thread runs
 * every job on the calling thread, at submit time.
 *
 * Threads are std::threads: the pool is plain C++ and calls nothing of the
 * operating system itself.
 */
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrana {

class WorkerJob {
 public:
  virtual ~WorkerJob() = default;
  /// Does the work.  @p slot tells which thread runs it: 0..threads()-1 a
  /// worker, threads() the calling thread (for per-thread scratch state).
  virtual void run(int slot) = 0;

 private:
  friend class WorkerPool;
  enum class State { kIdle, kQueued, kRunning, kDone };
  State m_state = State::kIdle;
  bool m_urgent = false;  // in which queue, while queued
  uint64_t m_ticket = 0;  // its place there: the queue's pops before it plus its position
};

class WorkerPool {
 public:
  /// Starts up to @p threads workers; fewer when the system refuses some.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  /// The threads a run should use: the OSTRANA_THREADS setting when given,
  /// else one per processor.
  static int default_threads();

  /// Workers running (0 when none could be started).
  int threads() const { return static_cast<int>(m_threads.size()); }

  /// Queues @p job (idle or done); runs it at once when there are no workers.
  void submit(WorkerJob& job, bool urgent);
  /// Runs @p job on the calling thread if no worker has taken it yet.
  /// @return true when it ran here (it is done either way only after wait()).
  bool runHereIfWaiting(WorkerJob& job);
  /// Waits until @p job has run.  A job never submitted returns at once.
  void wait(WorkerJob& job);
  /// True when @p job has run (or was never submitted).
  bool finished(WorkerJob& job);

 private:
  void work(int slot);
  /// The next job of the queues (urgent ones first), taken off; null when
  /// none is waiting.  Under m_mutex.
  WorkerJob* next_job();

  /// A queue in which a job run elsewhere leaves a hole (null), so that
  /// taking it out costs the same however long the queue is.
  struct Queue {
    std::deque<WorkerJob*> jobs;
    uint64_t popped = 0;  // jobs taken off the front so far: the front's ticket
    void drop_holes() {
      while (!jobs.empty() && jobs.front() == nullptr) {
        jobs.pop_front();
        ++popped;
      }
    }
  };

  std::mutex m_mutex;
  std::condition_variable m_wake;  // workers: a job was queued, or the pool ends
  std::condition_variable m_done;  // waiters: a job finished
  Queue m_urgent;
  Queue m_later;
  bool m_ending = false;
  std::vector<std::thread> m_threads;
};

}  // namespace ostrana
