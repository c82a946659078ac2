// Change history figures: a full scan with recording on against off, the time
// to record a burst of 100,000 events, and the time to replay 60,000.
//
// usage: tidewell-history-bench TREE WORKDIR
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "change_recorder.h"
#include "change_tracker.h"
#include "journal_history.h"
#include "scan_engine.h"

using namespace tidewell;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeScan(const std::string& tree, ChangeRecorder* recorder) {
    ScanEngine engine;
    const auto t0 = Clock::now();
    NodeRef root = engine.scan(tree, std::nullopt, {}, {}, {}, recorder);
    const double s = seconds(Clock::now() - t0);
    if (!root) std::fprintf(stderr, "scan failed\n");
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TREE WORKDIR\n", argv[0]);
        return 2;
    }
    const std::string tree = argv[1];
    const std::string work = argv[2];
    const std::string journalDir = work + "/journal";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(journalDir);

    // 1. Full scan, recording off and on (a fresh recorder each time, so every
    //    directory's watch is added during the scan).
    timeScan(tree, nullptr);
    std::vector<double> off, on;
    for (int round = 0; round < 5; ++round) {
        off.push_back(timeScan(tree, nullptr));
        auto recorder = ChangeRecorder::start(journalDir);
        recorder->recordRoot(tree, false);
        on.push_back(timeScan(tree, recorder.get()));
        if (round == 0) std::printf("watches after a recorded scan: %zu\n", recorder->watchCount());
    }
    std::printf("full scan, recording off: %.3f s   on: %.3f s   ratio %.2fx\n", median(off),
                median(on), median(on) / median(off));

    // 2. A burst of 100,000 events: 1,000 watched directories, 50 files each,
    //    every file created and written (two events).
    const std::string burst = work + "/burst";
    std::filesystem::create_directories(burst);
    for (int d = 0; d < 1000; ++d)
        std::filesystem::create_directory(burst + "/d" + std::to_string(d));
    {
        // Only syncs write out, so the rounds below coalesce exactly as made.
        ChangeRecorder::Options options;
        options.flushInterval = std::chrono::minutes(10);
        options.flushRecords = 1u << 20;
        auto recorder = ChangeRecorder::start(journalDir, options);
        recorder->recordRoot(burst, true);
        JournalHistory history(journalDir);
        const std::size_t writes0 = recorder->journalWrites();
        const auto t0 = Clock::now();
        for (int d = 0; d < 1000; ++d)
            for (int f = 0; f < 50; ++f)
                std::ofstream(burst + "/d" + std::to_string(d) + "/f" + std::to_string(f)) << 'x';
        const auto t1 = Clock::now();
        history.sync(std::chrono::seconds(60));
        const auto t2 = Clock::now();
        std::printf(
            "burst of 100,000 events: made in %.3f s, all recorded %.3f s after the "
            "first (%.3f s after the last); %zu journal writes\n",
            seconds(t1 - t0), seconds(t2 - t0), seconds(t2 - t1),
            recorder->journalWrites() - writes0);

        // 3. Replay 60,000 events: 60 rounds over the same 1,000 directories,
        //    each round written out by a sync, so no two events coalesce.
        const std::uint64_t since = history.currentEventId();
        for (int round = 0; round < 60; ++round) {
            for (int d = 0; d < 1000; ++d)
                std::ofstream(burst + "/d" + std::to_string(d) + "/f0") << round;
            history.sync(std::chrono::seconds(60));
        }
        std::vector<double> replay;
        std::size_t count = 0;
        for (int i = 0; i < 5; ++i) {
            const auto r0 = Clock::now();
            const ChangeTracker::Answer a = ChangeTracker::ask(history, burst, since, 60000, 15.0);
            replay.push_back(seconds(Clock::now() - r0));
            count = a.changes ? a.changes->changedDirs.size() : 0;
            if (!a.changes) std::printf("replay gave nothing: %s\n", a.reason.c_str());
        }
        std::printf("replay of %zu events: %.3f s (median of 5)\n", count, median(replay));
    }
    std::filesystem::remove_all(work);
    return 0;
}
