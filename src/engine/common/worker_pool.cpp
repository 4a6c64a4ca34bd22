/* engine/common/worker_pool.cpp - threads that run the engine's jobs. */
#include "engine/common/worker_pool.h"

#include <algorithm>
#include <system_error>

#include "platform/processors.h"

namespace ostrana {

int WorkerPool::default_threads() {
  int n = platform::threads_setting();
  return n > 0 ? n : platform::processor_count();
}

WorkerPool::WorkerPool(int threads) {
  for (int i = 0; i < threads; ++i) {
    try {
      m_threads.emplace_back([this, i] { work(i); });
    } catch (const std::system_error&) {
      break;  // fewer workers, or none: the calling thread does the rest
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ending = true;
  }
  m_wake.notify_all();
  for (std::thread& t : m_threads) t.join();
}

void WorkerPool::submit(WorkerJob& job, bool urgent) {
  if (m_threads.empty()) {
    job.m_state = WorkerJob::State::kRunning;
    job.run(0);
    job.m_state = WorkerJob::State::kDone;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Queue& q = urgent ? m_urgent : m_later;
    job.m_state = WorkerJob::State::kQueued;
    job.m_urgent = urgent;
    job.m_ticket = q.popped + q.jobs.size();
    q.jobs.push_back(&job);
  }
  m_wake.notify_one();
}

bool WorkerPool::runHereIfWaiting(WorkerJob& job) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (job.m_state != WorkerJob::State::kQueued) return false;
    Queue& q = job.m_urgent ? m_urgent : m_later;
    q.jobs[static_cast<size_t>(job.m_ticket - q.popped)] = nullptr;
    q.drop_holes();
    job.m_state = WorkerJob::State::kRunning;
  }
  job.run(threads());
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    job.m_state = WorkerJob::State::kDone;
  }
  m_done.notify_all();
  return true;
}

void WorkerPool::wait(WorkerJob& job) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_done.wait(lock, [&] {
    return job.m_state == WorkerJob::State::kDone || job.m_state == WorkerJob::State::kIdle;
  });
}

bool WorkerPool::finished(WorkerJob& job) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return job.m_state == WorkerJob::State::kDone || job.m_state == WorkerJob::State::kIdle;
}

WorkerJob* WorkerPool::next_job() {
  for (Queue* q : {&m_urgent, &m_later}) {
    // Holes are dropped as they reach the front, so the front is a job.
    if (q->jobs.empty()) continue;
    WorkerJob* job = q->jobs.front();
    q->jobs.pop_front();
    ++q->popped;
    q->drop_holes();
    return job;
  }
  return nullptr;
}

void WorkerPool::work(int slot) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    WorkerJob* job = nullptr;
    m_wake.wait(lock, [&] { return m_ending || (job = next_job()) != nullptr; });
    if (m_ending) return;
    job->m_state = WorkerJob::State::kRunning;
    lock.unlock();
    job->run(slot);
    lock.lock();
    job->m_state = WorkerJob::State::kDone;
    m_done.notify_all();
  }
}

}  // namespace ostrana
