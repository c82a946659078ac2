#include "change_recorder.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "history_roots.h"
#include "paths.h"

namespace tidewell {

namespace {

constexpr std::uint32_t kDirectoryMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                         IN_DONT_FOLLOW | IN_EXCL_UNLINK;
constexpr std::uint32_t kHistoryMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR;
constexpr std::string_view kSyncPrefix = "sync-";

std::string withoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

std::unique_ptr<ChangeRecorder> ChangeRecorder::start(const std::string& dir, Options options) {
    auto writer = journal::JournalWriter::open(dir, options.journal);
    if (!writer) return nullptr;
    const int in = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (in < 0) return nullptr;
    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(in);
        return nullptr;
    }
    return std::make_unique<ChangeRecorder>(Started{}, std::move(writer), dir, options, in, wake);
}

ChangeRecorder::ChangeRecorder(Started, std::unique_ptr<journal::JournalWriter> writer,
                               std::string dir, Options options, int inotifyFd, int wakeFd)
    : dir_(std::move(dir)),
      options_(options),
      inotifyFd_(inotifyFd),
      wakeFd_(wakeFd),
      writer_(std::move(writer)) {
    // The history folder itself: sync requests and, for the service, the roots file.
    historyWd_ = ::inotify_add_watch(inotifyFd_, dir_.c_str(), kHistoryMask);
    {
        std::shared_lock rootsLock(rootsMutex_);
        std::lock_guard lock(mutex_);
        writeActiveFileLocked();
    }
    if (options_.followRootsFile) reloadRootsFile();
    thread_ = std::thread([this] { run(); });
}

ChangeRecorder::~ChangeRecorder() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    {
        std::lock_guard lock(mutex_);
        flushLocked();
    }
    ::close(inotifyFd_);
    ::close(wakeFd_);
}

std::string ChangeRecorder::rootOfLocked(std::string_view path) const {
    for (const auto& [root, id] : roots_)
        if (isAtOrBelow(path, root)) return root;
    return {};
}

bool ChangeRecorder::isRecorded(std::string_view path) const {
    std::shared_lock lock(rootsMutex_);
    return !rootOfLocked(path).empty();
}

std::uint64_t ChangeRecorder::recordRoot(const std::string& rootIn, bool watchWholeTree) {
    const std::string root = withoutTrailingSlash(rootIn);
    {
        std::shared_lock lock(rootsMutex_);
        for (const auto& [r, id] : roots_)
            if (isAtOrBelow(root, r)) return id;
    }
    if (watchWholeTree)
        watchTree(root);
    else
        addWatch(root);
    std::unique_lock rootsLock(rootsMutex_);
    std::lock_guard lock(mutex_);
    // Older events go first, so the start record follows everything before it.
    flushLocked();
    const journal::NewRecord start{journal::kRecordingStarted, root};
    const std::uint64_t id = writer_->append(std::span(&start, 1));
    roots_.emplace_back(root, id);
    writeActiveFileLocked();
    return id;
}

void ChangeRecorder::willReadDirectory(const std::string& path) {
    if (isRecorded(path)) addWatch(path);
}

std::uint64_t ChangeRecorder::lastId() const {
    std::lock_guard lock(mutex_);
    return writer_->lastId();
}

std::size_t ChangeRecorder::watchCount() const {
    std::lock_guard lock(watchMutex_);
    return watches_.size();
}

std::size_t ChangeRecorder::journalWrites() const {
    std::lock_guard lock(mutex_);
    return writer_->writes();
}

bool ChangeRecorder::addWatch(const std::string& path) {
    const int wd = ::inotify_add_watch(inotifyFd_, path.c_str(), kDirectoryMask);
    if (wd < 0) {
        // Out of watches: this root's history can no longer be complete.
        if (errno == ENOSPC) {
            std::shared_lock rootsLock(rootsMutex_);
            std::lock_guard lock(mutex_);
            const std::string root = rootOfLocked(path);
            if (!root.empty()) {
                pending_.push_back({journal::kUserDropped, root});
                if (pending_.size() == 1) firstPending_ = std::chrono::steady_clock::now();
            }
        }
        return false;
    }
    std::lock_guard lock(watchMutex_);
    auto [it, added] = watches_.try_emplace(wd, path);
    if (!added && it->second != path) it->second = path;
    return true;
}

// Watches `path` and every directory below it, without following links.
void ChangeRecorder::watchTree(const std::string& path) {
    std::vector<std::string> stack{path};
    while (!stack.empty()) {
        const std::string dir = std::move(stack.back());
        stack.pop_back();
        if (!addWatch(dir)) continue;
        DIR* d = ::opendir(dir.c_str());
        if (d == nullptr) continue;
        while (const dirent* e = ::readdir(d)) {
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st {};
                isDir = ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode);
            }
            if (isDir) stack.push_back(childPath(dir, name));
        }
        ::closedir(d);
    }
}

// A directory moved away: its watches would report under a stale path.
void ChangeRecorder::forgetTree(const std::string& path) {
    std::vector<int> gone;
    {
        std::lock_guard lock(watchMutex_);
        for (const auto& [wd, p] : watches_)
            if (isAtOrBelow(p, path)) gone.push_back(wd);
        for (const int wd : gone) watches_.erase(wd);
    }
    for (const int wd : gone) ::inotify_rm_watch(inotifyFd_, wd);
}

void ChangeRecorder::queue(std::uint32_t flags, std::string path) {
    std::lock_guard lock(mutex_);
    std::string key(reinterpret_cast<const char*>(&flags), sizeof flags);
    key += path;
    if (!pendingKeys_.insert(std::move(key)).second) return;
    if (pending_.empty()) firstPending_ = std::chrono::steady_clock::now();
    pending_.push_back({flags, std::move(path)});
}

void ChangeRecorder::flushLocked() {
    if (pending_.empty()) return;
    writer_->append(pending_);
    pending_.clear();
    pendingKeys_.clear();
}

void ChangeRecorder::answerSync(const std::string& token) {
    std::lock_guard lock(mutex_);
    flushLocked();
    const journal::NewRecord marker{journal::kSync, token};
    writer_->append(std::span(&marker, 1));
    ::unlink((dir_ + "/" + std::string(kSyncPrefix) + token).c_str());
}

void ChangeRecorder::writeActiveFileLocked() {
    std::vector<history::ActiveRoot> list;
    for (const auto& [root, id] : roots_) list.push_back({id, root});
    history::writeActiveRoots(dir_, list);
}

void ChangeRecorder::reloadRootsFile() {
    for (const std::string& root : history::listedRoots(dir_)) recordRoot(root, true);
}

void ChangeRecorder::run() {
    std::array<char, 64 * 1024> buffer{};
    std::array<pollfd, 2> fds{pollfd{inotifyFd_, POLLIN, 0}, pollfd{wakeFd_, POLLIN, 0}};
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard lock(mutex_);
            if (!pending_.empty()) {
                const auto due = firstPending_ + options_.flushInterval;
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    due - std::chrono::steady_clock::now());
                timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
            }
        }
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) return;
        if (fds[1].revents != 0) return;  // asked to stop
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            ssize_t n;
            while ((n = ::read(inotifyFd_, buffer.data(), buffer.size())) > 0)
                handleEvents(buffer.data(), static_cast<std::size_t>(n));
        }
        std::lock_guard lock(mutex_);
        if (!pending_.empty() &&
            (pending_.size() >= options_.flushRecords ||
             std::chrono::steady_clock::now() >= firstPending_ + options_.flushInterval))
            flushLocked();
    }
}

void ChangeRecorder::handleEvents(const char* buffer, std::size_t length) {
    for (std::size_t at = 0; at + sizeof(inotify_event) <= length;) {
        inotify_event ev;
        std::memcpy(&ev, buffer + at, sizeof ev);
        const std::string name = ev.len > 0 ? std::string(buffer + at + sizeof ev) : std::string();
        at += sizeof ev + ev.len;

        if ((ev.mask & IN_Q_OVERFLOW) != 0) {
            queue(journal::kKernelDropped, {});
            continue;
        }
        if (ev.wd == historyWd_) {
            if (std::string_view(name).starts_with(kSyncPrefix) && (ev.mask & IN_CREATE) != 0)
                answerSync(name.substr(kSyncPrefix.size()));
            else if (name == "roots" && options_.followRootsFile &&
                     (ev.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0)
                reloadRootsFile();
            continue;
        }
        std::string dir;
        {
            std::lock_guard lock(watchMutex_);
            auto it = watches_.find(ev.wd);
            if (it == watches_.end()) continue;
            dir = it->second;
            if ((ev.mask & IN_IGNORED) != 0) {
                watches_.erase(it);
                continue;
            }
        }
        if ((ev.mask & IN_UNMOUNT) != 0) {
            queue(journal::kUnmount, dir);
            continue;
        }
        if ((ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
            // Gone from here: whatever held it must be read again.
            if ((ev.mask & IN_MOVE_SELF) != 0) forgetTree(dir);
            queue(journal::kMustScanSubdirs, dir);
            continue;
        }
        queue(0, dir);
        if ((ev.mask & IN_ISDIR) == 0 || name.empty()) continue;
        const std::string child = childPath(dir, name);
        if ((ev.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
            // Entries may have landed before the watch: read it all again.
            watchTree(child);
            queue(journal::kMustScanSubdirs, child);
        } else if ((ev.mask & IN_MOVED_FROM) != 0) {
            forgetTree(child);
        }
    }
}

}  // namespace tidewell
