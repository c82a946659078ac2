#include "walk_pool.h"

#include <sched.h>

#include <algorithm>

namespace tidewell {

int activeProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

int walkerSlotLimit() {
    return std::max(activeProcessorCount(), 4);
}

WalkPool::WalkPool(int threads) : maxSlots_(threads) {
    try {
        threads_.reserve(static_cast<std::size_t>(threads));
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this, i] { run(static_cast<std::size_t>(i)); });
    } catch (...) {
        // A thread that could not start (no memory for its stack): the ones
        // running are stopped before the failure goes on to the caller.
        stop();
        throw;
    }
}

WalkPool::~WalkPool() {
    stop();
}

void WalkPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

bool WalkPool::tryTakeSlot() {
    // A compare-and-swap, not add-then-undo: the count never passes the
    // limit even for an instant, so a reader of runningWalkers() never sees
    // more walkers than there can be.
    int seen = active_.load(std::memory_order_acquire);
    while (seen < maxSlots_)
        if (active_.compare_exchange_weak(seen, seen + 1, std::memory_order_acq_rel)) return true;
    return false;
}

void WalkPool::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void WalkPool::run(std::size_t worker) {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job(worker);
        active_.fetch_sub(1, std::memory_order_acq_rel);
    }
}

}  // namespace tidewell
