#include "smart_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scan_engine.h"
#include "temp_tree.h"
#include "trasher.h"

namespace tidewell {
namespace {

using test::TempDir;

// One entry of a tree to build, by its path below the root: a file of `size`
// bytes, or an empty directory when the path ends with '/'. Directories on
// the way are made as needed.
struct Spec {
    std::string path;
    std::int64_t size = 0;
};

struct Draft {
    std::string name;
    bool directory = true;
    std::int64_t size = 0;
    std::vector<Draft> children;

    Draft& directoryNamed(std::string_view n) {
        for (Draft& c : children)
            if (c.directory && c.name == n) return c;
        return children.emplace_back(Draft{std::string(n), true, 0, {}});
    }
};

// Children largest first with summed sizes, as the scanner leaves them;
// equal sizes keep the order of the specs.
std::vector<FileNode*> buildChildren(TreeStore& store, const Draft& d, std::int64_t& total) {
    std::vector<FileNode*> kids;
    for (const Draft& c : d.children) {
        if (!c.directory) {
            kids.push_back(store.makeFile(c.name, c.size));
            continue;
        }
        std::int64_t sub = 0;
        std::vector<FileNode*> grand = buildChildren(store, c, sub);
        kids.push_back(store.makeDirectory(c.name, sub, grand));
    }
    std::ranges::stable_sort(
        kids, [](const FileNode* a, const FileNode* b) { return a->size() > b->size(); });
    total = 0;
    for (const FileNode* k : kids) total += k->size();
    return kids;
}

NodeRef makeTree(std::string_view rootPath, const std::vector<Spec>& specs) {
    Draft top;
    for (const Spec& s : specs) {
        Draft* cur = &top;
        std::string_view rest = s.path;
        while (true) {
            const std::size_t slash = rest.find('/');
            if (slash == std::string_view::npos) {
                if (!rest.empty())
                    cur->children.push_back(Draft{std::string(rest), false, s.size, {}});
                break;
            }
            cur = &cur->directoryNamed(rest.substr(0, slash));
            rest.remove_prefix(slash + 1);
        }
    }
    StoreRef store = TreeStore::create();
    std::int64_t total = 0;
    const std::vector<FileNode*> kids = buildChildren(*store, top, total);
    return NodeRef(store->makeRoot("root", rootPath, true, total, kids));
}

bool allowAll(std::string_view) {
    return true;
}

const CleanupCategoryResult* category(const std::vector<CleanupCategoryResult>& results,
                                      std::string_view key) {
    for (const CleanupCategoryResult& r : results)
        if (r.key == key) return &r;
    return nullptr;
}

std::vector<std::string> pathsOf(const CleanupCategoryResult* r) {
    std::vector<std::string> out;
    if (r != nullptr)
        for (const CleanupItem& i : r->items) out.push_back(i.path);
    return out;
}

std::vector<std::string> keysOf(const std::vector<CleanupCategoryResult>& results) {
    std::vector<std::string> out;
    for (const CleanupCategoryResult& r : results) out.push_back(r.key);
    return out;
}

// ---- Classification -----------------------------------------------------------------

TEST(SmartCleanupRules, NestedNodeModulesGiveOnlyTheOuter) {
    const NodeRef root = makeTree(
        "/home/u", {{"app/node_modules/dep/node_modules/x", 100}, {"app/node_modules/y", 50}});
    std::vector<std::string> asked;
    const auto results = SmartCleanup::analyze(*root, [&](std::string_view p) {
        asked.emplace_back(p);
        return true;
    });
    ASSERT_EQ(keysOf(results), std::vector<std::string>{"node"});
    EXPECT_EQ(pathsOf(&results[0]), std::vector<std::string>{"/home/u/app/node_modules"});
    EXPECT_EQ(results[0].totalSize, 150);
    EXPECT_EQ(results[0].totalCount, 1);
    EXPECT_EQ(results[0].title, "node_modules klasörleri");
    EXPECT_EQ(results[0].icon, "shippingbox");
    // Only the candidate is checked; nothing inside it is looked at.
    EXPECT_EQ(asked, std::vector<std::string>{"/home/u/app/node_modules"});
}

TEST(SmartCleanupRules, LinuxPackageCachesCountAsPackages) {
    const std::vector<std::string> suffixes{
        ".cache/pip",      ".cache/yarn",    ".cache/pnpm",     ".local/share/pnpm/store",
        ".cargo/registry", ".m2/repository", ".cache/go-build", ".nuget/packages",
        ".conda/pkgs",
    };
    std::vector<Spec> specs;
    std::vector<std::string> expected;
    // Sizes fall in list order, so the listing order is the list's.
    for (std::size_t i = 0; i < suffixes.size(); ++i) {
        specs.push_back({suffixes[i] + "/blob", static_cast<std::int64_t>(100 - i)});
        expected.push_back("/home/u/" + suffixes[i]);
    }
    const NodeRef root = makeTree("/home/u", specs);
    const auto results = SmartCleanup::analyze(*root, allowAll);
    ASSERT_EQ(keysOf(results), std::vector<std::string>{"pkg"});
    EXPECT_EQ(pathsOf(&results[0]), expected);
    EXPECT_EQ(results[0].totalCount, 9);
}

// ---- Caches folders -----------------------------------------------------------------

TEST(SmartCleanupCaches, EverythingDirectlyInsideIsACandidate) {
    for (const std::string caches : {"Library/Caches", ".cache"}) {
        SCOPED_TRACE(caches);
        const NodeRef root = makeTree("/home/u", {
                                                     {caches + "/com.example.app/db", 20},
                                                     {caches + "/Yarn/v6/x", 15},
                                                     {caches + "/pip/http/x", 12},
                                                     {caches + "/.npm", 5},  // a file
                                                     {caches + "/one", 1},
                                                     {caches + "/zero", 0},
                                                     {caches + "/empty/", 0},
                                                     {caches + "/deep/node_modules/x", 3},
                                                 });
        const auto results = SmartCleanup::analyze(*root, allowAll);
        const std::string base = "/home/u/" + caches;
        // Known package caches go to "pkg" before the fallback; which ones
        // are known depends on the folder they sit in.
        const bool xdg = caches == ".cache";
        EXPECT_EQ(pathsOf(category(results, "pkg")),
                  std::vector<std::string>{base + (xdg ? "/pip" : "/Yarn")});
        std::vector<std::string> cachesItems{base + "/com.example.app"};
        cachesItems.push_back(base + (xdg ? "/Yarn" : "/pip"));
        // A caches folder's subfolders are items whole: "deep" is not entered.
        cachesItems.insert(cachesItems.end(), {base + "/.npm", base + "/deep", base + "/one"});
        EXPECT_EQ(pathsOf(category(results, "caches")), cachesItems);
        EXPECT_EQ(category(results, "caches")->totalCount, 5);
        EXPECT_EQ(category(results, "node"), nullptr);
        // The caches folder itself is never an item.
        for (const auto& r : results)
            for (const auto& i : r.items) EXPECT_NE(i.path, base);
    }
}

TEST(SmartCleanupCaches, RootThatIsItselfACachesFolder) {
    for (const std::string rootPath : {"/home/u/.cache", "/Users/u/Library/Caches"}) {
        SCOPED_TRACE(rootPath);
        const NodeRef root = makeTree(rootPath, {{"app/x", 8}, {"stray.bin", 4}, {"nothing", 0}});
        const auto results = SmartCleanup::analyze(*root, allowAll);
        ASSERT_EQ(keysOf(results), std::vector<std::string>{"caches"});
        EXPECT_EQ(pathsOf(&results[0]),
                  (std::vector<std::string>{rootPath + "/app", rootPath + "/stray.bin"}));
        EXPECT_EQ(results[0].totalSize, 12);
    }
}

// ---- Totals, the cap and zero sizes --------------------------------------------------

TEST(SmartCleanupTotals, SixtyItemsListTheLargestFiftyAndCountAll) {
    std::vector<Spec> specs;
    for (int i = 1; i <= 60; ++i)
        specs.push_back(
            {"p" + std::to_string(i) + "/node_modules/x", static_cast<std::int64_t>(i)});
    const NodeRef root = makeTree("/home/u", specs);
    const auto results = SmartCleanup::analyze(*root, allowAll);
    ASSERT_EQ(results.size(), 1u);
    const CleanupCategoryResult& node = results[0];
    EXPECT_EQ(node.totalCount, 60);
    EXPECT_EQ(node.totalSize, 60 * 61 / 2);
    ASSERT_EQ(node.items.size(), 50u);
    for (std::size_t i = 0; i < node.items.size(); ++i) {
        EXPECT_EQ(node.items[i].node->size(), static_cast<std::int64_t>(60 - i));
        EXPECT_EQ(node.items[i].path, "/home/u/p" + std::to_string(60 - i) + "/node_modules");
    }
}

TEST(SmartCleanupTotals, EmptyMatchesCountOnlyWithSomethingBesideThem) {
    {
        const NodeRef root = makeTree("/home/u", {{"a/node_modules/", 0}, {"b/node_modules/x", 9}});
        const auto results = SmartCleanup::analyze(*root, allowAll);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(pathsOf(&results[0]),
                  (std::vector<std::string>{"/home/u/b/node_modules", "/home/u/a/node_modules"}));
        EXPECT_EQ(results[0].totalSize, 9);
        EXPECT_EQ(results[0].totalCount, 2);
    }
    {
        const NodeRef root = makeTree("/home/u", {{"a/node_modules/", 0}});
        EXPECT_TRUE(SmartCleanup::analyze(*root, allowAll).empty());
    }
}

TEST(SmartCleanupTotals, EqualTotalsKeepTableOrder) {
    // Walked in the reverse of table order, all totals equal.
    const NodeRef root = makeTree("/Users/u", {
                                                  {"Library/Logs/x", 10},
                                                  {"Library/Caches/app", 10},
                                                  {".npm/x", 10},
                                                  {"w/node_modules/x", 10},
                                                  {"Library/Developer/Xcode/Archives/x", 10},
                                              });
    EXPECT_EQ(keysOf(SmartCleanup::analyze(*root, allowAll)),
              (std::vector<std::string>{"xcode", "node", "pkg", "caches", "logs"}));
}

// ---- Paths and the deletability test ---------------------------------------------------

TEST(SmartCleanupPaths, RootSlashHasNoDoubledSlashes) {
    const NodeRef root = makeTree("/", {
                                           {"node_modules/x", 4},
                                           {"home/u/.cache/thing", 3},
                                           {"Library/Caches/y", 2},
                                       });
    std::vector<std::string> asked;
    const auto results = SmartCleanup::analyze(*root, [&](std::string_view p) {
        asked.emplace_back(p);
        return true;
    });
    EXPECT_EQ(pathsOf(category(results, "node")), std::vector<std::string>{"/node_modules"});
    EXPECT_EQ(pathsOf(category(results, "caches")),
              (std::vector<std::string>{"/home/u/.cache/thing", "/Library/Caches/y"}));
    ASSERT_EQ(asked.size(), 3u);
    for (const std::string& p : asked) EXPECT_EQ(p.find("//"), std::string::npos) << p;
}

TEST(SmartCleanupPaths, RefusedCandidateIsLeftOutAndNotEntered) {
    const NodeRef root =
        makeTree("/home/u", {
                                {"Library/Developer/Xcode/DerivedData/App/node_modules/x", 50},
                                {"ok/node_modules/x", 20},
                                {"theirs/node_modules/x", 30},
                                {".cache/locked", 9},
                                {".cache/mine", 8},
                            });
    std::vector<std::string> asked;
    const auto refused = [](std::string_view p) {
        return p.ends_with("/DerivedData") || p.starts_with("/home/u/theirs") ||
               p.ends_with("/locked");
    };
    const auto results = SmartCleanup::analyze(*root, [&](std::string_view p) {
        asked.emplace_back(p);
        return !refused(p);
    });
    EXPECT_EQ(keysOf(results), (std::vector<std::string>{"node", "caches"}));
    EXPECT_EQ(pathsOf(category(results, "node")),
              std::vector<std::string>{"/home/u/ok/node_modules"});
    EXPECT_EQ(category(results, "node")->totalSize, 20);
    EXPECT_EQ(pathsOf(category(results, "caches")),
              std::vector<std::string>{"/home/u/.cache/mine"});
    // The refused DerivedData was not searched: its node_modules was never a candidate.
    EXPECT_EQ(
        std::ranges::count(asked, "/home/u/Library/Developer/Xcode/DerivedData/App/node_modules"),
        0);
    EXPECT_EQ(asked.size(), 5u);
}

// ---- A real folder ------------------------------------------------------------------

TEST(SmartCleanupOnDisk, ScannedFolderWithTheRealDeletabilityTest) {
    TempDir t;
    t.mkdir("proj");
    t.mkdir("proj/node_modules");
    t.mkdir("proj/node_modules/dep");
    const std::int64_t nodeBytes =
        test::allocatedBytes(t.write("proj/node_modules/dep/index.js", 50000));
    t.mkdir("gone");
    t.mkdir("gone/node_modules");
    t.write("gone/node_modules/x", 40000);
    t.mkdir(".cache");
    t.mkdir(".cache/pip");
    t.write(".cache/pip/wheel", 30000);
    t.write(".cache/thumb.png", 20000);
    t.write(".cache/empty", 0);
    t.mkdir("Library");
    t.mkdir("Library/Logs");
    t.write("Library/Logs/app.log", 10000);
    t.write("big.iso", 90000);

    ScanEngine engine;
    const NodeRef root = engine.scan(t.path(), std::nullopt, {}, {}, {});
    ASSERT_TRUE(root);
    // Gone from the disk after the scan: the test cannot examine it.
    std::filesystem::remove_all(t / "gone/node_modules");

    const auto results = SmartCleanup::analyze(
        *root, [](std::string_view path) { return Trasher::canDelete(path); });
    EXPECT_EQ(pathsOf(category(results, "node")),
              std::vector<std::string>{t / "proj/node_modules"});
    EXPECT_EQ(pathsOf(category(results, "pkg")), std::vector<std::string>{t / ".cache/pip"});
    EXPECT_EQ(pathsOf(category(results, "caches")),
              std::vector<std::string>{t / ".cache/thumb.png"});
    EXPECT_EQ(pathsOf(category(results, "logs")), std::vector<std::string>{t / "Library/Logs"});
    ASSERT_EQ(results.size(), 4u);
    for (std::size_t i = 1; i < results.size(); ++i)
        EXPECT_GE(results[i - 1].totalSize, results[i].totalSize);
    // Sizes as the disk has them: what the files inside occupy.
    EXPECT_EQ(category(results, "node")->totalSize, nodeBytes);
    EXPECT_EQ(category(results, "node")->items[0].node->size(), nodeBytes);
}

}  // namespace
}  // namespace tidewell
