// tidewell-historyd: records the change history of the roots listed in the
// history folder's roots file, for as long as the user is logged in, so that
// Tidewell can bring a cached scan up to date after a restart.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <array>
#include <iostream>
#include <memory>

#include "change_recorder.h"
#include "journal.h"
#include "unique_fd.h"

namespace {

constexpr int kRetryMs = 2000;
constexpr int kPauseMs = 200;

// Waits for SIGTERM, SIGINT or SIGHUP, or for `other` to become readable, at
// most `ms` milliseconds (forever when negative); true when a signal came.
bool waitForSignal(int signals, int other, int ms) {
    std::array<pollfd, 2> fds{pollfd{signals, POLLIN, 0}, pollfd{other, POLLIN, 0}};
    while (::poll(fds.data(), other >= 0 ? 2 : 1, ms) < 0)
        if (errno != EINTR) return true;
    return fds[0].revents != 0;
}

}  // namespace

int main() {
    // Signals are taken synchronously, before any thread exists to get them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    const tidewell::UniqueFd signals(::signalfd(-1, &set, SFD_CLOEXEC));
    if (!signals) {
        std::cerr << "tidewell-historyd: cannot wait for signals\n";
        return 1;
    }

    tidewell::ChangeRecorder::Options options;
    options.followRootsFile = true;
    for (;;) {
        // Made again when it was removed while recording.
        const std::optional<std::string> dir = tidewell::journal::historyDirectory();
        if (!dir) {
            std::cerr << "tidewell-historyd: no history folder (is HOME set?)\n";
            return 1;
        }
        // While Tidewell itself records, it holds the journal: take over when it quits.
        std::unique_ptr<tidewell::ChangeRecorder> recorder =
            tidewell::ChangeRecorder::start(*dir, options);
        if (!recorder) {
            if (waitForSignal(signals.get(), -1, kRetryMs)) return 0;
            continue;
        }
        std::cerr << "tidewell-historyd: recording into " << *dir << '\n';
        if (waitForSignal(signals.get(), recorder->stoppedFd(), -1)) return 0;
        std::cerr << "tidewell-historyd: recording stopped: " << recorder->failure() << '\n';
        recorder.reset();
        // A failure that comes back at once is not retried in a busy loop.
        if (waitForSignal(signals.get(), -1, kPauseMs)) return 0;
    }
}
