// Records which directories change, from inotify into the change journal, on
// a thread of its own. Runs inside the application, or as tidewell-historyd.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "journal_writer.h"
#include "scan_engine.h"

namespace tidewell {

class ChangeRecorder : public ScanObserver {
  public:
    struct Options {
        journal::WriterOptions journal;
        std::chrono::milliseconds flushInterval{50};  // events wait at most this long
        std::size_t flushRecords = 8192;              // or until this many are waiting
        bool followRootsFile = false;  // record every root listed in the roots file (the service)
    };

    // Starts recording into the journal in `dir`; nothing when another writer
    // holds the journal's lock or inotify is unavailable.
    static std::unique_ptr<ChangeRecorder> start(const std::string& dir, Options options);
    static std::unique_ptr<ChangeRecorder> start(const std::string& dir) {
        return start(dir, Options{});
    }
    ~ChangeRecorder() override;

    // Records `root` from now on and returns the identifier of its start
    // record. Directories below it are watched as the scan engine reads them
    // (this object is the engine's observer), or all at once here with
    // watchWholeTree. A root already covered by a recorded one is not restarted.
    std::uint64_t recordRoot(const std::string& root, bool watchWholeTree);
    bool isRecorded(std::string_view path) const;

    void willReadDirectory(const std::string& path) override;

    std::uint64_t lastId() const;
    std::size_t watchCount() const;
    std::size_t journalWrites() const;
    const std::string& directory() const { return dir_; }

    struct Started {  // only start() can make one
        explicit Started() = default;
    };
    ChangeRecorder(Started, std::unique_ptr<journal::JournalWriter> writer, std::string dir,
                   Options options, int inotifyFd, int wakeFd);

  private:
    void run();
    void handleEvents(const char* buffer, std::size_t length);
    bool addWatch(const std::string& path);
    void watchTree(const std::string& path);
    void forgetTree(const std::string& path);
    void queue(std::uint32_t flags, std::string path);
    void flushLocked();
    void answerSync(const std::string& token);
    void writeActiveFileLocked();
    void reloadRootsFile();
    std::string rootOfLocked(std::string_view path) const;

    const std::string dir_;
    const Options options_;
    const int inotifyFd_;
    const int wakeFd_;
    int historyWd_ = -1;

    // Locks, always taken in this order. Walkers read the roots and add
    // watches for every directory of a scan, so those two have locks of their own.
    mutable std::shared_mutex rootsMutex_;
    std::vector<std::pair<std::string, std::uint64_t>> roots_;  // root, start identifier
    mutable std::mutex watchMutex_;
    std::unordered_map<int, std::string> watches_;  // watch descriptor -> directory
    mutable std::mutex mutex_;                      // guards everything below, the writer included
    std::unique_ptr<journal::JournalWriter> writer_;
    std::vector<journal::NewRecord> pending_;
    std::unordered_set<std::string> pendingKeys_;  // repeats within one flush are dropped
    std::chrono::steady_clock::time_point firstPending_;

    std::thread thread_;  // last: started once everything above exists
};

}  // namespace tidewell
