// The worker pool: each task once, on a runner of its range; callers help; short of threads, works.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"

namespace quorlane {

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

// A task lost, run twice or out of turn when the queue grows while wrapped around its end: with the
// one worker held, the caller runs the queued tasks itself, first in first out.
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

// A worker that cannot start taken for a crash, or counted: the n-th start fails as std::thread
// does when no stack can be mapped; the pool loads a grid on the threads it has, to the same bits.
TEST(WorkerPool, ThreadsThatCannotStart) {
    std::string text = "37 23 1 1\n";
    for (int k = 0; k < 37 * 23; ++k) text += std::to_string(k * 7 % 1000) + ".25\n";
    WorkerPool single(1);
    Grid want;
    MemorySource wholeText(text.data(), text.size());
    ASSERT_TRUE(LoadGridFrom(want, wholeText, single, {100, 0}).ok);
    for (unsigned failing : {1u, 2u, 3u}) {  // the failing start, counted from 1
        unsigned starts = 0;
        WorkerPool pool(4, [&starts, failing](std::function<void()> run) {
            if (++starts == failing)
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(run));
        });
        ASSERT_EQ(pool.Threads(), failing);
        Grid got;
        MemorySource source(text.data(), text.size(), 7);
        ASSERT_TRUE(LoadGridFrom(got, source, pool, {100, 0}).ok);
        ASSERT_EQ(got.cells.size(), want.cells.size());
        EXPECT_EQ(std::memcmp(got.cells.data(), want.cells.data(), want.cells.size() * 4), 0)
            << failing;
    }
}

}  // namespace

}  // namespace quorlane
