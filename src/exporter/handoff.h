#pragma once
// The exporter's hand-over between its loading, drawing and encoding threads.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace quorlane {

// A queue that hands pointers from one thread to another; Pop waits for one
// until the queue is closed and empty.
template <class T>
class Handoff {
  public:
    void Push(T* item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.push_back(item);
        }
        changed_.notify_all();
    }
    T* Pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !items_.empty() || closed_; });
        if (items_.empty()) return nullptr;
        T* item = items_.front();
        items_.pop_front();
        return item;
    }
    // Waits until the queue holds `count` items.
    void WaitFor(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return items_.size() >= count; });
    }
    // The items held now, left in the queue.
    std::vector<T*> Peek() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::vector<T*>(items_.begin(), items_.end());
    }
    void Close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T*> items_;
    bool closed_ = false;
};

}  // namespace quorlane
