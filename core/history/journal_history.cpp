#include "journal_history.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

#include "history_roots.h"
#include "journal.h"
#include "journal_writer.h"
#include "paths.h"
#include "unique_fd.h"

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

// Writes the request under a name the recorder ignores, then moves it into
// place, so that it is read whole.
bool placeRequest(const std::string& dir, const std::string& token, const std::string& root) {
    const std::string draft = dir + "/req-" + token;
    UniqueFd fd(::open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd) return false;
    const bool written =
        ::write(fd.get(), root.data(), root.size()) == static_cast<ssize_t>(root.size());
    if (!fd.close() || !written || ::rename(draft.c_str(), (dir + "/sync-" + token).c_str()) != 0) {
        ::unlink(draft.c_str());
        return false;
    }
    return true;
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
          callback_(std::move(callback)),
          stopFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~JournalStream() override { stop(); }

    bool start() override {
        if (!stopFd_) return false;
        thread_ = std::thread([this] { replay(); });
        return true;
    }

    void stop() override {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        if (stopFd_) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(stopFd_.get(), &one, sizeof one);
        }
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
        // Only a folder has a history of its own; a file is read again.
        struct stat st {};
        if (::lstat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return untrusted(root_ + " is not a folder");
        const JournalHistory::Synced synced =
            history_.sync(options_.syncTimeout, {}, stopFd_.get());
        if (stopping()) return;
        if (!synced.id) return untrusted(synced.failure);
        const std::uint64_t marker = *synced.id;
        if (journal::epochOf(since_) != journal::epochOf(marker))
            return untrusted("identifier " + std::to_string(since_) +
                             " belongs to another journal");
        if (since_ > marker)
            return untrusted("identifier " + std::to_string(since_) +
                             " is beyond the newest record");
        if (!history::coveringRoot(dir_, root_, since_))
            return untrusted(root_ + " is not recorded since identifier " + std::to_string(since_));
        std::vector<HistoryEvent> batch;
        bool open = true;
        bool reached = since_ == marker;
        const journal::ReadEnd end =
            journal::readSince(dir_, since_, [&](const journal::Record& r) {
                if (r.id >= marker) {
                    reached = r.id == marker;
                    return false;
                }
                if (std::optional<HistoryEvent> e = translate(r)) batch.push_back(std::move(*e));
                if (batch.size() >= options_.batchSize) {
                    open = deliver(std::exchange(batch, {}));
                    return open;
                }
                return true;
            });
        if (!open) return;
        if (end == journal::ReadEnd::gap || !reached)
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
        if ((r.flags & kSeveralNames) != 0)
            return HistoryEvent{
                {}, history::kUserDropped, "a file with several names changed in " + r.path};
        if (!overlaps(r.path, root_)) return std::nullopt;
        if ((r.flags & kRecordingStarted) != 0)
            return HistoryEvent{r.path, history::kUserDropped,
                                "recording of " + r.path + " started"};
        if ((r.flags & kUserDropped) != 0)
            return HistoryEvent{r.path, history::kUserDropped,
                                "a folder under " + r.path + " could not be watched"};
        if ((r.flags & kRootLost) != 0)
            return HistoryEvent{r.path, history::kUserDropped,
                                "the watch of " + r.path + " was lost"};
        if ((r.flags & kUnmount) != 0)
            return HistoryEvent{r.path, history::kUnmount, "a file system was unmounted"};
        if (!isAtOrBelow(r.path, root_)) {
            // A folder above the root made or moved in: the root is another one now.
            if ((r.flags & kMustScanSubdirs) != 0)
                return HistoryEvent{r.path, history::kUserDropped, r.path + " was replaced"};
            return std::nullopt;
        }
        return HistoryEvent{r.path, r.flags & kMustScanSubdirs, {}};
    }

    const JournalHistory& history_;
    const std::string dir_;
    const JournalHistory::Options options_;
    const std::string root_;
    const std::uint64_t since_;
    SerialQueue& queue_;
    const HistoryCallback callback_;
    const UniqueFd stopFd_;  // readable once stopped: ends a sync wait
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

JournalHistory::Synced JournalHistory::sync(std::chrono::milliseconds timeout,
                                            const std::string& root, int cancelFd) const {
    if (!journal::writerIsRunning(dir_)) return {std::nullopt, "no recorder is running"};
    // The answer is a rename in the history folder; wait for it on inotify.
    const UniqueFd in(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!in || ::inotify_add_watch(in.get(), dir_.c_str(),
                                   IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR) < 0)
        return {std::nullopt, "the history folder cannot be watched"};
    const std::string token = randomToken();
    if (!placeRequest(dir_, token, root)) return {std::nullopt, "a sync request cannot be written"};
    const std::string done = "done-" + token + "-";
    const std::string fail = "fail-" + token;

    Synced result{std::nullopt, "no recorder answered"};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    alignas(inotify_event) std::array<char, 16384> buffer{};
    bool waiting = true;
    while (waiting) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        std::array<pollfd, 2> fds{pollfd{in.get(), POLLIN, 0}, pollfd{cancelFd, POLLIN, 0}};
        const int ready = ::poll(fds.data(), cancelFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) break;
        if (cancelFd >= 0 && fds[1].revents != 0) {
            result.failure = "cancelled";
            break;
        }
        ssize_t n;
        while (waiting && (n = ::read(in.get(), buffer.data(), buffer.size())) > 0) {
            for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(n);) {
                inotify_event ev;
                std::memcpy(&ev, buffer.data() + at, sizeof ev);
                const std::string name =
                    ev.len > 0 ? std::string(buffer.data() + at + sizeof ev) : std::string();
                at += sizeof ev + ev.len;
                if ((ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                    result.failure = "the history folder was removed";
                    waiting = false;
                } else if (name.starts_with(done)) {
                    std::uint64_t id = 0;
                    if (std::sscanf(name.c_str() + done.size(), "%" SCNx64, &id) == 1)
                        result = {id, {}};
                    ::unlink((dir_ + "/" + name).c_str());
                    waiting = false;
                } else if (name == fail) {
                    result.failure = "the journal cannot be written";
                    ::unlink((dir_ + "/" + name).c_str());
                    waiting = false;
                }
                if (!waiting) break;
            }
        }
    }
    if (waiting || !result.id) ::unlink((dir_ + "/sync-" + token).c_str());
    return result;
}

std::unique_ptr<JournalHistory> defaultJournalHistory() {
    const std::optional<std::string> dir = journal::historyDirectory();
    if (!dir) return nullptr;
    return std::make_unique<JournalHistory>(*dir);
}

}  // namespace tidewell
