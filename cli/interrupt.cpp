#include "interrupt.h"

#include <chrono>
#include <csignal>

namespace tidewell::cli {

namespace {
volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}
}  // namespace

InterruptWatch::InterruptWatch(std::stop_source& source) {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    watcher_ = std::jthread([&source](std::stop_token own) {
        while (!own.stop_requested()) {
            if (gInterrupted != 0) {
                source.request_stop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

InterruptWatch::~InterruptWatch() {
    watcher_.request_stop();
    watcher_.join();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptWatch::interrupted() const {
    return gInterrupted != 0;
}

}  // namespace tidewell::cli
