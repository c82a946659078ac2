#include "smart_cleanup.h"

#include "paths.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace tidewell::SmartCleanup {

namespace {

// Indices into the table below.
enum Category : std::size_t { kXcode, kNode, kPkg, kCaches, kLogs, kCategoryCount };

constexpr std::array<Def, kCategoryCount> kDefinitions{{
    {"xcode", "Xcode artıkları", "DerivedData, Archives, iOS DeviceSupport, simülatör önbellekleri",
     "hammer"},
    {"node", "node_modules klasörleri", "npm install ile her an geri gelebilir", "shippingbox"},
    {"pkg", "Paket yöneticisi önbellekleri", "npm, Yarn, pnpm, CocoaPods, Homebrew, Gradle",
     "archivebox"},
    {"caches", "Uygulama önbellekleri", "Library/Caches içindeki diğer öğeler", "internaldrive"},
    {"logs", "Günlükler", "Library/Logs", "doc.text"},
}};

// Past this many a category still counts its items but lists only the largest.
constexpr std::size_t kMaxListed = 50;

constexpr std::array<std::string_view, 4> kXcodeSuffixes{
    "/Library/Developer/Xcode/DerivedData",
    "/Library/Developer/Xcode/Archives",
    "/Library/Developer/Xcode/iOS DeviceSupport",
    "/Library/Developer/CoreSimulator/Caches",
};

// The macOS locations first, then the usual Linux homes of the same kind of caches.
constexpr std::array<std::string_view, 18> kPkgSuffixes{
    "/.npm",
    "/.yarn/berry/cache",
    "/.gradle/caches",
    "/.cocoapods/repos",
    "/Library/Caches/Yarn",
    "/Library/Caches/pnpm",
    "/Library/Caches/CocoaPods",
    "/Library/Caches/Homebrew",
    "/Library/Caches/org.swift.swiftpm",
    "/.cache/pip",
    "/.cache/yarn",
    "/.cache/pnpm",
    "/.local/share/pnpm/store",
    "/.cargo/registry",
    "/.m2/repository",
    "/.cache/go-build",
    "/.nuget/packages",
    "/.conda/pkgs",
};

constexpr std::string_view kLogsSuffix = "/Library/Logs";

// The XDG cache home is Linux's Library/Caches: whatever sits in it may go.
constexpr std::array<std::string_view, 2> kCachesSuffixes{"/Library/Caches", "/.cache"};

bool endsWithAny(std::string_view path, std::span<const std::string_view> suffixes) {
    return std::ranges::any_of(suffixes, [path](std::string_view s) { return path.ends_with(s); });
}

// First rule that applies wins; a directory with no category is walked into.
std::optional<Category> classify(std::string_view name, std::string_view path) {
    if (name == "node_modules") return kNode;
    if (endsWithAny(path, kXcodeSuffixes)) return kXcode;
    if (endsWithAny(path, kPkgSuffixes)) return kPkg;
    if (path.ends_with(kLogsSuffix)) return kLogs;
    return std::nullopt;
}

bool bySizeDescending(const CleanupItem& a, const CleanupItem& b) {
    return a.node->size() > b.node->size();
}

}  // namespace

std::span<const Def> definitions() {
    return kDefinitions;
}

std::vector<CleanupCategoryResult> analyze(const FileNode& root,
                                           const std::function<bool(std::string_view)>& canDelete) {
    std::array<std::vector<CleanupItem>, kCategoryCount> found;

    struct Pending {
        const FileNode* node;
        std::string path;
    };
    // Depth-first without recursion; the order only decides ties, which the
    // stable sorts below keep.
    std::vector<Pending> stack;
    stack.push_back({&root, root.path()});
    while (!stack.empty()) {
        Pending entry = std::move(stack.back());
        stack.pop_back();
        const bool inCaches = endsWithAny(entry.path, kCachesSuffixes);
        for (FileNode* child : entry.node->children()) {
            // Outside a caches folder only directories can be bloat.
            if (!inCaches && !child->isDirectory()) continue;
            std::string path = childPath(entry.path, child->name());
            std::optional<Category> category =
                child->isDirectory() ? classify(child->name(), path) : std::nullopt;
            if (!category) {
                if (!inCaches) {
                    stack.push_back({child, std::move(path)});
                    continue;
                }
                // An empty file or folder in a cache frees nothing.
                if (child->size() < 1) continue;
                category = kCaches;
            }
            // A match is never entered, refused or not: its contents go with it.
            if (canDelete(path)) found[*category].push_back({NodeRef(child), std::move(path)});
        }
    }

    std::vector<CleanupCategoryResult> results;
    for (std::size_t c = 0; c < kCategoryCount; ++c) {
        std::vector<CleanupItem>& items = found[c];
        if (items.empty()) continue;
        std::ranges::stable_sort(items, bySizeDescending);
        std::int64_t total = 0;
        for (const CleanupItem& item : items) total += item.node->size();
        if (total <= 0) continue;
        const Def& def = kDefinitions[c];
        CleanupCategoryResult r;
        r.key = def.key;
        r.title = def.title;
        r.subtitle = def.subtitle;
        r.icon = def.icon;
        r.totalSize = total;
        r.totalCount = static_cast<std::int64_t>(items.size());
        if (items.size() > kMaxListed) items.erase(items.begin() + kMaxListed, items.end());
        r.items = std::move(items);
        results.push_back(std::move(r));
    }
    // Equal totals keep table order.
    std::ranges::stable_sort(
        results, [](const auto& a, const auto& b) { return a.totalSize > b.totalSize; });
    return results;
}

}  // namespace tidewell::SmartCleanup
