#include "journal_history.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

#include "history_roots.h"
#include "journal.h"
#include "journal_writer.h"
#include "paths.h"

namespace tidewell {

namespace {

std::string randomToken() {
    std::random_device rd;
    std::ostringstream out;
    out << std::hex << rd() << rd() << rd();
    return out.str();
}

bool overlaps(std::string_view a, std::string_view b) {
    return isAtOrBelow(a, b) || isAtOrBelow(b, a);
}

// Whether the recorder has been recording a root covering `root` since an
// identifier no later than `since`.
bool coveredSince(const std::string& dir, const std::string& root, std::uint64_t since) {
    for (const history::ActiveRoot& r : history::activeRoots(dir))
        if (r.since <= since && isAtOrBelow(root, r.path)) return true;
    return false;
}

class JournalStream : public HistoryStream {
  public:
    JournalStream(const JournalHistory& history, std::string dir, JournalHistory::Options options,
                  std::string root, std::uint64_t since, SerialQueue& queue,
                  HistoryCallback callback)
        : history_(history),
          dir_(std::move(dir)),
          options_(options),
          root_(std::move(root)),
          since_(since),
          queue_(queue),
          callback_(std::move(callback)) {}
    ~JournalStream() override { stop(); }

    bool start() override {
        thread_ = std::thread([this] { replay(); });
        return true;
    }

    void stop() override {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

  private:
    bool stopping() {
        std::lock_guard lock(mutex_);
        return stopped_;
    }

    // Delivers one batch, after the configured pause; false once stopped.
    bool deliver(std::vector<HistoryEvent> batch) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, options_.batchDelay, [this] { return stopped_; });
            if (stopped_) return false;
        }
        queue_.post([cb = callback_, b = std::move(batch)]() mutable { cb(std::move(b)); });
        return true;
    }

    void untrusted(std::string reason) {
        deliver({HistoryEvent{{}, history::kUserDropped, std::move(reason)},
                 HistoryEvent{{}, history::kHistoryDone, {}}});
    }

    void replay() {
        const std::optional<std::uint64_t> marker =
            history_.sync(options_.syncTimeout, [this] { return stopping(); });
        if (stopping()) return;
        if (!marker) return untrusted("no recorder answered");
        if (!coveredSince(dir_, root_, since_))
            return untrusted("not recorded since identifier " + std::to_string(since_));
        std::vector<HistoryEvent> batch;
        bool open = true;
        const journal::ReadEnd end =
            journal::readSince(dir_, since_, [&](const journal::Record& r) {
                if (r.id >= *marker) return false;
                if (std::optional<HistoryEvent> e = translate(r)) batch.push_back(std::move(*e));
                if (batch.size() >= options_.batchSize) {
                    open = deliver(std::exchange(batch, {}));
                    return open;
                }
                return true;
            });
        if (!open) return;
        if (end == journal::ReadEnd::gap)
            batch.push_back({{}, history::kUserDropped, "the journal has a gap"});
        batch.push_back({{}, history::kHistoryDone, {}});
        deliver(std::move(batch));
    }

    std::optional<HistoryEvent> translate(const journal::Record& r) const {
        using namespace journal;
        if ((r.flags & kWriterStarted) != 0)
            return HistoryEvent{{}, history::kUserDropped, "the recorder restarted"};
        if ((r.flags & kSync) != 0) return std::nullopt;
        if ((r.flags & kKernelDropped) != 0)
            return HistoryEvent{
                {}, history::kKernelDropped, "events were lost (inotify queue overflow)"};
        if (!overlaps(r.path, root_)) return std::nullopt;
        if ((r.flags & kRecordingStarted) != 0)
            return HistoryEvent{r.path, history::kUserDropped,
                                "recording of " + r.path + " started"};
        if ((r.flags & kUserDropped) != 0)
            return HistoryEvent{r.path, history::kUserDropped, "out of inotify watches"};
        if ((r.flags & kUnmount) != 0)
            return HistoryEvent{r.path, history::kUnmount, "a file system was unmounted"};
        if (!isAtOrBelow(r.path, root_)) return std::nullopt;
        return HistoryEvent{r.path, r.flags & kMustScanSubdirs, {}};
    }

    const JournalHistory& history_;
    const std::string dir_;
    const JournalHistory::Options options_;
    const std::string root_;
    const std::uint64_t since_;
    SerialQueue& queue_;
    const HistoryCallback callback_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace

JournalHistory::JournalHistory(std::string dir, Options options)
    : dir_(std::move(dir)), options_(options) {}

std::unique_ptr<HistoryStream> JournalHistory::createStream(const std::string& root,
                                                            std::uint64_t since, SerialQueue& queue,
                                                            HistoryCallback callback) {
    std::string r = root;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return std::make_unique<JournalStream>(*this, dir_, options_, std::move(r), since, queue,
                                           std::move(callback));
}

std::uint64_t JournalHistory::currentEventId() {
    return journal::lastId(dir_);
}

std::optional<std::uint64_t> JournalHistory::sync(std::chrono::milliseconds timeout,
                                                  const std::function<bool()>& cancelled) const {
    if (!journal::writerIsRunning(dir_)) return std::nullopt;
    const std::string token = randomToken();
    const std::uint64_t from = journal::lastId(dir_);
    const std::string file = dir_ + "/sync-" + token;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && !(cancelled && cancelled())) {
        std::optional<std::uint64_t> found;
        journal::readSince(dir_, from, [&](const journal::Record& r) {
            if ((r.flags & journal::kSync) != 0 && r.path == token) found = r.id;
            return !found;
        });
        if (found) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::unlink(file.c_str());
    return std::nullopt;
}

std::unique_ptr<JournalHistory> defaultJournalHistory() {
    const std::optional<std::string> dir = journal::historyDirectory();
    if (!dir) return nullptr;
    return std::make_unique<JournalHistory>(*dir);
}

}  // namespace tidewell
