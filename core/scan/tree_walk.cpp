#include "tree_walk.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tidewell {

namespace {

// A folder removed or replaced by a file since its parent was listed is gone,
// not unreadable. Asked only when a folder cannot be opened.
bool vanished(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    return !S_ISDIR(st.st_mode);
}

}  // namespace

// A directory whose entries are read but whose subdirectories may still be
// walking. Its node already exists, holding the files; the last of the
// subdirectories to finish (or the directory itself) completes it and reports
// to the parent: no thread waits for another.
struct TreeWalk::Pending {
    struct Sub {
        FileNode* node = nullptr;  // null until walked
        bool inlineWalk = false;   // walked by this directory's own walker
    };
    std::shared_ptr<Pending> parent;
    std::uint32_t index = 0;  // place among the parent's subdirectories
    DirectoryIdentity id;
    FileNode* node = nullptr;
    std::size_t fileCount = 0;
    std::vector<Sub> subs;  // by enumeration order
    std::atomic<std::size_t> pending{0};
};

TreeWalk::TreeWalk(TreeStore& store, const SkipPaths& skipPaths, const ProgressSink& sink,
                   std::stop_token stop, ScanObserver* observer)
    : store_(store),
      ctx_{skipPaths, {}, {}, {}, walkerSlotLimit(), sink, {}, {}},
      stop_(std::move(stop)),
      observer_(observer) {
    const auto workers = static_cast<std::size_t>(ctx_.maxSlots) + 1;
    for (std::size_t i = 0; i < workers; ++i) {
        arenas_.push_back(std::make_unique<NodeArena>(store_));
        buffers_.push_back(std::make_unique<ReadBuffer>());
    }
    scratch_.resize(workers);
    pool_ = std::make_unique<WalkPool>(ctx_.maxSlots);
}

TreeWalk::~TreeWalk() = default;

FileNode* TreeWalk::walkTree(const std::string& path, std::string_view name, bool asRoot) {
    topName_ = std::string(name);
    topAsRoot_ = asRoot;
    CompletionLatch latch;
    latch_ = &latch;
    result_ = nullptr;
    walk(pool_->threadCount(), path, nullptr, 0);
    latch.wait();
    latch_ = nullptr;
    return result_;
}

std::vector<TreeWalk::Listed> TreeWalk::listDirectory(const std::string& path) {
    std::vector<Listed> out;
    if (cancelled()) return out;
    try {
        enumerate(
            pool_->threadCount(), path, nullptr,
            [&](FileNode* f) {
                out.push_back({f, {}});
            },
            [&](std::string p) {
                out.push_back({nullptr, std::move(p)});
            });
    } catch (...) {
        fail();  // the caller sees a cancelled walk and keeps nothing
    }
    return out;
}

template <typename OnFile, typename OnSubdir>
void TreeWalk::enumerate(std::size_t worker, const std::string& path, Pending* self,
                         OnFile&& onFile, OnSubdir&& onSubdir) {
    if (observer_ != nullptr) observer_->willReadDirectory(path);
    ctx_.directoriesRead.fetch_add(1, std::memory_order_relaxed);
    DirectoryReader reader(path, buffers_[worker]->bytes());
    if (!reader.isOpen()) {
        if (!vanished(path)) ctx_.unreadable.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (self != nullptr) {
        // A directory met again on its own way down (a bind mount looping
        // back) reads as empty.
        self->id = reader.identity();
        for (const Pending* a = self->parent.get(); a != nullptr; a = a->parent.get())
            if (a->id == self->id) return;
    }
    NodeArena& arena = *arenas_[worker];
    const bool checkSkips = !ctx_.skipPaths.empty();
    for (;;) {
        std::int64_t batchFiles = 0, batchBytes = 0;
        const bool more = reader.nextBatch([&](const DirEntry& e) {
            if (e.kind == EntryKind::directory) {
                std::string sub = childPath(path, e.name);
                if (checkSkips && ctx_.skipPaths.contains(sub)) return;
                onSubdir(std::move(sub));
                return;
            }
            const std::int64_t size = e.kind == EntryKind::symlink ? 0 : e.allocatedBytes;
            onFile(store_.makeFile(e.name, size, &arena));
            ++batchFiles;
            batchBytes += size;
        });
        if (!more) break;
        report(batchFiles, batchBytes, path);
        if (cancelled()) break;
    }
}

void TreeWalk::walk(std::size_t worker, std::string path, std::shared_ptr<Pending> parent,
                    std::uint32_t index) {
    std::vector<std::string> subdirs;
    std::shared_ptr<Pending> pd;
    try {
        pd = readDirectory(worker, path, parent, index, subdirs);
    } catch (...) {
        // Memory ran out before this folder had a node. Nothing may escape a
        // pool thread: the walk winds down as if cancelled, and the parent
        // hears that this folder gave nothing.
        fail();
        if (parent) {
            arrive(std::move(parent));
        } else {
            result_ = nullptr;
            latch_->open();
        }
        return;
    }
    handOut(worker, subdirs, pd);
    arrive(std::move(pd));
}

std::shared_ptr<TreeWalk::Pending> TreeWalk::readDirectory(std::size_t worker,
                                                           const std::string& path,
                                                           std::shared_ptr<Pending> parent,
                                                           std::uint32_t index,
                                                           std::vector<std::string>& subdirs) {
    auto pd = std::make_shared<Pending>();
    pd->parent = std::move(parent);
    pd->index = index;
    std::vector<FileNode*>& files = scratch_[worker];
    files.clear();
    if (!cancelled()) {
        enumerate(
            worker, path, pd.get(), [&](FileNode* f) { files.push_back(f); },
            [&](std::string p) { subdirs.push_back(std::move(p)); });
    }
    // The directory is closed by now; its node takes the files before the
    // subdirectories (which reuse the scratch list) are walked.
    const std::size_t n = subdirs.size();
    const bool top = !pd->parent;
    const std::string_view name =
        top ? std::string_view(topName_) : std::string_view(path).substr(path.rfind('/') + 1);
    pd->subs.resize(n);
    pd->node = store_.makeDirectoryShell(
        name, top && topAsRoot_ ? std::optional<std::string_view>(path) : std::nullopt,
        files.size() + n, arenas_[worker].get());
    for (std::size_t i = 0; i < files.size(); ++i) pd->node->putChild(i, files[i]);
    pd->fileCount = files.size();
    pd->pending.store(n + 1, std::memory_order_relaxed);
    return pd;
}

void TreeWalk::handOut(std::size_t worker, std::vector<std::string>& subdirs,
                       const std::shared_ptr<Pending>& pd) {
    const auto n = static_cast<std::uint32_t>(subdirs.size());
    // False when the job could not be queued (no memory): the slot is given
    // back and the walk fails.
    auto hand = [&](std::uint32_t i) {
        if (observer_ != nullptr) observer_->childWalkerStarted(pool_->runningWalkers());
        try {
            pool_->submit([this, sub = std::move(subdirs[i]), pd, i](std::size_t w) mutable {
                walk(w, std::move(sub), std::move(pd), i);
            });
            return true;
        } catch (...) {
            pool_->releaseSlot();
            fail();
            return false;
        }
    };
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!cancelled() && pool_->tryTakeSlot() && hand(i)) continue;
        pd->subs[i].inlineWalk = true;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!pd->subs[i].inlineWalk) continue;
        if (cancelled()) {
            arrive(pd);
        } else if (pool_->tryTakeSlot()) {
            // A slot came free while the earlier ones were walked here.
            pd->subs[i].inlineWalk = false;
            if (!hand(i)) arrive(pd);
        } else {
            walk(worker, std::move(subdirs[i]), pd, i);
        }
    }
}

void TreeWalk::arrive(std::shared_ptr<Pending> pd) {
    while (pd->pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        FileNode* node = finish(*pd);
        std::shared_ptr<Pending> parent = pd->parent;
        if (!parent) {
            result_ = node;
            latch_->open();
            return;
        }
        parent->subs[pd->index].node = node;
        pd = std::move(parent);
    }
}

FileNode* TreeWalk::finish(Pending& pd) {
    // Files in listing order, then the subdirectories walked inline, then
    // those the pool walked; the stable sort keeps that order among ties.
    FileNode* node = pd.node;
    std::size_t count = pd.fileCount;
    for (const bool inlineFirst : {true, false})
        for (const Pending::Sub& sub : pd.subs)
            if (sub.inlineWalk == inlineFirst && sub.node != nullptr)
                node->putChild(count++, sub.node);
    std::int64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += node->child(i)->size();
    node->sealChildren(count, total);
    node->sortChildrenBySize();
    pd.subs = {};
    return node;
}

void TreeWalk::report(std::int64_t files, std::int64_t bytes, const std::string& path) {
    const std::int64_t totalFiles = ctx_.files.fetch_add(files, std::memory_order_relaxed) + files;
    const std::int64_t totalBytes = ctx_.bytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    if (!ctx_.continuation) return;
    const auto now =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count());
    std::uint64_t last = ctx_.lastReportNs.load(std::memory_order_relaxed);
    constexpr std::uint64_t kIntervalNs = 80'000'000;
    // Only the walker whose compare-and-swap wins sends; no lock is taken.
    if (now > last && now - last > kIntervalNs &&
        ctx_.lastReportNs.compare_exchange_strong(last, now, std::memory_order_relaxed))
        ctx_.continuation(ScanProgress{totalFiles, totalBytes, path});
}

void TreeWalk::sendFinal(const std::string& rootPath) {
    if (ctx_.continuation)
        ctx_.continuation(ScanProgress{ctx_.files.load(), ctx_.bytes.load(), rootPath});
}

}  // namespace tidewell
