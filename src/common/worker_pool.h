#pragma once
// A small persistent pool of worker threads. The paint and the grid loader
// split their work across the pool their caller hands them; whoever paints or
// loads (the program, the native renderer, tests, benchmarks) makes one and
// keeps it as long as it works, so no work ever starts a thread of its own.
// Whatever runs on the pool gives the same result as on one thread: the work
// is split into parts that write disjoint memory.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorlane {

class WorkerPool {
  public:
    // Starts one worker thread running the function it is given. A starter
    // throws when it cannot start one, as std::thread does when the system
    // has no room left for another stack.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    // A pool of `threads` threads in all, the caller's included: it starts
    // threads − 1 workers (none for 0 or 1) with `start`, by default a plain
    // std::thread. A worker that cannot start leaves the pool with those
    // started before it, down to the caller's thread alone; the pool never
    // throws.
    explicit WorkerPool(unsigned threads, const ThreadStarter& start = nullptr);
    // Runs what is still queued, then stops and joins the workers.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // One thread per core, at most 16: what a pool for the whole program takes.
    static unsigned CoreThreads();

    // The threads that can work at once, the caller's included.
    unsigned Threads() const { return unsigned(workers_.size()) + 1; }

    // Runs task(k, runner) for every k in 0 … count − 1 on at most `threads`
    // threads (0: all of the pool's), the caller's included, and returns
    // when all have run. `runner` (0 … threads − 1) tells which of them runs
    // the task, so that each can have scratch memory of its own; one runner
    // runs its tasks one after another. Tasks must not throw.
    void ForEach(size_t count, unsigned threads,
                 const std::function<void(size_t task, unsigned runner)>& task);

    // Queues a task for the workers; with no workers it runs at once, on
    // the caller. Tasks must not throw.
    void Submit(std::function<void()> task);
    // Runs queued tasks on the calling thread until ready() holds. ready()
    // is tested under the pool's lock, first and after every task finishes.
    void HelpUntil(const std::function<bool()>& ready);

  private:
    void WorkerLoop();
    // Takes the next queued task and runs it with the lock released.
    void RunOne(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable queued_;    // a task was queued, or the pool stops
    std::condition_variable finished_;  // a task finished
    // The queued tasks: a ring of slots that only Submit() grows, so that a
    // worker taking a task never frees memory (a thread that allocates or
    // frees gets an allocator arena of its own on some C libraries). A task
    // whose callable is small (two pointers, for the common libraries) is
    // held without allocation.
    std::vector<std::function<void()>> ring_;
    size_t head_ = 0;  // the next task to run
    size_t queued_count_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace quorlane
