// The worker pool: one queue of tasks under one lock, taken by the workers
// and by any thread that waits for its own tasks.
#include "common/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace quorlane {

WorkerPool::WorkerPool(unsigned threads, const ThreadStarter& start) {
    try {
        workers_.reserve(threads > 1 ? threads - 1 : 0);
        for (unsigned k = 1; k < threads; ++k) {
            const auto loop = [this] { WorkerLoop(); };
            workers_.push_back(start ? start(loop) : std::thread(loop));
        }
    } catch (const std::exception&) {
        // No room for another thread: the pool works with those it has.
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : workers_) t.join();
}

unsigned WorkerPool::CoreThreads() {
    return std::min(16u, std::max(1u, std::thread::hardware_concurrency()));
}

void WorkerPool::RunOne(std::unique_lock<std::mutex>& lock) {
    std::function<void()> task = std::move(ring_[head_]);
    ring_[head_] = nullptr;
    head_ = (head_ + 1) % ring_.size();
    --queued_count_;
    lock.unlock();
    task();
    lock.lock();
    finished_.notify_all();
}

void WorkerPool::WorkerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || queued_count_ > 0; });
        if (queued_count_ == 0) return;  // stopping, and nothing left to run
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
        if (queued_count_ == ring_.size()) {
            // Full: a ring twice the size, the queued tasks first in order.
            std::vector<std::function<void()>> grown(std::max<size_t>(16, 2 * ring_.size()));
            for (size_t k = 0; k < queued_count_; ++k)
                grown[k] = std::move(ring_[(head_ + k) % ring_.size()]);
            ring_.swap(grown);
            head_ = 0;
        }
        ring_[(head_ + queued_count_) % ring_.size()] = std::move(task);
        ++queued_count_;
    }
    queued_.notify_one();
}

void WorkerPool::HelpUntil(const std::function<bool()>& ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ready()) {
        if (queued_count_ > 0)
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
    // What the runners share, reached through one pointer so that each
    // helper's callable is small enough to be queued without allocation.
    struct Job {
        const std::function<void(size_t, unsigned)>& task;
        size_t count;
        std::atomic<size_t> next{0};
        std::atomic<unsigned> helpersDone{0};
        void Run(unsigned runner) {
            for (size_t k; (k = next.fetch_add(1)) < count;) task(k, runner);
        }
    } job{task, count};
    Job* const s = &job;
    for (unsigned r = 1; r < runners; ++r)
        Submit([s, r] {
            s->Run(r);
            s->helpersDone.fetch_add(1);
        });
    job.Run(0);
    HelpUntil([s, runners] { return s->helpersDone.load() == runners - 1; });
}

}  // namespace quorlane
