// The worker pool: every task runs exactly once, on a runner of its own range, whether the pool
// has workers or not, and a waiting caller runs queued tasks itself.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/worker_pool.h"

namespace {

// A task lost, run twice, or given a runner beyond the threads asked for.
TEST(WorkerPool, ForEachRunsEveryTaskOnceOnItsRunners) {
    for (unsigned poolThreads : {1u, 2u, 4u}) {
        WorkerPool pool(poolThreads);
        EXPECT_EQ(pool.Threads(), poolThreads);
        for (unsigned threads : {0u, 1u, 3u, 8u}) {
            for (size_t count : {0u, 1u, 5u, 1000u}) {
                std::vector<std::atomic<int>> runs(count);
                std::atomic<bool> runnerInRange{true};
                const unsigned limit = threads == 0 ? poolThreads : threads;
                pool.ForEach(count, threads, [&](size_t k, unsigned runner) {
                    runs[k].fetch_add(1);
                    if (runner >= limit || runner >= poolThreads) runnerInRange = false;
                });
                for (size_t k = 0; k < count; ++k) ASSERT_EQ(runs[k].load(), 1) << k;
                EXPECT_TRUE(runnerInRange.load());
            }
        }
    }
}

// A task lost, run twice or out of turn when the pool's queue grows: with the one worker held by
// a task, the caller takes queued tasks itself, first some so that the queue wraps around its
// end, then, after queueing more than it holds, the rest; they run once each, first in first out.
TEST(WorkerPool, QueueGrowsWhileWrapped) {
    WorkerPool pool(2);
    std::atomic<bool> started{false}, release{false};
    pool.Submit([&] {
        started = true;
        while (!release) std::this_thread::yield();
    });
    while (!started) std::this_thread::yield();
    std::vector<int> order;  // written by the caller only: the worker is held
    const auto submit = [&](int from, int to) {
        for (int k = from; k < to; ++k) pool.Submit([&order, k] { order.push_back(k); });
    };
    submit(0, 12);
    pool.HelpUntil([&] { return order.size() == 9; });
    submit(12, 60);
    pool.HelpUntil([&] { return order.size() == 60; });
    release = true;
    for (int k = 0; k < 60; ++k) EXPECT_EQ(order[size_t(k)], k);
}

}  // namespace
