#include "top_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace tidewell {
namespace {

// Nodes are laid out exactly as given: children in the order passed.
struct Builder {
    StoreRef store = TreeStore::create();

    FileNode* file(std::string_view name, std::int64_t size) { return store->makeFile(name, size); }
    FileNode* dir(std::string_view name, std::initializer_list<FileNode*> kids) {
        return dirSized(name, sumOf(kids), kids);
    }
    // A directory claiming `size`, whatever its children hold.
    FileNode* dirSized(std::string_view name, std::int64_t size,
                       std::initializer_list<FileNode*> kids) {
        const std::vector<FileNode*> v(kids);
        return store->makeDirectory(name, size, v);
    }
    NodeRef root(std::string_view path, std::initializer_list<FileNode*> kids) {
        const std::vector<FileNode*> v(kids);
        return NodeRef(store->makeRoot("root", path, true, sumOf(kids), v));
    }
    static std::int64_t sumOf(std::initializer_list<FileNode*> kids) {
        std::int64_t s = 0;
        for (const FileNode* k : kids) s += k->size();
        return s;
    }
};

std::vector<std::string> pathsOf(const std::vector<CleanupItem>& items) {
    std::vector<std::string> out;
    for (const CleanupItem& i : items) out.push_back(i.path);
    return out;
}

// ---- Small trees ----------------------------------------------------------------------

TEST(TopFilesSmall, FewerFilesThanTheLimitGivesAllOfThemLargestFirst) {
    Builder b;
    const NodeRef root = b.root(
        "/data", {b.dir("a", {b.file("x", 30), b.file("z", 0)}), b.file("y", 20), b.file("e", 0)});
    const auto top = computeTopFiles(*root, 100);
    // Zero-byte files too; directories never.
    EXPECT_EQ(pathsOf(top),
              (std::vector<std::string>{"/data/a/x", "/data/y", "/data/e", "/data/a/z"}));
    for (const CleanupItem& i : top) EXPECT_FALSE(i.node->isDirectory());
    EXPECT_EQ(top[0].node->size(), 30);
}

TEST(TopFilesSmall, EmptyRootOrNoRoomGivesNothing) {
    Builder b;
    EXPECT_TRUE(computeTopFiles(*b.root("/empty", {}), 100).empty());
    const NodeRef fileRoot(b.store->makeRoot("f", "/f", false, 10));
    EXPECT_TRUE(computeTopFiles(*fileRoot, 100).empty());
    const NodeRef root = b.root("/d", {b.file("x", 5)});
    EXPECT_TRUE(computeTopFiles(*root, 0).empty());
}

TEST(TopFilesSmall, EqualSizesKeepDiscoveryOrder) {
    Builder b;
    const NodeRef root = b.root(
        "/t", {b.dir("A", {b.file("a", 10)}), b.dir("B", {b.file("b", 10)}), b.file("c", 10)});
    // Files of a directory come first; directories are taken last-pushed first.
    EXPECT_EQ(pathsOf(computeTopFiles(*root, 100)),
              (std::vector<std::string>{"/t/c", "/t/B/b", "/t/A/a"}));
    EXPECT_EQ(pathsOf(computeTopFiles(*root, 2)), (std::vector<std::string>{"/t/c", "/t/B/b"}));
}

TEST(TopFilesSmall, DirectoryAtTheThresholdIsNotEntered) {
    Builder b;
    // With a limit of 2, the four files in "s" fill the candidates (2 x 2)
    // and set the threshold to 10 before "x" is looked at. "atThreshold"
    // claims 10 bytes but hides a larger file, so entering it would show;
    // "above" claims one byte more and is entered. ("x" claims enough to
    // come first among the root's children, as a larger directory would.)
    const NodeRef root = b.root(
        "/", {b.dirSized("x", 100,
                         {b.dirSized("above", 11, {b.file("big", 600)}),
                          b.dirSized("atThreshold", 10, {b.file("hidden", 500)})}),
              b.dir("s", {b.file("g1", 10), b.file("g2", 10), b.file("h1", 9), b.file("h2", 9)})});
    EXPECT_EQ(pathsOf(computeTopFiles(*root, 2)),
              (std::vector<std::string>{"/x/above/big", "/s/g1"}));
    // Without the threshold in force (room for everything) both are entered.
    EXPECT_EQ(pathsOf(computeTopFiles(*root, 3)),
              (std::vector<std::string>{"/x/above/big", "/x/atThreshold/hidden", "/s/g1"}));
}

// ---- A larger tree against sorting everything -------------------------------------------

struct Generated {
    StoreRef store = TreeStore::create();
    NodeRef root;
    std::vector<const FileNode*> files;
};

// A random tree, built like a scan: children largest first, sizes summed.
FileNode* generate(Generated& g, std::mt19937& rng, int depth, int& serial) {
    std::vector<FileNode*> kids;
    const int fileCount = static_cast<int>(rng() % 40);
    for (int i = 0; i < fileCount; ++i) {
        // Distinct sizes, so that any correct selection gives one answer.
        const std::int64_t size = static_cast<std::int64_t>(rng() % 1'000'000) * 100'000 + serial++;
        FileNode* f = g.store->makeFile("f" + std::to_string(i), size);
        kids.push_back(f);
        g.files.push_back(f);
    }
    if (depth > 0) {
        const int dirCount = static_cast<int>(rng() % 5);
        for (int i = 0; i < dirCount; ++i) {
            FileNode* d = generate(g, rng, depth - 1, serial);
            kids.push_back(d);
        }
    }
    std::ranges::stable_sort(
        kids, [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
    std::int64_t total = 0;
    for (const FileNode* k : kids) total += k->size();
    return g.store->makeDirectory("d" + std::to_string(serial++), total, kids);
}

TEST(TopFilesLarge, MatchesAFullSortForEveryLimit) {
    Generated g;
    std::mt19937 rng(20240611);
    int serial = 0;
    FileNode* top = generate(g, rng, 6, serial);
    std::vector<FileNode*> kids{top};
    g.root = NodeRef(g.store->makeRoot("root", "/gen", true, top->size(), kids));
    ASSERT_GT(g.files.size(), 1000u);

    std::vector<const FileNode*> sorted = g.files;
    std::ranges::sort(sorted,
                      [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
    for (const std::size_t limit : {std::size_t{1}, std::size_t{7}, std::size_t{100},
                                    std::size_t{500}, g.files.size() + 10}) {
        SCOPED_TRACE(limit);
        const auto result = computeTopFiles(*g.root, limit);
        ASSERT_EQ(result.size(), std::min(limit, sorted.size()));
        for (std::size_t i = 0; i < result.size(); ++i) {
            ASSERT_EQ(result[i].node.get(), sorted[i]) << i;
            ASSERT_EQ(result[i].path, sorted[i]->path());
        }
    }
}

}  // namespace
}  // namespace tidewell
