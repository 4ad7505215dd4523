// The worker pool: one queue of tasks under one lock, taken by the workers
// and by any thread that waits for its own tasks.
#include "data/worker_pool.h"

#include <algorithm>
#include <atomic>

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned k = 1; k < threads; ++k) workers_.emplace_back([this] { WorkerLoop(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : workers_) t.join();
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool(std::min(16u, std::max(1u, std::thread::hardware_concurrency())));
    return pool;
}

void WorkerPool::RunOne(std::unique_lock<std::mutex>& lock) {
    std::function<void()> task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    finished_.notify_all();
}

void WorkerPool::WorkerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to run
        RunOne(lock);
    }
}

void WorkerPool::Submit(std::function<void()> task) {
    if (workers_.empty()) {
        task();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    queued_.notify_one();
}

void WorkerPool::HelpUntil(const std::function<bool()>& ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ready()) {
        if (!queue_.empty())
            RunOne(lock);
        else
            finished_.wait(lock);
    }
}

void WorkerPool::ForEach(size_t count, unsigned threads,
                         const std::function<void(size_t, unsigned)>& task) {
    if (threads == 0 || threads > Threads()) threads = Threads();
    const unsigned runners = unsigned(std::min<size_t>(threads, count));
    if (runners <= 1) {
        for (size_t k = 0; k < count; ++k) task(k, 0);
        return;
    }
    std::atomic<size_t> next{0};
    std::atomic<unsigned> helpersDone{0};
    auto run = [&](unsigned runner) {
        for (size_t k; (k = next.fetch_add(1)) < count;) task(k, runner);
    };
    for (unsigned r = 1; r < runners; ++r)
        Submit([&, r] {
            run(r);
            helpersDone.fetch_add(1);
        });
    run(0);
    HelpUntil([&] { return helpersDone.load() == runners - 1; });
}
