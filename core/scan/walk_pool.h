// The threads and the slot counter that one scan or measurement shares.
//
// A walker that takes a slot hands a subdirectory to the pool; one that finds
// none walks it itself. No thread ever waits for a child: the pool has as many
// threads as slots, so a submitted job always finds a thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tidewell {

// Processors this process may run on (sched_getaffinity), at least 1.
int activeProcessorCount();

// max(active processors, 4): the limit on concurrently running child walkers.
int walkerSlotLimit();

class WalkPool {
  public:
    // A job receives the index of the worker running it, 0 .. threads - 1;
    // the thread that owns the pool uses index `threads`.
    using Job = std::function<void(std::size_t worker)>;

    explicit WalkPool(int threads);
    ~WalkPool();
    WalkPool(const WalkPool&) = delete;
    WalkPool& operator=(const WalkPool&) = delete;

    std::size_t threadCount() const { return threads_.size(); }
    // Takes a slot when one is free; false means do the work inline.
    bool tryTakeSlot();
    // Gives back a slot whose job could not be submitted.
    void releaseSlot() { active_.fetch_sub(1, std::memory_order_acq_rel); }
    void submit(Job job);  // the job must hold a slot; it is given back when the job returns
    int runningWalkers() const { return active_.load(std::memory_order_relaxed); }

  private:
    void run(std::size_t worker);
    void stop();

    const int maxSlots_;
    std::atomic<int> active_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Signals the owning thread when the last piece of a run is done.
class CompletionLatch {
  public:
    // Notifies under the lock: the waiter may destroy the latch as soon as it
    // sees it open.
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

}  // namespace tidewell
