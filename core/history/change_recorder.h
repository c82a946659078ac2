// Records which directories change, from inotify into the change journal, on
// a thread of its own. Runs inside the application, or as tidewell-historyd.
//
// A recorded root is trusted only while its whole tree stays watched. It is
// dropped, with a record that makes every replay across that point a gap,
// when its own watch is lost (deleted, moved, unmounted), when it is no longer
// the directory it was when recording began, when a folder under it cannot be
// watched, when something is mounted or unmounted in or above it, or when
// inotify dropped events. Asking for it again records it anew, watching its
// whole tree again.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "history_mounts.h"
#include "journal_writer.h"
#include "scan_engine.h"
#include "unique_fd.h"

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
    // holds the journal, or inotify, the history folder's watch or the mount
    // table is unavailable.
    static std::unique_ptr<ChangeRecorder> start(const std::string& dir, Options options);
    static std::unique_ptr<ChangeRecorder> start(const std::string& dir) {
        return start(dir, Options{});
    }
    ~ChangeRecorder() override;

    // Records the directory `root` from now on and returns the identifier of
    // its start record. Directories below it are watched as the scan engine
    // reads them (this object is the engine's observer), or all at once here
    // with watchWholeTree. A root covered by a recorded one that is still the
    // same directory keeps that one's start. Nothing when it cannot be
    // recorded: not a directory, on a file system whose changes inotify does
    // not see, a watch that cannot be added, or recording has stopped.
    std::optional<std::uint64_t> recordRoot(const std::string& root, bool watchWholeTree);
    bool isRecorded(std::string_view path) const;

    void willReadDirectory(const std::string& path) override;

    // False once recording stopped by itself (failure() says why; the journal
    // is released then); stoppedFd() becomes readable at that moment.
    bool running() const { return !stopped_.load(); }
    std::string failure() const;
    int stoppedFd() const { return stoppedFd_.get(); }
    // Whether `path` is still the folder this recorder's journal is in (it
    // may have been removed, and made again, under it).
    bool journalIsAt(const std::string& path) const;

    std::uint64_t lastId() const;
    std::size_t watchCount() const;
    std::size_t journalWrites() const;
    const std::string& directory() const { return dir_; }

    struct Started {  // only start() can make one
        explicit Started() = default;
    };
    struct Descriptors {
        UniqueFd inotify, wake, stopped, dir, mounts;
    };
    ChangeRecorder(Started, std::unique_ptr<journal::JournalWriter> writer, std::string dir,
                   Options options, Descriptors fds, int historyWd, int parentWd);

  private:
    struct Root {
        std::string path;
        std::uint64_t since = 0;
        dev_t device = 0;
        ino_t inode = 0;
        std::vector<std::string> skips;  // not part of the tree (a whole-disk root's)
        std::uint64_t serial = 0;        // tells apart two starts of one path
        bool starting = false;           // being watched, not yet recorded
        bool failed = false;             // a watch failed while starting
        bool whole = false;              // its whole tree was watched at once, not left to scans
    };
    static constexpr std::size_t kNoRoot = static_cast<std::size_t>(-1);
    enum class Watch { added, existed, vanished, failed };

    void run();
    void loop();
    void stopWith(const std::string& reason);
    void handleEvents(const char* buffer, std::size_t length);
    void handleEvent(std::uint32_t mask, int wd, std::uint32_t cookie, const std::string& name);
    Watch addWatch(const std::string& path, bool onlyNew = false);
    bool watchTree(const std::string& path, const std::vector<std::string>& skips);
    void watchFailed(const std::string& path);
    void forgetTree(const std::string& path, const std::vector<std::string>& kept);
    void renameWatches(const std::string& from, const std::string& to);
    void loseRoot(const std::string& root, std::uint32_t flag);
    void loseRootsBelow(const std::string& path);
    void loseRootsWhere(std::uint32_t flag, const std::function<bool(const Root&)>& which);
    void checkMounts();
    void checkOtherNames(const std::string& dir, const std::string& name);
    void queue(std::uint32_t flags, std::string path);
    void queueLocked(std::uint32_t flags, std::string path);
    std::optional<std::uint64_t> flushLocked();
    void answerSync(const std::string& name);
    bool writeActiveFileLocked();
    void reloadRootsFile();
    // The first root whose tree holds `path`, or kNoRoot.
    std::size_t findRootLocked(std::string_view path, bool evenStarting) const;
    std::vector<std::string> skipsAt(std::string_view path) const;

    const std::string dir_;  // canonical
    const Options options_;
    const UniqueFd inotifyFd_;
    const UniqueFd wakeFd_;
    const UniqueFd stoppedFd_;
    const UniqueFd dirFd_;
    const UniqueFd mountsFd_;
    const int historyWd_;
    const int parentWd_;
    // A folder just moved out of a watched one (the move's cookie and its old
    // path), until the next event tells where it went. The recorder's thread only.
    std::optional<std::pair<std::uint32_t, std::string>> movedAway_;
    std::atomic<bool> stopping_{false};  // asked to stop by the owner
    std::atomic<bool> stopped_{false};   // stopped by itself

    // Locks, always taken in this order. Walkers read the roots and add
    // watches for every directory of a scan, so those two have locks of their own.
    mutable std::shared_mutex rootsMutex_;
    std::vector<Root> roots_;
    std::uint64_t nextSerial_ = 0;
    std::vector<history::Mount> mounts_;  // as last seen; the recorder's thread only
    mutable std::mutex watchMutex_;
    std::unordered_map<int, std::string> watches_;  // watch descriptor -> directory
    mutable std::mutex mutex_;                      // guards everything below, the writer included
    std::unique_ptr<journal::JournalWriter> writer_;
    std::vector<journal::NewRecord> pending_;
    std::unordered_set<std::string> pendingKeys_;    // repeats within one flush are dropped
    std::unordered_set<std::string> modifiedFiles_;  // files checked for other names, likewise
    std::chrono::steady_clock::time_point firstPending_;
    std::string failure_;

    std::thread thread_;  // last: started once everything above exists
};

}  // namespace tidewell
