// A thread that runs posted tasks one at a time, in order, plus tasks due
// after a delay. Destruction runs what is already due, drops what is not, and
// joins.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace tidewell {

class SerialQueue {
  public:
    using Task = std::function<void()>;
    SerialQueue();
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(Task task);
    void postAfter(std::chrono::steady_clock::duration delay, Task task);

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> ready_;
    std::multimap<std::chrono::steady_clock::time_point, Task> delayed_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tidewell
