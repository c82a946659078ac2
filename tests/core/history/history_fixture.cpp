#include "history_fixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "change_tracker.h"
#include "journal.h"
#include "journal_history.h"
#include "user_dirs.h"

extern char** environ;

namespace tidewell::test {

namespace {

constexpr std::int64_t kMaxEvents = 60000;
constexpr double kTimeoutSeconds = 15.0;

std::string describe(const FileNode& n) {
    return std::string(n.isDirectory() ? "folder" : "file") + " of " + std::to_string(n.size()) +
           " B with " + std::to_string(n.childCount()) + " children";
}

// The deepest difference first: a wrong size shows where it comes from.
std::string difference(const FileNode& e, const FileNode& a, const std::string& path) {
    if (e.isDirectory() != a.isDirectory())
        return path + ": expected " + describe(e) + ", got " + describe(a);
    std::map<std::string_view, const FileNode*> byName;
    for (const FileNode* c : a.children()) byName.emplace(c->name(), c);
    for (const FileNode* c : e.children()) {
        const std::string childPath = path + "/" + std::string(c->name());
        const auto it = byName.find(c->name());
        if (it == byName.end()) return childPath + ": missing";
        std::string d = difference(*c, *it->second, childPath);
        if (!d.empty()) return d;
    }
    if (e.size() != a.size() || e.childCount() != a.childCount())
        return path + ": expected " + describe(e) + ", got " + describe(a);
    return {};
}

}  // namespace

std::string treeDifference(const FileNode& expected, const FileNode& actual) {
    return difference(expected, actual, ".");
}

std::string journalDirectoryIn(const std::string& stateHome) {
    const std::string dir = stateHome + "/Brackwater/history";
    if (!makeDirectories(dir, 0700)) throw std::runtime_error("cannot make " + dir);
    return dir;
}

HistoryService::HistoryService(std::string stateHome) : stateHome_(std::move(stateHome)) {
    journalDirectoryIn(stateHome_);
    start();
}

void HistoryService::start() {
    if (pid_ > 0) return;
    std::array<int, 2> pipeFds{};
    if (::pipe2(pipeFds.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (!std::string_view(*e).starts_with("XDG_STATE_HOME=")) env.emplace_back(*e);
    env.push_back("XDG_STATE_HOME=" + stateHome_);
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = TIDEWELL_HISTORYD_PATH;
    std::array<char*, 2> argv{program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    const int rc =
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
    writeEnd = UniqueFd();
    log_ = std::move(readEnd);
    // It says so once it holds the journal.
    std::string said;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (said.find("recording into") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{log_.get(), POLLIN, 0};
        std::array<char, 512> buf{};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("tidewell-historyd did not start: " + said);
        const ssize_t n = ::read(log_.get(), buf.data(), buf.size());
        if (n <= 0) throw std::runtime_error("tidewell-historyd ended: " + said);
        said.append(buf.data(), static_cast<std::size_t>(n));
    }
}

void HistoryService::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    log_ = UniqueFd();
}

UpdatedTree::UpdatedTree(HistoryRecording& recording, std::string journalDir, std::string root)
    : recording_(recording), journalDir_(std::move(journalDir)), root_(std::move(root)) {}

std::string UpdatedTree::update() {
    refreshed_ = false;
    std::string why = "no cached tree";
    if (tree_ && treeId_) {
        const std::optional<std::uint64_t> queryId = recording_.identifierFor(root_);
        ChangeTracker::Answer answer{std::nullopt, "no identifier"};
        if (queryId) {
            JournalHistory history(journalDir_);
            answer = ChangeTracker::ask(history, root_, *treeId_, kMaxEvents, kTimeoutSeconds);
        }
        lastChanges_.clear();
        if (answer.changes) {
            for (const std::string& d : answer.changes->subtreeDirs)
                lastChanges_ += "subtree " + d + "; ";
            for (const std::string& d : answer.changes->changedDirs)
                lastChanges_ += "changed " + d + "; ";
            const std::shared_ptr<ScanObserver> observer = recording_.scanObserver();
            if (engine_.refresh(tree_, root_, *answer.changes, {}, {}, {}, observer.get())) {
                treeId_ = queryId;
                refreshed_ = true;
                return {};
            }
            why = "the refresh was refused";
        } else {
            why = answer.reason;
        }
    }
    // As the application does: the identifier is taken before the tree is read.
    treeId_ = recording_.identifierFor(root_);
    const std::shared_ptr<ScanObserver> observer = recording_.scanObserver();
    tree_ = engine_.scan(root_, std::nullopt, {}, {}, {}, observer.get());
    if (!tree_) throw std::runtime_error("cannot scan " + root_);
    return why;
}

std::string UpdatedTree::differenceFromFreshScan() {
    const NodeRef fresh = engine_.scan(root_, std::nullopt, {}, {}, {});
    if (!fresh) return "a fresh scan of " + root_ + " failed";
    return treeDifference(*fresh, *tree_);
}

const char* backendName(Backend b) {
    return b == Backend::service ? "tidewell-historyd" : "in-process recorder";
}

HistorySession::HistorySession(Backend backend, const std::string& stateHome,
                               const std::string& root)
    : journalDir_(journalDirectoryIn(stateHome)),
      service_(backend == Backend::service ? std::make_unique<HistoryService>(stateHome) : nullptr),
      recording_(journalDir_),
      tree_(recording_, journalDir_, root) {}

ChildRun inChild(const ChildSetup& setup, const std::function<std::vector<std::string>()>& body) {
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) return {"no pipe", {}};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        auto say = [&](const std::string& text) {
            [[maybe_unused]] const ssize_t n = ::write(fds[1], text.data(), text.size());
        };
        if (setup.privateMounts &&
            (::unshare(CLONE_NEWNS) != 0 ||
             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)) {
            say("no private mount namespace here");
            ::_exit(77);
        }
        if (setup.uid && (::setgroups(0, nullptr) != 0 || ::setgid(*setup.uid) != 0 ||
                          ::setuid(*setup.uid) != 0)) {
            say("cannot become uid " + std::to_string(*setup.uid));
            ::_exit(77);
        }
        int code = 0;
        try {
            for (std::string line : body()) {
                for (char& c : line)
                    if (c == '\n') c = ' ';
                say(line + "\n");
                code = 1;
            }
        } catch (const std::exception& e) {
            say(std::string("exception: ") + e.what() + "\n");
            code = 1;
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string out;
    std::array<char, 4096> buf{};
    ssize_t n;
    while ((n = ::read(fds[0], buf.data(), buf.size())) > 0)
        out.append(buf.data(), static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return {out, {}};
    ChildRun run;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = out.find('\n', at);
        run.failures.push_back(out.substr(at, end - at));
        at = end == std::string::npos ? out.size() : end + 1;
    }
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && run.failures.empty()))
        run.failures.push_back("the child ended with status " + std::to_string(status));
    return run;
}

bool shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

void must(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("could not " + what);
}

void removeTree(int parentFd, const char* name) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(fd), ::closedir);
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d.get()))
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..")
            names.emplace_back(e->d_name);
    for (const std::string& n : names) removeTree(fd, n.c_str());
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

void makeDeepChain(const std::string& top) {
    std::filesystem::create_directories(top);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string name(200, 'd');
    for (int level = 0; level < 24; ++level) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        must(fd >= 0, "make a deep chain");
    }
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    must(file >= 0 && ::write(file, "x", 1) == 1, "write at the bottom");
    ::close(file);
    ::close(fd);
}

void damageNewestSegment(const std::string& journalDir) {
    const std::vector<journal::Segment> segments = journal::listSegments(journalDir);
    must(!segments.empty(), "find a segment");
    const std::string& path = segments.back().path;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct stat st {};
    must(fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size > 16, "open " + path);
    char c = 0;
    const off_t at = st.st_size / 2;
    must(::pread(fd, &c, 1, at) == 1, "read " + path);
    c = static_cast<char>(c ^ 0x5a);
    must(::pwrite(fd, &c, 1, at) == 1, "damage " + path);
    ::close(fd);
}

}  // namespace tidewell::test
