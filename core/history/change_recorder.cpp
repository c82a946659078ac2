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
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "history_roots.h"
#include "paths.h"
#include "skip_paths.h"

namespace tidewell {

namespace {

constexpr std::uint32_t kDirectoryMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                         IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                         IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
constexpr std::uint32_t kHistoryMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The folder holding the history folder: its removal shows there at once,
// while the history folder's own deletion waits for this process's
// descriptors of it to close.
constexpr std::uint32_t kParentMask =
    IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::string_view kSyncPrefix = "sync-";
constexpr std::size_t kMaxRequestBytes = 65536;

std::string withoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool skipped(std::string_view path, const std::vector<std::string>& skips) {
    return std::any_of(skips.begin(), skips.end(),
                       [&](const std::string& s) { return isAtOrBelow(path, s); });
}

// What a scan of `root` leaves out: a whole-disk scan skips the kernel's and
// other machines' trees, and so does its recording.
std::vector<std::string> skipsFor(const std::string& root) {
    if (root != "/") return {};
    const SkipPaths skips = wholeDiskSkipPaths();
    return {skips.begin(), skips.end()};
}

std::vector<history::Mount> currentMounts() {
    const UniqueFd fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    return fd ? parseMountInfo(readMountInfo(fd.get())) : std::vector<history::Mount>{};
}

bool sameDirectory(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void notify(int eventFd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(eventFd, &one, sizeof one);
}

std::string hex(std::uint64_t v) {
    std::array<char, 24> buf{};
    std::snprintf(buf.data(), buf.size(), "%" PRIx64, v);
    return buf.data();
}

// Names in the history folder that start with `prefix`.
std::vector<std::string> namesStartingWith(int dirFd, std::string_view prefix) {
    std::vector<std::string> out;
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return out;
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(fd), ::closedir);
    if (!d) {
        ::close(fd);
        return out;
    }
    while (const dirent* e = ::readdir(d.get()))
        if (std::string_view(e->d_name).starts_with(prefix)) out.emplace_back(e->d_name);
    return out;
}

}  // namespace

std::unique_ptr<ChangeRecorder> ChangeRecorder::start(const std::string& dirIn, Options options) {
    const std::unique_ptr<char, void (*)(void*)> real(::realpath(dirIn.c_str(), nullptr),
                                                      std::free);
    if (!real) return nullptr;
    const std::string dir = real.get();
    auto writer = journal::JournalWriter::open(dir, options.journal);
    if (!writer) return nullptr;
    Descriptors fds{UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
                    UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
                    UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
                    UniqueFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                    UniqueFd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC))};
    if (!fds.inotify || !fds.wake || !fds.stopped || !fds.dir || !fds.mounts) return nullptr;
    // Sync requests come through this watch: without it nothing could be answered.
    const int wd = ::inotify_add_watch(fds.inotify.get(), dir.c_str(), kHistoryMask);
    const std::string parent = dir.substr(0, std::max<std::size_t>(dir.rfind('/'), 1));
    const int parentWd = ::inotify_add_watch(fds.inotify.get(), parent.c_str(), kParentMask);
    if (wd < 0 || parentWd < 0) return nullptr;
    return std::make_unique<ChangeRecorder>(Started{}, std::move(writer), dir, options,
                                            std::move(fds), wd, parentWd);
}

ChangeRecorder::ChangeRecorder(Started, std::unique_ptr<journal::JournalWriter> writer,
                               std::string dir, Options options, Descriptors fds, int historyWd,
                               int parentWd)
    : dir_(std::move(dir)),
      options_(options),
      inotifyFd_(std::move(fds.inotify)),
      wakeFd_(std::move(fds.wake)),
      stoppedFd_(std::move(fds.stopped)),
      dirFd_(std::move(fds.dir)),
      mountsFd_(std::move(fds.mounts)),
      historyWd_(historyWd),
      parentWd_(parentWd),
      writer_(std::move(writer)) {
    mounts_ = parseMountInfo(readMountInfo(mountsFd_.get()));
    {
        std::lock_guard lock(mutex_);
        if (!writeActiveFileLocked()) failure_ = "the list of recorded roots cannot be written";
    }
    if (options_.followRootsFile) reloadRootsFile();
    // Requests made while no writer ran.
    for (const std::string& name : namesStartingWith(dirFd_.get(), kSyncPrefix)) answerSync(name);
    thread_ = std::thread([this] { run(); });
    if (!failure().empty()) notify(wakeFd_.get());
}

ChangeRecorder::~ChangeRecorder() {
    stopping_ = true;
    notify(wakeFd_.get());
    thread_.join();
    std::lock_guard lock(mutex_);
    if (writer_) flushLocked();
}

bool ChangeRecorder::journalIsAt(const std::string& path) const {
    struct stat held {};
    struct stat named {};
    return ::fstat(dirFd_.get(), &held) == 0 && held.st_nlink > 0 &&
           ::stat(path.c_str(), &named) == 0 && sameDirectory(held, named);
}

std::string ChangeRecorder::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void ChangeRecorder::run() {
    try {
        loop();
    } catch (const std::exception& e) {
        stopWith(std::string("the recorder failed: ") + e.what());
    } catch (...) {
        stopWith("the recorder failed");
    }
}

void ChangeRecorder::loop() {
    alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
    std::array<pollfd, 3> fds{pollfd{inotifyFd_.get(), POLLIN, 0}, pollfd{wakeFd_.get(), POLLIN, 0},
                              pollfd{mountsFd_.get(), POLLPRI, 0}};
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
        if (ready < 0) {
            if (errno == EINTR) continue;
            return stopWith(std::string("poll failed: ") + std::strerror(errno));
        }
        if (fds[1].revents != 0) {
            if (stopping_) return;
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_.get(), &count, sizeof count);
            const std::string why = failure();
            if (!why.empty()) return stopWith(why);
        }
        if ((fds[2].revents & (POLLPRI | POLLERR)) != 0) checkMounts();
        if ((fds[0].revents & POLLIN) != 0) {
            ssize_t n;
            while (!stopped_ && (n = ::read(inotifyFd_.get(), buffer.data(), buffer.size())) > 0)
                handleEvents(buffer.data(), static_cast<std::size_t>(n));
        }
        if (stopped_) return;
        std::lock_guard lock(mutex_);
        if (!pending_.empty() &&
            (pending_.size() >= options_.flushRecords ||
             std::chrono::steady_clock::now() >= firstPending_ + options_.flushInterval))
            flushLocked();
    }
}

void ChangeRecorder::stopWith(const std::string& reason) {
    {
        std::unique_lock rootsLock(rootsMutex_);
        roots_.clear();
        std::lock_guard lock(mutex_);
        if (failure_.empty()) failure_ = reason;
        pending_.clear();
        pendingKeys_.clear();
        writer_.reset();  // releases the journal for another writer
    }
    stopped_ = true;
    // Nobody waits out a timeout for an answer that cannot come.
    for (const std::string& name : namesStartingWith(dirFd_.get(), kSyncPrefix)) {
        const std::string answer = "fail-" + name.substr(kSyncPrefix.size());
        ::renameat(dirFd_.get(), name.c_str(), dirFd_.get(), answer.c_str());
    }
    notify(stoppedFd_.get());
}

std::size_t ChangeRecorder::findRootLocked(std::string_view path, bool evenStarting) const {
    for (std::size_t i = 0; i < roots_.size(); ++i) {
        const Root& r = roots_[i];
        if ((evenStarting || !r.starting) && isAtOrBelow(path, r.path) && !skipped(path, r.skips))
            return i;
    }
    return kNoRoot;
}

bool ChangeRecorder::isRecorded(std::string_view path) const {
    std::shared_lock lock(rootsMutex_);
    return findRootLocked(path, false) != kNoRoot;
}

std::vector<std::string> ChangeRecorder::skipsAt(std::string_view path) const {
    std::shared_lock lock(rootsMutex_);
    const std::size_t i = findRootLocked(path, true);
    return i == kNoRoot ? std::vector<std::string>{} : roots_[i].skips;
}

std::optional<std::uint64_t> ChangeRecorder::recordRoot(const std::string& rootIn,
                                                        bool watchWholeTree) {
    const std::string root = withoutTrailingSlash(rootIn);
    if (root.empty() || root.front() != '/' || root.find('\n') != std::string::npos || stopped_)
        return std::nullopt;
    struct stat before {};
    if (::lstat(root.c_str(), &before) != 0 || !S_ISDIR(before.st_mode)) return std::nullopt;

    // Covered by a recorded root that is still the directory it was?
    std::vector<std::string> replaced;
    std::optional<Root> partial;
    {
        std::shared_lock lock(rootsMutex_);
        for (const Root& r : roots_) {
            if (r.starting || !isAtOrBelow(root, r.path) || skipped(root, r.skips)) continue;
            struct stat st {};
            if (::stat(r.path.c_str(), &st) == 0 && st.st_dev == r.device && st.st_ino == r.inode) {
                if (!watchWholeTree || r.whole) return r.since;
                partial = r;
                break;
            }
            replaced.push_back(r.path);
        }
    }
    for (const std::string& p : replaced) loseRoot(p, journal::kRootLost);
    if (partial) {
        // Recorded for this process's own scans, which watch what they read;
        // whoever else asks needs the whole tree watched now.
        if (watchTree(partial->path, partial->skips)) {
            std::unique_lock lock(rootsMutex_);
            for (Root& r : roots_)
                if (r.serial == partial->serial) {
                    r.whole = true;
                    return r.since;
                }
        }
    }

    const std::vector<std::string> skips = skipsFor(root);
    if (!history::unwatchableReason(currentMounts(), root, skips).empty()) return std::nullopt;

    std::uint64_t serial = 0;
    {
        std::unique_lock lock(rootsMutex_);
        serial = ++nextSerial_;
        roots_.push_back(Root{root, 0, before.st_dev, before.st_ino, skips, serial, true, false,
                              watchWholeTree});
    }
    bool ok = addWatch(root) == Watch::added && (!watchWholeTree || watchTree(root, skips));
    struct stat after {};
    ok = ok && ::stat(root.c_str(), &after) == 0 && sameDirectory(before, after);

    std::optional<std::uint64_t> id;
    std::vector<std::string> kept;
    {
        std::unique_lock rootsLock(rootsMutex_);
        auto it = std::find_if(roots_.begin(), roots_.end(),
                               [&](const Root& r) { return r.serial == serial; });
        if (it == roots_.end()) return std::nullopt;  // recording stopped meanwhile
        std::lock_guard lock(mutex_);
        if (ok && !it->failed && writer_) {
            // Older events go first, so the start record follows everything before it.
            pending_.push_back({journal::kRecordingStarted, root});
            id = flushLocked();
        }
        if (id) {
            it->starting = false;
            it->since = *id;
            return writeActiveFileLocked() ? id : std::nullopt;
        }
        roots_.erase(it);
        for (const Root& r : roots_) kept.push_back(r.path);
    }
    // Not recorded after all: its watches would only make noise.
    forgetTree(root, kept);
    return std::nullopt;
}

void ChangeRecorder::willReadDirectory(const std::string& path) {
    if (path != dir_ && isRecorded(path)) addWatch(path);
}

std::uint64_t ChangeRecorder::lastId() const {
    std::lock_guard lock(mutex_);
    return writer_ ? writer_->lastId() : 0;
}

std::size_t ChangeRecorder::watchCount() const {
    std::lock_guard lock(watchMutex_);
    return watches_.size();
}

std::size_t ChangeRecorder::journalWrites() const {
    std::lock_guard lock(mutex_);
    return writer_ ? writer_->writes() : 0;
}

ChangeRecorder::Watch ChangeRecorder::addWatch(const std::string& path, bool onlyNew) {
    const int wd = ::inotify_add_watch(inotifyFd_.get(), path.c_str(),
                                       kDirectoryMask | (onlyNew ? IN_MASK_CREATE : 0));
    if (wd < 0) {
        if (onlyNew && errno == EEXIST) return Watch::existed;
        // Gone, or no longer a directory, since it was listed: the watch on
        // its parent, added before that listing, reports the change.
        if (errno == ENOENT || errno == ENOTDIR) return Watch::vanished;
        watchFailed(path);
        return Watch::failed;
    }
    std::lock_guard lock(watchMutex_);
    auto [it, added] = watches_.try_emplace(wd, path);
    if (!added) it->second = path;
    return Watch::added;
}

// Watches `path` and every directory below it, without following links;
// false when some folder could not be watched or listed.
bool ChangeRecorder::watchTree(const std::string& path, const std::vector<std::string>& skips) {
    bool ok = true;
    std::vector<std::string> stack{path};
    while (!stack.empty()) {
        const std::string dir = std::move(stack.back());
        stack.pop_back();
        if (dir == dir_ || skipped(dir, skips)) continue;
        const Watch w = addWatch(dir);
        if (w == Watch::failed) ok = false;
        if (w != Watch::added) continue;
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const std::unique_ptr<DIR, int (*)(DIR*)> d(fd >= 0 ? ::fdopendir(fd) : nullptr,
                                                    ::closedir);
        if (!d) {
            const int error = errno;
            if (fd >= 0) ::close(fd);
            if (error != ENOENT && error != ENOTDIR) {
                watchFailed(dir);
                ok = false;
            }
            continue;
        }
        errno = 0;
        while (const dirent* e = ::readdir(d.get())) {
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st {};
                isDir = ::fstatat(::dirfd(d.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode);
            }
            if (isDir) stack.push_back(childPath(dir, name));
            errno = 0;
        }
        if (errno != 0) {
            watchFailed(dir);
            ok = false;
        }
    }
    return ok;
}

// A folder under a root that cannot be watched: the root's history can no
// longer be complete.
void ChangeRecorder::watchFailed(const std::string& path) {
    loseRootsWhere(journal::kUserDropped, [&](const Root& r) {
        return isAtOrBelow(path, r.path) && !skipped(path, r.skips);
    });
}

// Watches at or below `path` go, but those under one of `kept`.
void ChangeRecorder::forgetTree(const std::string& path, const std::vector<std::string>& kept) {
    std::vector<int> gone;
    {
        std::lock_guard lock(watchMutex_);
        for (const auto& [wd, p] : watches_)
            if (isAtOrBelow(p, path) && !skipped(p, kept)) gone.push_back(wd);
        for (const int wd : gone) watches_.erase(wd);
    }
    // The history folder's parent keeps its watch.
    for (const int wd : gone)
        if (wd != parentWd_) ::inotify_rm_watch(inotifyFd_.get(), wd);
}

void ChangeRecorder::renameWatches(const std::string& from, const std::string& to) {
    std::lock_guard lock(watchMutex_);
    for (auto& [wd, p] : watches_)
        if (isAtOrBelow(p, from)) p = to + p.substr(from.size());
}

// Roots inside a folder that moved are no longer at their paths.
void ChangeRecorder::loseRootsBelow(const std::string& path) {
    loseRootsWhere(journal::kRootLost, [&](const Root& r) { return isAtOrBelow(r.path, path); });
}

void ChangeRecorder::loseRoot(const std::string& root, std::uint32_t flag) {
    loseRootsWhere(flag, [&](const Root& r) { return r.path == root; });
}

void ChangeRecorder::loseRootsWhere(std::uint32_t flag,
                                    const std::function<bool(const Root&)>& which) {
    std::vector<std::string> lost, kept;
    {
        std::unique_lock rootsLock(rootsMutex_);
        for (Root& r : roots_) {
            if (!which(r)) continue;
            if (r.starting)
                r.failed = true;
            else
                lost.push_back(r.path);
        }
        if (lost.empty()) return;
        std::erase_if(roots_, [&](const Root& r) {
            return !r.starting && std::find(lost.begin(), lost.end(), r.path) != lost.end();
        });
        for (const Root& r : roots_) kept.push_back(r.path);
        std::lock_guard lock(mutex_);
        for (const std::string& p : lost) queueLocked(flag, p);
        writeActiveFileLocked();
    }
    // A root inside another keeps the watches the outer one needs.
    for (const std::string& p : lost) forgetTree(p, kept);
}

// Something mounted or unmounted in or above a root changes what its path
// shows without an inotify event.
void ChangeRecorder::checkMounts() {
    std::vector<history::Mount> now = parseMountInfo(readMountInfo(mountsFd_.get()));
    const std::vector<std::string> changed = history::changedMountPoints(mounts_, now);
    mounts_ = std::move(now);
    if (changed.empty()) return;
    loseRootsWhere(journal::kRootLost, [&](const Root& r) {
        return std::any_of(changed.begin(), changed.end(), [&](const std::string& p) {
            return !skipped(p, r.skips) && (isAtOrBelow(p, r.path) || isAtOrBelow(r.path, p));
        });
    });
}

void ChangeRecorder::queue(std::uint32_t flags, std::string path) {
    std::lock_guard lock(mutex_);
    queueLocked(flags, std::move(path));
}

void ChangeRecorder::queueLocked(std::uint32_t flags, std::string path) {
    std::string key(reinterpret_cast<const char*>(&flags), sizeof flags);
    key += path;
    if (!pendingKeys_.insert(std::move(key)).second) return;
    if (pending_.empty()) firstPending_ = std::chrono::steady_clock::now();
    pending_.push_back({flags, std::move(path)});
}

std::optional<std::uint64_t> ChangeRecorder::flushLocked() {
    std::optional<std::uint64_t> id;
    if (writer_ && !pending_.empty()) id = writer_->append(pending_);
    pending_.clear();
    pendingKeys_.clear();
    modifiedFiles_.clear();
    return id;
}

// A file written through one of several names changes under all of them,
// but only the folder of that one hears of it.
void ChangeRecorder::checkOtherNames(const std::string& dir, const std::string& name) {
    std::string path = childPath(dir, name);
    {
        std::lock_guard lock(mutex_);
        if (!modifiedFiles_.insert(path).second) return;  // seen since the last write-out
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1)
        queue(journal::kSeveralNames, dir);
}

void ChangeRecorder::answerSync(const std::string& name) {
    const std::string token = name.substr(kSyncPrefix.size());
    std::string request;
    {
        const UniqueFd fd(
            ::openat(dirFd_.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!fd) return;  // the reader gave up
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::size_t>(st.st_size) <= kMaxRequestBytes) {
            request.resize(static_cast<std::size_t>(st.st_size));
            const ssize_t n = ::pread(fd.get(), request.data(), request.size(), 0);
            request.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        }
    }
    // A request may name a root to record before the answer.
    if (!request.empty()) recordRoot(request, true);
    // Mounts changed before the request count before the answer.
    checkMounts();
    std::optional<std::uint64_t> id;
    {
        std::shared_lock rootsLock(rootsMutex_);
        std::lock_guard lock(mutex_);
        if (writer_) {
            // The journal's own folder changes with every write: a tree that
            // holds it reads it again at each sync.
            if (findRootLocked(dir_, false) != kNoRoot) queueLocked(0, dir_);
            writer_->checkSegment();
            if (pending_.empty()) firstPending_ = std::chrono::steady_clock::now();
            pending_.push_back({journal::kSync, token});
            id = flushLocked();
        }
    }
    const std::string answer = id ? "done-" + token + "-" + hex(*id) : "fail-" + token;
    ::renameat(dirFd_.get(), name.c_str(), dirFd_.get(), answer.c_str());
}

bool ChangeRecorder::writeActiveFileLocked() {
    std::vector<history::ActiveRoot> list;
    for (const Root& r : roots_)
        if (!r.starting) list.push_back({r.since, r.device, r.inode, r.path});
    if (history::writeActiveRoots(dir_, list)) return true;
    // Readers would go by a stale list: stop rather than mislead them.
    if (failure_.empty()) failure_ = "the list of recorded roots cannot be written";
    notify(wakeFd_.get());
    return false;
}

void ChangeRecorder::reloadRootsFile() {
    for (const std::string& root : history::listedRoots(dir_)) recordRoot(root, true);
}

void ChangeRecorder::handleEvents(const char* buffer, std::size_t length) {
    for (std::size_t at = 0; at + sizeof(inotify_event) <= length;) {
        inotify_event ev;
        std::memcpy(&ev, buffer + at, sizeof ev);
        const std::string name = ev.len > 0 ? std::string(buffer + at + sizeof ev) : std::string();
        at += sizeof ev + ev.len;
        handleEvent(ev.mask, ev.wd, ev.cookie, name);
        if (stopped_) return;
    }
}

void ChangeRecorder::handleEvent(std::uint32_t mask, int wd, std::uint32_t cookie,
                                 const std::string& name) {
    // A folder moved out of a watched one keeps its watches if the next event
    // moves it into a watched one; otherwise it has left the recorded trees.
    if (movedAway_ && !((mask & IN_MOVED_TO) != 0 && cookie == movedAway_->first)) {
        loseRootsBelow(movedAway_->second);
        forgetTree(movedAway_->second, {});
        movedAway_.reset();
    }
    if ((mask & IN_Q_OVERFLOW) != 0) {
        // Events were lost, a new folder's creation perhaps: no tree can be
        // known to be fully watched any more.
        queue(journal::kKernelDropped, {});
        loseRootsWhere(journal::kRootLost, [](const Root&) { return true; });
        return;
    }
    if (wd == historyWd_ || wd == parentWd_) {
        if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0 ||
            !journalIsAt(dir_))
            return stopWith("the history folder was removed");
        if (wd == historyWd_) {
            if (std::string_view(name).starts_with(kSyncPrefix) && (mask & IN_MOVED_TO) != 0)
                answerSync(name);
            else if (name == "roots" && options_.followRootsFile &&
                     (mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0)
                reloadRootsFile();
            return;
        }
        // The parent may be in a recorded tree too, with the same watch.
    }
    std::string dir;
    {
        std::lock_guard lock(watchMutex_);
        auto it = watches_.find(wd);
        if (it == watches_.end()) return;
        dir = it->second;
        if ((mask & IN_IGNORED) != 0) watches_.erase(it);
    }
    bool isRoot = false;
    {
        std::shared_lock lock(rootsMutex_);
        isRoot = std::any_of(roots_.begin(), roots_.end(),
                             [&](const Root& r) { return !r.starting && r.path == dir; });
    }
    if ((mask & IN_UNMOUNT) != 0) {
        queue(journal::kUnmount, dir);
        loseRootsWhere(journal::kRootLost, [&](const Root& r) {
            return isAtOrBelow(dir, r.path) || isAtOrBelow(r.path, dir);
        });
        return;
    }
    // A root's own watch lost, or the root itself gone: whatever is at its
    // path now is not watched. Elsewhere the parent's events tell.
    if ((mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        if (isRoot) loseRoot(dir, journal::kRootLost);
        return;
    }
    if (name.empty() && (mask & IN_ATTRIB) != 0) {
        // A root's permissions changed: what a scan can read of it may have too.
        if (isRoot) queue(journal::kMustScanSubdirs, dir);
        return;
    }
    queue(0, dir);
    if ((mask & IN_MODIFY) != 0 && (mask & IN_ISDIR) == 0 && !name.empty())
        checkOtherNames(dir, name);
    if ((mask & IN_ISDIR) == 0 || name.empty()) return;
    const std::string child = childPath(dir, name);
    if ((mask & IN_MOVED_TO) != 0 && movedAway_) {
        // Moved within the watched trees: its watches stay, under the new
        // path, so nothing written into it meanwhile is missed. It is walked
        // all the same: a folder made in it before the move was watched by a
        // path that no longer led there. And it is read again: it may have
        // replaced an empty folder of that name.
        loseRootsBelow(movedAway_->second);
        renameWatches(movedAway_->second, child);
        movedAway_.reset();
        watchTree(child, skipsAt(child));
        queue(journal::kMustScanSubdirs, child);
    } else if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
        // Entries may have landed before the watch: read it all again.
        watchTree(child, skipsAt(child));
        queue(journal::kMustScanSubdirs, child);
    } else if ((mask & IN_MOVED_FROM) != 0) {
        movedAway_.emplace(cookie, child);
    } else if ((mask & IN_ATTRIB) != 0) {
        // Its permissions or owner changed: it may read differently now, and
        // a folder that could not be watched before may be watchable.
        queue(journal::kMustScanSubdirs, child);
        if (addWatch(child, true) == Watch::added) watchTree(child, skipsAt(child));
    }
}

}  // namespace tidewell
