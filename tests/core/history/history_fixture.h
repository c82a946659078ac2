// What the change history's tests share: the real tidewell-historyd, a tree
// kept up to date the way the application keeps it, comparison with a fresh
// scan, and forked children for cases that need their own mounts or another
// user.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_node.h"
#include "history_recording.h"
#include "scan_engine.h"
#include "unique_fd.h"

namespace tidewell::test {

// The first difference between two trees (names, sizes, kinds and child
// counts, children matched by name), or empty when they are the same.
std::string treeDifference(const FileNode& expected, const FileNode& actual);

// The history folder under a state folder, created.
std::string journalDirectoryIn(const std::string& stateHome);

// The built tidewell-historyd, run with XDG_STATE_HOME=`stateHome`; started
// by the constructor, which returns once it records.
class HistoryService {
  public:
    explicit HistoryService(std::string stateHome);
    ~HistoryService() { stop(); }
    HistoryService(const HistoryService&) = delete;
    HistoryService& operator=(const HistoryService&) = delete;

    bool running() const { return pid_ > 0; }
    void start();
    void stop();

  private:
    const std::string stateHome_;
    pid_t pid_ = -1;
    UniqueFd log_;  // its standard error
};

// A tree brought up to date as the application does it: an identifier from
// the recording, the change query since the cached one, the engine's refresh,
// or a full scan when any of these cannot be trusted.
class UpdatedTree {
  public:
    UpdatedTree(HistoryRecording& recording, std::string journalDir, std::string root);

    // Brings the tree up to date; returns why it was scanned in full, or
    // empty when it was refreshed.
    std::string update();
    bool refreshed() const { return refreshed_; }
    // The difference from a scan made now, or empty.
    std::string differenceFromFreshScan();
    // The change set of the last refresh, for failure messages.
    std::string lastChanges() const { return lastChanges_; }

  private:
    HistoryRecording& recording_;
    const std::string journalDir_;
    const std::string root_;
    ScanEngine engine_;
    NodeRef tree_;
    std::optional<std::uint64_t> treeId_;  // the tree is cached only with one
    bool refreshed_ = false;
    std::string lastChanges_;
};

enum class Backend { inProcess, service };
const char* backendName(Backend b);

// One recording of `journalDir` by a backend, with a tree of `root` kept up to date.
class HistorySession {
  public:
    HistorySession(Backend backend, const std::string& stateHome, const std::string& root);
    HistoryService* service() { return service_.get(); }
    UpdatedTree& tree() { return tree_; }
    const std::string& journalDir() const { return journalDir_; }

  private:
    const std::string journalDir_;
    std::unique_ptr<HistoryService> service_;
    HistoryRecording recording_;
    UpdatedTree tree_;
};

// Runs `body` in a forked child, in a private mount namespace and/or as
// `uid` when asked; the child's failures come back as lines.
struct ChildRun {
    std::optional<std::string> skipped;  // why the child could not be set up
    std::vector<std::string> failures;
};
struct ChildSetup {
    bool privateMounts = false;
    std::optional<uid_t> uid;
};
ChildRun inChild(const ChildSetup& setup, const std::function<std::vector<std::string>()>& body);

// Runs a shell command (in this process's mount namespace); false when it failed.
bool shell(const std::string& command);

// Throws "could not <what>" unless `ok`.
void must(bool ok, const std::string& what);

// A chain of folders under `top` whose path is longer than the system takes:
// it can be neither watched nor read by path.
void makeDeepChain(const std::string& top);
// Removes `name` in the folder `parentFd` and all below it, by descriptors,
// so that paths too long for the system go too.
void removeTree(int parentFd, const char* name);

// Flips a byte in the middle of the newest segment of a journal.
void damageNewestSegment(const std::string& journalDir);

}  // namespace tidewell::test
