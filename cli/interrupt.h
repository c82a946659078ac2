// Turns Ctrl-C (SIGINT) and SIGTERM into a stop request for running work.
#pragma once

#include <stop_token>
#include <thread>

namespace tidewell::cli {

class InterruptWatch {
  public:
    explicit InterruptWatch(std::stop_source& source);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    bool interrupted() const;

  private:
    // The handler may only set a flag; this thread passes it on.
    std::jthread watcher_;
};

}  // namespace tidewell::cli
