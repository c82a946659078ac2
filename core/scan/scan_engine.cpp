#include "scan_engine.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "tree_walk.h"

namespace tidewell {

namespace {

std::string normalizedRoot(const std::string& location) {
    std::string p = location;
    if (p.empty() || p.front() != '/') {
        std::error_code ec;
        p = std::filesystem::absolute(p, ec).string();
    }
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool statRoot(const std::string& path, struct statx& stx) {
    return ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                   STATX_TYPE | STATX_BLOCKS, &stx) == 0;
}

constexpr std::string_view kOutOfMemory = "bellek yetmedi";

void fillReport(ScanReport* report, const TreeWalk& walk) {
    if (report == nullptr) return;
    report->unreadableDirs = walk.unreadableDirs();
    report->directoriesRead = walk.directoriesRead();
    if (walk.failed()) report->failure = kOutOfMemory;
}

// Runs one engine operation; an exception (memory ran out, no thread could be
// started) ends it with nothing but the reason in the report.
template <typename Run>
NodeRef guarded(ScanReport* report, Run&& run) {
    try {
        return run();
    } catch (const std::bad_alloc&) {
        if (report != nullptr) report->failure = kOutOfMemory;
    } catch (const std::system_error& e) {
        // A walker thread that could not be started lacked memory for its stack.
        const bool memory = e.code() == std::errc::resource_unavailable_try_again ||
                            e.code() == std::errc::not_enough_memory;
        if (report != nullptr) report->failure = memory ? std::string(kOutOfMemory) : e.what();
    } catch (const std::exception& e) {
        if (report != nullptr) report->failure = e.what();
    }
    return {};
}

std::string_view lastComponent(std::string_view path) {
    if (path == "/") return path;
    return path.substr(path.rfind('/') + 1);
}

void dropTrailingSlash(std::string& p) {
    if (p.size() > 1 && p.back() == '/') p.pop_back();
}

// Ancestors sort before their descendants; the sort is stable for equal lengths.
std::vector<std::string> byLength(const std::vector<std::string>& paths) {
    std::vector<std::string> out = paths;
    std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return a.size() < b.size();
    });
    return out;
}

}  // namespace

std::size_t distinctFolders(const ChangeSet& changes) {
    std::unordered_set<std::string> folders;
    for (const auto* list : {&changes.changedDirs, &changes.subtreeDirs})
        for (std::string d : *list) {
            dropTrailingSlash(d);
            folders.insert(std::move(d));
        }
    return folders.size();
}

FileNode* findNode(FileNode* root, std::string_view rootPath, std::string_view path) {
    if (path == rootPath) return root;
    const std::string prefix = rootPath == "/" ? "/" : std::string(rootPath) + "/";
    if (!path.starts_with(prefix)) return nullptr;
    std::string_view rest = path.substr(prefix.size());
    FileNode* node = root;
    while (!rest.empty()) {
        const std::size_t cut = rest.find('/');
        const std::string_view piece = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (piece.empty()) continue;
        FileNode* next = nullptr;
        for (FileNode* c : node->children())
            if (c->name() == piece) {
                next = c;
                break;
            }
        if (next == nullptr) return nullptr;
        node = next;
    }
    return node;
}

NodeRef ScanEngine::scan(const std::string& location, std::optional<std::string> displayName,
                         const SkipPaths& skipPaths, const ProgressSink& sink, std::stop_token stop,
                         ScanObserver* observer, ScanReport* report) {
    std::lock_guard lock(serial_);
    if (report != nullptr) *report = {};
    return guarded(report, [&] {
        return scanLocked(location, std::move(displayName), skipPaths, sink, std::move(stop),
                          observer, report);
    });
}

NodeRef ScanEngine::scanLocked(const std::string& location, std::optional<std::string> displayName,
                               const SkipPaths& skipPaths, const ProgressSink& sink,
                               std::stop_token stop, ScanObserver* observer, ScanReport* report) {
    std::string rootPath = normalizedRoot(location);
    const std::string name = displayName ? *displayName : locationName(location);

    struct statx stx {};
    if (!statRoot(rootPath, stx)) return {};
    if (S_ISLNK(stx.stx_mode)) {
        // A root that is a link to a directory is followed, that one link
        // only: the tree carries the real path, and nothing below is followed.
        if (std::optional<std::string> real = realDirectory(rootPath)) {
            rootPath = std::move(*real);
            if (!statRoot(rootPath, stx)) return {};
        }
    }
    StoreRef store = TreeStore::create();
    if (!S_ISDIR(stx.stx_mode)) {
        FileNode* root =
            store->makeRoot(name, rootPath, false, static_cast<std::int64_t>(stx.stx_blocks) * 512);
        if (stop.stop_requested()) return {};
        if (sink) sink(ScanProgress{0, 0, rootPath});
        return NodeRef(root);
    }
    TreeWalk walk(*store, skipPaths, sink, stop, observer);
    FileNode* root = walk.walkTree(rootPath, name, true);
    fillReport(report, walk);
    if (walk.cancelled()) return {};
    walk.sendFinal(rootPath);
    return NodeRef(root);
}

NodeRef ScanEngine::refresh(const NodeRef& root, const std::string& rootPath,
                            const ChangeSet& changes, const SkipPaths& skipPaths,
                            const ProgressSink& sink, std::stop_token stop, ScanObserver* observer,
                            ScanReport* report) {
    std::lock_guard lock(serial_);
    if (report != nullptr) *report = {};
    if (!root) return {};
    return guarded(report, [&] {
        return refreshLocked(root, rootPath, changes, skipPaths, sink, std::move(stop), observer,
                             report);
    });
}

NodeRef ScanEngine::refreshLocked(const NodeRef& root, const std::string& rootPath,
                                  const ChangeSet& changes, const SkipPaths& skipPaths,
                                  const ProgressSink& sink, std::stop_token stop,
                                  ScanObserver* observer, ScanReport* report) {
    TreeWalk walk(root->store(), skipPaths, sink, stop, observer);
    // Whatever the outcome, the report says what this run read.
    struct Filled {
        ScanReport* report;
        const TreeWalk& walk;
        ~Filled() { fillReport(report, walk); }
    } filled{report, walk};
    std::vector<std::string> rescanned;
    auto underRescanned = [&](std::string_view p) {
        return std::any_of(rescanned.begin(), rescanned.end(),
                           [&](const std::string& r) { return isAtOrBelow(p, r); });
    };

    for (std::string s : byLength(changes.subtreeDirs)) {
        if (walk.cancelled()) return {};
        dropTrailingSlash(s);
        if (underRescanned(s)) continue;
        if (s == rootPath || !s.starts_with(rootPath)) return {};
        FileNode* old = findNode(root.get(), rootPath, s);
        if (old == nullptr || old->parent() == nullptr) continue;
        FileNode* fresh = walk.walkTree(s, old->name(), false);
        // A cancelled walk is partial: it must not enter the tree.
        if (walk.cancelled()) return {};
        old->parent()->replaceChild(old, fresh);
        rescanned.push_back(std::move(s));
    }

    // A folder named many times is read once.
    std::unordered_set<std::string> reread;
    for (std::string d : byLength(changes.changedDirs)) {
        if (walk.cancelled()) return {};
        dropTrailingSlash(d);
        if (!(rootPath == "/" || isAtOrBelow(d, rootPath))) continue;
        if (!reread.insert(d).second) continue;
        if (underRescanned(d) || skipPaths.contains(d)) continue;
        FileNode* dir = findNode(root.get(), rootPath, d);
        if (dir == nullptr || !dir->isDirectory()) continue;

        // Shallow re-read: subdirectories still listed keep their nodes.
        std::unordered_map<std::string_view, FileNode*> existing;
        for (FileNode* c : dir->children())
            if (c->isDirectory()) existing.emplace(c->name(), c);
        std::vector<TreeWalk::Listed> listing = walk.listDirectory(d);
        std::vector<FileNode*> children;
        children.reserve(listing.size());
        for (TreeWalk::Listed& e : listing) {
            if (e.file != nullptr) {
                children.push_back(e.file);
                continue;
            }
            const std::string_view name = lastComponent(e.subdirPath);
            auto it = existing.find(name);
            if (it != existing.end())
                children.push_back(it->second);
            else
                children.push_back(walk.walkTree(e.subdirPath, name, false));
        }
        if (walk.cancelled()) return {};
        dir->setChildren(children);
    }

    if (walk.cancelled()) return {};
    walk.sendFinal(rootPath);
    return root;
}

}  // namespace tidewell
