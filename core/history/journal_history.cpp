#include "journal_history.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
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

// Only what lies at or below the root, or changes what the root is, counts.
std::optional<HistoryEvent> translate(const journal::Record& r, const std::string& root) {
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
    if (!overlaps(r.path, root)) return std::nullopt;
    if ((r.flags & kRecordingStarted) != 0)
        return HistoryEvent{r.path, history::kUserDropped, "recording of " + r.path + " started"};
    if ((r.flags & kUserDropped) != 0)
        return HistoryEvent{r.path, history::kUserDropped,
                            "a folder under " + r.path + " could not be watched"};
    if ((r.flags & kRootLost) != 0)
        return HistoryEvent{r.path, history::kUserDropped, "the watch of " + r.path + " was lost"};
    if ((r.flags & kUnmount) != 0)
        return HistoryEvent{r.path, history::kUnmount, "a file system was unmounted"};
    if (!isAtOrBelow(r.path, root)) {
        // A folder above the root made or moved in: the root is another one now.
        if ((r.flags & kMustScanSubdirs) != 0)
            return HistoryEvent{r.path, history::kUserDropped, r.path + " was replaced"};
        return std::nullopt;
    }
    return HistoryEvent{r.path, r.flags & kMustScanSubdirs, {}};
}

}  // namespace

JournalHistory::JournalHistory(std::string dir, Options options)
    : dir_(std::move(dir)), options_(options) {}

void JournalHistory::replay(const std::string& rootPath, std::uint64_t since,
                            std::chrono::steady_clock::time_point deadline,
                            const HistorySink& sink) {
    using Clock = std::chrono::steady_clock;
    std::string root = rootPath;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    const auto untrusted = [&](std::string reason) {
        if (sink({{}, history::kUserDropped, std::move(reason)}))
            sink({{}, history::kHistoryDone, {}});
    };
    // Only a folder has a history of its own; a file is read again.
    struct stat st {};
    if (::lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return untrusted(root + " is not a folder");
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const Synced synced = sync(std::min(options_.syncTimeout, left));
    if (!synced.id) {
        if (Clock::now() >= deadline) return;
        return untrusted(synced.failure);
    }
    const std::uint64_t marker = *synced.id;
    if (journal::epochOf(since) != journal::epochOf(marker))
        return untrusted("identifier " + std::to_string(since) + " belongs to another journal");
    if (since > marker)
        return untrusted("identifier " + std::to_string(since) + " is beyond the newest record");
    if (!history::coveringRoot(dir_, root, since))
        return untrusted(root + " is not recorded since identifier " + std::to_string(since));
    if (options_.delay.count() > 0) {
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + options_.delay));
        if (Clock::now() >= deadline) return;
    }
    bool open = true;
    bool reached = since == marker;
    std::size_t read = 0;
    const journal::ReadEnd end = journal::readSince(dir_, since, [&](const journal::Record& r) {
        if (r.id >= marker) {
            reached = r.id == marker;
            return false;
        }
        // The clock is read once in a while: a replay is millions of records at most.
        if (++read % 1024 == 0 && Clock::now() >= deadline) return open = false;
        if (std::optional<HistoryEvent> e = translate(r, root)) open = sink(std::move(*e));
        return open;
    });
    if (!open) return;
    if ((end == journal::ReadEnd::gap || !reached) &&
        !sink({{}, history::kUserDropped, "the journal has a gap"}))
        return;
    sink({{}, history::kHistoryDone, {}});
}

std::uint64_t JournalHistory::currentEventId() {
    return journal::lastId(dir_);
}

JournalHistory::Synced JournalHistory::sync(std::chrono::milliseconds timeout,
                                            const std::string& root) const {
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
        pollfd fd{in.get(), POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
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
