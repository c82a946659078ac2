// Walks a directory tree into a FileNode tree, streaming progress, and
// refreshes an existing tree from a change set.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_set>

#include "change_set.h"
#include "file_node.h"
#include "paths.h"
#include "scan_progress.h"

namespace tidewell {

using SkipPaths = std::unordered_set<std::string>;

// Told about each directory just before it is read, on the walker's thread.
// The change journal adds its watch here, so nothing is missed between the
// watch and the listing.
class ScanObserver {
  public:
    virtual ~ScanObserver() = default;
    virtual void willReadDirectory(const std::string& path) = 0;
    // How many child walkers run right after one more started (tests watch the limit).
    virtual void childWalkerStarted(int running) { (void)running; }
};

// What one run learned beyond its tree.
struct ScanReport {
    // Folders that could not be listed (counted as empty). A folder that
    // vanished before it was read is not counted.
    std::int64_t unreadableDirs = 0;
    // Folders this run read; for a refresh, the folders it read again (each
    // one once, and every folder of a subtree read anew).
    std::int64_t directoriesRead = 0;
    // Why the run produced nothing although it was not cancelled (memory ran
    // out, say); empty otherwise.
    std::string failure;
};

class ScanEngine {
  public:
    // `observer` (not owned, may be null) hears of each directory of this run
    // only; `report`, when given, is filled in whatever the outcome.
    //
    // A location that is a symbolic link to a directory is followed (that
    // link only) and the tree's root path is then the directory's real path;
    // the name stays `displayName`, else the last component of `location`.
    // A null NodeRef when the location cannot be examined or the scan was
    // cancelled (and then no final progress record is sent).
    NodeRef scan(const std::string& location, std::optional<std::string> displayName,
                 const SkipPaths& skipPaths, const ProgressSink& sink, std::stop_token stop,
                 ScanObserver* observer = nullptr, ScanReport* report = nullptr);

    // Edits the tree under `root` in place and returns it, or a null NodeRef
    // when the change cannot be applied incrementally or was cancelled; the
    // caller must then not use the tree's contents as current.
    NodeRef refresh(const NodeRef& root, const std::string& rootPath, const ChangeSet& changes,
                    const SkipPaths& skipPaths, const ProgressSink& sink, std::stop_token stop,
                    ScanObserver* observer = nullptr, ScanReport* report = nullptr);

  private:
    NodeRef scanLocked(const std::string& location, std::optional<std::string> displayName,
                       const SkipPaths& skipPaths, const ProgressSink& sink, std::stop_token stop,
                       ScanObserver* observer, ScanReport* report);
    NodeRef refreshLocked(const NodeRef& root, const std::string& rootPath,
                          const ChangeSet& changes, const SkipPaths& skipPaths,
                          const ProgressSink& sink, std::stop_token stop, ScanObserver* observer,
                          ScanReport* report);

    std::mutex serial_;  // operations run one at a time
};

// How many different folders a change set names, a trailing "/" ignored.
std::size_t distinctFolders(const ChangeSet& changes);

// The node at `path` under a root whose path is `rootPath`, or null.
FileNode* findNode(FileNode* root, std::string_view rootPath, std::string_view path);

}  // namespace tidewell
