/* tests/engine/common/worker_pool_test.cpp - jobs taken back from a long queue.
 *
 * Risks: a job run on the calling thread that a worker runs again, or whose
 * place in the queue a worker still reads after its owner destroyed it; a
 * job left in the queue and never run; urgent jobs no longer first.
 */
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/common/worker_pool.h"

namespace {

using ostrana::WorkerJob;
using ostrana::WorkerPool;

/// Holds the pool's one worker until opened, so that everything after it stays queued.
struct Gate final : WorkerJob {
  std::mutex lock;
  std::condition_variable changed;
  bool started = false, open = false;
  void run(int) override {
    std::unique_lock<std::mutex> l(lock);
    started = true;
    changed.notify_all();
    changed.wait(l, [&] { return open; });
  }
};

struct Counted final : WorkerJob {
  explicit Counted(std::vector<int>* order, int id) : order(order), id(id) {}
  void run(int s) override {
    ++runs;  // the pool's one worker or the test's thread, never both at once
    slot = s;
    order->push_back(id);
  }
  std::vector<int>* order;
  int id;
  int runs = 0;
  int slot = -1;
};

TEST(WorkerPool, JobsTakenBackAnywhereInTheQueueRunOnceAndTheRestRunInOrder) {
  WorkerPool pool(1);
  ASSERT_EQ(1, pool.threads());
  Gate gate;
  pool.submit(gate, false);
  {
    std::unique_lock<std::mutex> l(gate.lock);
    gate.changed.wait(l, [&] { return gate.started; });
  }
  std::vector<int> order;
  std::vector<std::unique_ptr<Counted>> jobs;
  for (int i = 0; i < 200; ++i) {
    jobs.push_back(std::make_unique<Counted>(&order, i));
    pool.submit(*jobs.back(), i == 150);
  }
  // Taken back at the front, in the middle (twice in a row), at the end and
  // the urgent one; destroyed at once, before the worker passes their places.
  for (int i : {0, 1, 100, 101, 150, 199}) {
    EXPECT_TRUE(pool.runHereIfWaiting(*jobs[i])) << i;
    EXPECT_EQ(pool.threads(), jobs[i]->slot) << i;
    EXPECT_FALSE(pool.runHereIfWaiting(*jobs[i])) << i;
    jobs[i].reset();
  }
  {
    std::lock_guard<std::mutex> l(gate.lock);
    gate.open = true;
  }
  gate.changed.notify_all();
  for (auto& job : jobs)
    if (job) pool.wait(*job);
  pool.wait(gate);
  std::vector<int> want = {0, 1, 100, 101, 150, 199};
  for (int i = 2; i < 199; ++i)
    if (i != 100 && i != 101 && i != 150) want.push_back(i);
  EXPECT_EQ(want, order);
  for (auto& job : jobs)
    if (job) {
      EXPECT_EQ(1, job->runs) << job->id;
    }
}

TEST(WorkerPool, UrgentJobsGoFirstPastTheHolesOfTakenBackOnes) {
  WorkerPool pool(1);
  Gate gate;
  pool.submit(gate, false);
  {
    std::unique_lock<std::mutex> l(gate.lock);
    gate.changed.wait(l, [&] { return gate.started; });
  }
  std::vector<int> order;
  Counted later1(&order, 1), later2(&order, 2), urgent1(&order, 3), urgent2(&order, 4);
  pool.submit(later1, false);
  pool.submit(urgent1, true);
  pool.submit(later2, false);
  pool.submit(urgent2, true);
  EXPECT_TRUE(pool.runHereIfWaiting(urgent1));
  {
    std::lock_guard<std::mutex> l(gate.lock);
    gate.open = true;
  }
  gate.changed.notify_all();
  for (WorkerJob* job : std::vector<WorkerJob*>{&later1, &later2, &urgent2, &gate}) pool.wait(*job);
  EXPECT_EQ((std::vector<int>{3, 4, 1, 2}), order);
}

}  // namespace
