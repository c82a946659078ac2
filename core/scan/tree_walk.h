// One run of the scan engine: the shared counters, the pool and the walk that
// builds a subtree bottom-up. Internal to the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "directory_reader.h"
#include "file_node.h"
#include "scan_engine.h"
#include "walk_pool.h"

namespace tidewell {

// State shared by every walker of one scan or refresh.
struct ScanContext {
    const SkipPaths& skipPaths;
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> bytes{0};
    std::atomic<std::uint64_t> lastReportNs{0};
    const int maxSlots;
    const ProgressSink& continuation;
    std::atomic<std::int64_t> directoriesRead{0};  // listings attempted
    std::atomic<std::int64_t> unreadable{0};       // folders that exist but could not be listed
};

class TreeWalk {
  public:
    TreeWalk(TreeStore& store, const SkipPaths& skipPaths, const ProgressSink& sink,
             std::stop_token stop, ScanObserver* observer);
    ~TreeWalk();

    // Walks `path` in full and returns its finished node (a root carrying
    // `path` when asRoot). When cancelled the node holds what was read.
    FileNode* walkTree(const std::string& path, std::string_view name, bool asRoot);

    // One listing entry of a shallow read: a new file node, or a subdirectory.
    struct Listed {
        FileNode* file = nullptr;
        std::string subdirPath;  // set when file is null
    };
    // Reads one directory's entries (no descent), counting and reporting as a walk does.
    std::vector<Listed> listDirectory(const std::string& path);

    // Stopped from outside, or failed: either way the walk winds down.
    bool cancelled() const {
        return stop_.stop_requested() || failed_.load(std::memory_order_relaxed);
    }
    // Memory ran out in some walker: the tree is partial and must not be used.
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    std::int64_t unreadableDirs() const { return ctx_.unreadable.load(); }
    std::int64_t directoriesRead() const { return ctx_.directoriesRead.load(); }
    void sendFinal(const std::string& rootPath);
    NodeArena& ownerArena() { return *arenas_.back(); }

  private:
    struct Pending;

    void walk(std::size_t worker, std::string path, std::shared_ptr<Pending> parent,
              std::uint32_t index);
    std::shared_ptr<Pending> readDirectory(std::size_t worker, const std::string& path,
                                           std::shared_ptr<Pending> parent, std::uint32_t index,
                                           std::vector<std::string>& subdirs);
    void handOut(std::size_t worker, std::vector<std::string>& subdirs,
                 const std::shared_ptr<Pending>& pd);
    void fail() { failed_.store(true, std::memory_order_release); }
    void arrive(std::shared_ptr<Pending> pd);
    FileNode* finish(Pending& pd);
    void report(std::int64_t files, std::int64_t bytes, const std::string& path);
    template <typename OnFile, typename OnSubdir>
    void enumerate(std::size_t worker, const std::string& path, Pending* self, OnFile&& onFile,
                   OnSubdir&& onSubdir);

    TreeStore& store_;
    ScanContext ctx_;
    std::stop_token stop_;
    ScanObserver* observer_;
    std::vector<std::unique_ptr<NodeArena>> arenas_;    // one per worker, the owner's last
    std::vector<std::unique_ptr<ReadBuffer>> buffers_;  // likewise
    std::vector<std::vector<FileNode*>> scratch_;  // likewise: files of the directory being read
    std::string topName_;
    bool topAsRoot_ = false;
    FileNode* result_ = nullptr;
    std::atomic<bool> failed_{false};
    CompletionLatch* latch_ = nullptr;
    std::unique_ptr<WalkPool> pool_;  // last: joined before anything above goes
};

}  // namespace tidewell
