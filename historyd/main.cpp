// tidewell-historyd: records the change history of the roots listed in the
// history folder's roots file, for as long as the user is logged in, so that
// Tidewell can bring a cached scan up to date after a restart.
#include <signal.h>

#include <ctime>
#include <iostream>
#include <memory>

#include "change_recorder.h"
#include "journal.h"

namespace {

// Waits up to `seconds` for SIGTERM, SIGINT or SIGHUP; true when one came.
bool waitForSignal(const sigset_t& set, int seconds) {
    const timespec timeout{seconds, 0};
    return ::sigtimedwait(&set, nullptr, seconds < 0 ? nullptr : &timeout) > 0;
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

    const std::optional<std::string> dir = tidewell::journal::historyDirectory();
    if (!dir) {
        std::cerr << "tidewell-historyd: no history folder (is HOME set?)\n";
        return 1;
    }
    tidewell::ChangeRecorder::Options options;
    options.followRootsFile = true;
    std::unique_ptr<tidewell::ChangeRecorder> recorder;
    // While Tidewell itself records, it holds the journal: take over when it quits.
    while (!(recorder = tidewell::ChangeRecorder::start(*dir, options)))
        if (waitForSignal(set, 2)) return 0;
    std::cerr << "tidewell-historyd: recording into " << *dir << '\n';
    waitForSignal(set, -1);
    return 0;
}
