// The worker pool: every task runs exactly once, on a runner of its own range, whether the pool
// has workers or not, and a waiting caller runs queued tasks itself.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "data/worker_pool.h"

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

// A caller that waits for a condition only its own queued task can make true must not hang.
TEST(WorkerPool, HelpUntilRunsQueuedTasks) {
    for (unsigned poolThreads : {1u, 2u}) {
        WorkerPool pool(poolThreads);
        std::atomic<int> done{0};
        for (int k = 0; k < 50; ++k) pool.Submit([&] { done.fetch_add(1); });
        pool.HelpUntil([&] { return done.load() == 50; });
        EXPECT_EQ(done.load(), 50);
    }
}

}  // namespace
