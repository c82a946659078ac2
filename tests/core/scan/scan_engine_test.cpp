#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <climits>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "paths.h"
#include "scan_engine.h"
#include "temp_tree.h"
#include "walk_pool.h"

namespace tidewell {
namespace {

using test::allocatedBytes;
using test::inChild;
using test::TempDir;

struct Recorder {
    std::mutex mutex;
    std::vector<ScanProgress> records;
    std::vector<std::chrono::steady_clock::time_point> times;
    ProgressSink sink() {
        return [this](const ScanProgress& p) {
            std::lock_guard lock(mutex);
            records.push_back(p);
            times.push_back(std::chrono::steady_clock::now());
        };
    }
};

using test::childNamed;

void expectInvariants(const FileNode* node) {
    std::vector<const FileNode*> stack{node};
    while (!stack.empty()) {
        const FileNode* n = stack.back();
        stack.pop_back();
        std::int64_t sum = 0, prev = INT64_MAX;
        for (const FileNode* c : n->children()) {
            EXPECT_EQ(c->parent(), n);
            EXPECT_LE(c->size(), prev) << c->path();
            prev = c->size();
            sum += c->size();
            stack.push_back(c);
        }
        if (n->isDirectory()) {
            EXPECT_EQ(n->size(), sum) << n->path();
        }
    }
}

ScanEngine engine;
const SkipPaths kNoSkips;

NodeRef scan(const std::string& path, Recorder* rec = nullptr, const SkipPaths& skips = kNoSkips,
             std::stop_token stop = {}) {
    return engine.scan(path, std::nullopt, skips, rec != nullptr ? rec->sink() : ProgressSink{},
                       stop);
}

TEST(ScanEngine, SingleFileRootAndMissingRoot) {
    TempDir t;
    const std::string f = t.write("one.bin", 10000);
    Recorder rec;
    NodeRef root = scan(f, &rec);
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->isDirectory());
    EXPECT_EQ(root->rootPath(), f);
    EXPECT_EQ(root->name(), "one.bin");
    EXPECT_EQ(root->size(), allocatedBytes(f));
    EXPECT_GT(root->size(), 0);

    Recorder none;
    EXPECT_FALSE(scan(t / "missing", &none));
    EXPECT_TRUE(none.records.empty());
}

TEST(ScanEngine, CountsWhatTheDiskHolds) {
    TempDir t;
    t.mkdir("big");
    const std::string big = t.write("big/data", 300000);
    t.write("small", 100);
    t.symlink(t / "big", "link-to-big");
    t.symlink("nowhere", "dangling");
    t.hardlink("small", "small-again");
    t.mkdir("empty");
    const std::string odd = t.write("\xff\xfe-not-utf8", 5000);

    Recorder rec;
    NodeRef root = engine.scan(t.path(), std::string("Shown"), kNoSkips, rec.sink(), {});
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name(), "Shown");
    EXPECT_EQ(root->rootPath(), t.path());
    expectInvariants(root.get());

    FileNode* link = childNamed(root.get(), "link-to-big");
    ASSERT_NE(link, nullptr);
    EXPECT_FALSE(link->isDirectory());
    EXPECT_EQ(link->size(), 0);
    EXPECT_EQ(childNamed(root.get(), "big")->size(), allocatedBytes(big));
    // Hard links count once per link.
    EXPECT_EQ(childNamed(root.get(), "small-again")->size(), allocatedBytes(t / "small"));
    FileNode* oddNode = childNamed(root.get(), "\xff\xfe-not-utf8");
    ASSERT_NE(oddNode, nullptr);
    EXPECT_EQ(oddNode->path(), odd);
    EXPECT_EQ(childNamed(root.get(), "empty")->size(), 0);

    const std::int64_t expected =
        allocatedBytes(big) + 2 * allocatedBytes(t / "small") + allocatedBytes(odd);
    EXPECT_EQ(root->size(), expected);
    // Final record: every non-directory counted, links included.
    ASSERT_FALSE(rec.records.empty());
    const ScanProgress& last = rec.records.back();
    EXPECT_EQ(last.currentPath, t.path());
    EXPECT_EQ(last.fileCount, 6);
    EXPECT_EQ(last.byteCount, expected);
}

TEST(ScanEngine, ARootThatLinksToAFolderIsFollowedOnce) {
    TempDir t;
    const std::string base = t.realPath();
    t.mkdir("real");
    t.write("real/data", 30000);
    t.mkdir("elsewhere");
    t.write("elsewhere/big", 300000);
    t.symlink(t / "elsewhere", "real/inner-link");
    t.symlink(t / "real", "link");
    t.symlink(t / "link", "link-to-link");
    t.symlink(t / "real/data", "file-link");

    for (const char* picked : {"link", "link-to-link"}) {
        NodeRef root = scan(t / picked);
        ASSERT_TRUE(root) << picked;
        EXPECT_EQ(root->rootPath(), base + "/real") << picked;
        EXPECT_EQ(root->name(), picked);
        EXPECT_TRUE(root->isDirectory());
        // Below the root nothing is followed.
        FileNode* inner = childNamed(root.get(), "inner-link");
        ASSERT_NE(inner, nullptr);
        EXPECT_FALSE(inner->isDirectory());
        EXPECT_EQ(root->size(), allocatedBytes(t / "real/data"));
        EXPECT_EQ(childNamed(root.get(), "data")->path(), base + "/real/data");
        EXPECT_EQ(findNode(root.get(), base + "/real", base + "/real/data"),
                  childNamed(root.get(), "data"));
    }
    // A link to a file stays the link.
    NodeRef fileLink = scan(t / "file-link");
    ASSERT_TRUE(fileLink);
    EXPECT_FALSE(fileLink->isDirectory());
    EXPECT_EQ(fileLink->rootPath(), t / "file-link");
    EXPECT_LT(fileLink->size(), allocatedBytes(t / "real/data"));
}

TEST(ScanRoots, TheRealPathOfAChosenLocation) {
    TempDir t;
    const std::string base = t.realPath();
    t.mkdir("real");
    t.mkdir("real/sub");
    t.write("real/file", 10);
    t.symlink(t / "real", "ancestor");  // like /home -> /var/home
    t.symlink(t / "real/sub", "to-dir");
    t.symlink(t / "real/file", "to-file");
    t.symlink(t / "nowhere", "dangling");

    EXPECT_EQ(realScanRoot(t / "real"), base + "/real");
    EXPECT_EQ(realScanRoot(t / "real/"), base + "/real");
    EXPECT_EQ(realScanRoot(t / "ancestor/sub"), base + "/real/sub");
    EXPECT_EQ(realScanRoot(t / "ancestor/file"), base + "/real/file");
    EXPECT_EQ(realScanRoot(t / "to-dir"), base + "/real/sub");
    EXPECT_EQ(realScanRoot(t / "ancestor/../real/sub/.."), base + "/real");
    // Only a link to a folder is followed.
    EXPECT_EQ(realScanRoot(t / "to-file"), base + "/to-file");
    EXPECT_EQ(realScanRoot(t / "dangling"), base + "/dangling");
    EXPECT_EQ(realScanRoot("/"), "/");
    EXPECT_FALSE(realScanRoot(t / "missing"));
    EXPECT_FALSE(realScanRoot(t / "missing/deeper"));

    // Shown by what was picked.
    EXPECT_EQ(locationName(t / "to-dir/"), "to-dir");
    EXPECT_EQ(locationName(t / "real/sub/.."), "real");
    EXPECT_EQ(locationName("/"), "/");
}

TEST(ScanEngine, SkipPathsMatchDirectoriesOnly) {
    TempDir t;
    t.mkdir("skipme");
    t.write("skipme/inside", 4096);
    t.write("skipfile", 4096);
    const SkipPaths skips{t / "skipme", t / "skipfile"};
    NodeRef root = scan(t.path(), nullptr, skips);
    ASSERT_TRUE(root);
    EXPECT_EQ(childNamed(root.get(), "skipme"), nullptr);
    ASSERT_NE(childNamed(root.get(), "skipfile"), nullptr);
    EXPECT_EQ(root->size(), allocatedBytes(t / "skipfile"));
}

TEST(ScanEngine, ChildrenOfSlashHaveOneSlash) {
    EXPECT_EQ(childPath("/", "usr"), "/usr");
    EXPECT_EQ(childPath("/a", "b"), "/a/b");
    // Skip every directory in "/": if matching doubled the slash, the scan
    // would go down into them.
    SkipPaths skips;
    if (DIR* d = ::opendir("/")) {
        while (dirent* e = ::readdir(d)) skips.insert(std::string("/") + e->d_name);
        ::closedir(d);
    }
    struct Spy : ScanObserver {
        std::atomic<int> reads{0};
        void willReadDirectory(const std::string&) override { ++reads; }
    } spy;
    ScanEngine local;
    NodeRef root = local.scan("/", std::nullopt, skips, {}, {}, &spy);
    ASSERT_TRUE(root);
    EXPECT_EQ(spy.reads.load(), 1);
    for (FileNode* c : root->children()) {
        EXPECT_FALSE(c->isDirectory());
        EXPECT_EQ(c->path(), "/" + std::string(c->name()));
        EXPECT_EQ(findNode(root.get(), "/", c->path()), c);
    }
}

// The result of a child process's checks, as its exit status: 0 passed,
// 1 failed, 77 could not be set up.
constexpr uid_t kNobody = 65534;

// Everything under `path` handed to the unprivileged uid the child drops to.
void giveAway(const std::string& path) {
    std::error_code ec;
    ::lchown(path.c_str(), kNobody, kNobody);
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ::lchown(it->path().c_str(), kNobody, kNobody);
}

TEST(ScanEngine, UnreadableFoldersAreEmptyAndCounted) {
    TempDir t;
    t.mkdir("locked");
    t.write("locked/secret", 8192);
    t.mkdir("a");
    t.mkdir("a/locked");
    t.write("a/locked/secret", 8192);
    t.write("a/open", 100);
    t.mkdir("gone");  // removed just before it is read: gone, not unreadable
    t.write("open", 100);
    giveAway(t.path());
    // Mode 0000 keeps even the owner out.
    ::chmod((t / "locked").c_str(), 0);
    ::chmod((t / "a/locked").c_str(), 0);
    const int rc = inChild([&] {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 77;
        struct Remover : ScanObserver {
            std::string victim;
            void willReadDirectory(const std::string& path) override {
                if (path == victim) ::rmdir(path.c_str());
            }
        } remover;
        remover.victim = t / "gone";
        ScanEngine local;
        ScanReport report;
        report.unreadableDirs = 99;  // a run starts its report afresh
        NodeRef root = local.scan(t.path(), std::nullopt, kNoSkips, {}, {}, &remover, &report);
        if (!root) return 1;
        FileNode* locked = childNamed(root.get(), "locked");
        if (locked == nullptr || !locked->isDirectory() || locked->childCount() != 0) return 2;
        if (root->size() != allocatedBytes(t / "open") + allocatedBytes(t / "a/open")) return 3;
        if (report.unreadableDirs != 2) return 4;  // locked and a/locked
        if (report.directoriesRead != 5) return 5;

        // A refresh counts the folders it reads again: a/ in full, locked shallowly.
        ScanReport again;
        const ChangeSet changes{{t / "locked", t / "locked/"}, {t / "a"}};
        if (local.refresh(root, t.path(), changes, kNoSkips, {}, {}, nullptr, &again) != root)
            return 6;
        if (again.unreadableDirs != 2 || again.directoriesRead != 3) return 7;
        return 0;
    });
    if (rc == 77) GTEST_SKIP() << "cannot drop to an unprivileged uid here";
    EXPECT_EQ(rc, 0);
}

TEST(ScanEngine, BindMountLoopIsWalkedOnce) {
    TempDir t;
    t.mkdir("a");
    t.write("a/file", 4096);
    t.mkdir("a/loop");
    const int rc = test::inPrivateMounts([&] {
        if (::mount((t / "a").c_str(), (t / "a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return 77;
        NodeRef root = scan(t / "a");
        if (!root) return 1;
        FileNode* loop = childNamed(root.get(), "loop");
        return loop != nullptr && loop->childCount() == 0 &&
                       root->size() == allocatedBytes(t / "a/file")
                   ? 0
                   : 1;
    });
    if (rc == 77) GTEST_SKIP() << "cannot make a bind mount here";
    EXPECT_EQ(rc, 0);
}

// A tree wide enough to keep several walkers busy.
void makeWideTree(const TempDir& t, int dirs, int subdirs, int files) {
    for (int d = 0; d < dirs; ++d) {
        const std::string dn = "d" + std::to_string(d);
        t.mkdir(dn);
        for (int s = 0; s < subdirs; ++s) {
            const std::string sn = dn + "/s" + std::to_string(s);
            t.mkdir(sn);
            for (int f = 0; f < files; ++f) t.write(sn + "/f" + std::to_string(f), 10);
        }
    }
}

TEST(ScanEngine, CancelledScanGivesNothingAndNoFinalRecord) {
    TempDir t;
    makeWideTree(t, 8, 8, 4);
    std::stop_source stop;
    struct StopAfter : ScanObserver {
        std::stop_source* stop;
        std::atomic<int> seen{0};
        void willReadDirectory(const std::string&) override {
            if (++seen == 5) stop->request_stop();
        }
    } spy;
    spy.stop = &stop;
    Recorder rec;
    ScanEngine local;
    NodeRef root = local.scan(t.path(), std::nullopt, kNoSkips, rec.sink(), stop.get_token(), &spy);
    EXPECT_FALSE(root);
    // The root was read first; a record for it after that would be the final one.
    for (std::size_t i = 1; i < rec.records.size(); ++i)
        EXPECT_NE(rec.records[i].currentPath, t.path());
}

TEST(ScanEngine, ProgressIsThrottledTo80ms) {
    TempDir t;
    makeWideTree(t, 6, 6, 2);
    struct Slow : ScanObserver {
        void willReadDirectory(const std::string&) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
    } slow;
    Recorder rec;
    ScanEngine local;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(local.scan(t.path(), std::nullopt, kNoSkips, rec.sink(), {}, &slow));
    const auto took = std::chrono::steady_clock::now() - started;
    // Each of the 43 directories is one batch; unthrottled, each would send a
    // record. Throttled, the records before the final one were sent more than
    // 80 ms apart within the scan, however late the machine ran them.
    ASSERT_GE(rec.records.size(), 2u);
    const auto throttled = static_cast<long>(rec.records.size() - 1);
    EXPECT_LE(throttled, took / std::chrono::milliseconds(80) + 1);
    EXPECT_LT(throttled, 43);
    EXPECT_EQ(rec.records.back().currentPath, t.path());
    EXPECT_EQ(rec.records.back().fileCount, 6 * 6 * 2);
}

TEST(ScanEngine, ChildWalkersStayWithinTheSlotLimit) {
    TempDir t;
    makeWideTree(t, 24, 3, 1);
    // Child walkers hold on until the limit is reached (or a second passes),
    // so the peak is reached whatever the machine's speed.
    struct Count : ScanObserver {
        std::string root;
        std::atomic<int> most{0};
        void willReadDirectory(const std::string& path) override {
            if (path == root) return;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (most.load() < walkerSlotLimit() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        void childWalkerStarted(int running) override {
            int seen = most.load();
            while (running > seen && !most.compare_exchange_weak(seen, running)) {
            }
        }
    } count;
    count.root = t.path();
    ScanEngine local;
    NodeRef root = local.scan(t.path(), std::nullopt, kNoSkips, {}, {}, &count);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->childCount(), 24u);
    EXPECT_GE(walkerSlotLimit(), 4);
    EXPECT_EQ(count.most.load(), walkerSlotLimit());
    expectInvariants(root.get());
}

class Refresh : public ::testing::Test {
  protected:
    void SetUp() override {
        t.mkdir("a");
        t.mkdir("a/b");
        t.mkdir("a/b/c");
        t.write("a/b/c/deep", 4096);
        t.write("a/file", 4096);
        t.mkdir("keep");
        t.write("keep/k", 8192);
        root = scan(t.path());
        ASSERT_TRUE(root);
    }
    NodeRef refresh(const ChangeSet& cs, ScanObserver* observer = nullptr) {
        ScanEngine local;
        return local.refresh(root, t.path(), cs, kNoSkips, {}, {}, observer);
    }
    TempDir t;
    NodeRef root;
};

TEST_F(Refresh, RootInSubtreeListGivesNothing) {
    EXPECT_FALSE(refresh({{}, {t.path()}}));
    EXPECT_FALSE(refresh({{}, {"/elsewhere"}}));
}

TEST_F(Refresh, NestedSubtreeIsRescannedOnce) {
    t.write("a/b/c/new", 4096);
    struct Reads : ScanObserver {
        std::mutex m;
        std::vector<std::string> paths;
        void willReadDirectory(const std::string& p) override {
            std::lock_guard lock(m);
            paths.push_back(p);
        }
    } reads;
    FileNode* keep = childNamed(root.get(), "keep");
    NodeRef out = refresh({{}, {t / "a/b/c", t / "a/b"}}, &reads);
    ASSERT_EQ(out, root);
    EXPECT_EQ(std::count(reads.paths.begin(), reads.paths.end(), t / "a/b/c"), 1);
    EXPECT_EQ(std::count(reads.paths.begin(), reads.paths.end(), t / "a/b"), 1);
    EXPECT_EQ(childNamed(root.get(), "keep"), keep);
    FileNode* c = findNode(root.get(), t.path(), t / "a/b/c");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->childCount(), 2u);
    expectInvariants(root.get());
    EXPECT_EQ(root->size(), allocatedBytes(t / "a/b/c/deep") + allocatedBytes(t / "a/b/c/new") +
                                allocatedBytes(t / "a/file") + allocatedBytes(t / "keep/k"));
}

TEST_F(Refresh, ShallowReReadKeepsSubdirectoryIdentity) {
    FileNode* a = findNode(root.get(), t.path(), t / "a");
    FileNode* b = findNode(root.get(), t.path(), t / "a/b");
    FileNode* deep = findNode(root.get(), t.path(), t / "a/b/c/deep");
    ASSERT_NE(deep, nullptr);
    ::unlink((t / "a/file").c_str());
    t.write("a/added", 20000);
    t.mkdir("a/newdir");
    t.write("a/newdir/n", 4096);
    // Given with a trailing "/": the same directory.
    NodeRef out = refresh({{t.path() + "/a/"}, {}});
    ASSERT_EQ(out, root);
    EXPECT_EQ(findNode(root.get(), t.path(), t / "a"), a);
    EXPECT_EQ(findNode(root.get(), t.path(), t / "a/b"), b);
    EXPECT_EQ(findNode(root.get(), t.path(), t / "a/b/c/deep"), deep);
    EXPECT_EQ(childNamed(a, "file"), nullptr);
    ASSERT_NE(childNamed(a, "added"), nullptr);
    FileNode* newdir = childNamed(a, "newdir");
    ASSERT_NE(newdir, nullptr);
    EXPECT_EQ(newdir->childCount(), 1u);
    expectInvariants(root.get());
    EXPECT_EQ(root->size(), allocatedBytes(t / "a/added") + allocatedBytes(t / "a/b/c/deep") +
                                allocatedBytes(t / "a/newdir/n") + allocatedBytes(t / "keep/k"));
    // Paths outside the root are ignored.
    EXPECT_EQ(refresh({{"/definitely/elsewhere"}, {}}), root);
}

TEST_F(Refresh, AFolderNamedManyTimesIsReadOnce) {
    t.write("a/added", 20000);
    struct Reads : ScanObserver {
        std::mutex m;
        std::vector<std::string> paths;
        void willReadDirectory(const std::string& p) override {
            std::lock_guard lock(m);
            paths.push_back(p);
        }
    } reads;
    ChangeSet cs;
    for (int i = 0; i < 30; ++i) cs.changedDirs.push_back(i % 2 == 0 ? t / "a" : t / "a/");
    EXPECT_EQ(distinctFolders(cs), 1u);
    ScanEngine local;
    ScanReport report;
    ASSERT_EQ(local.refresh(root, t.path(), cs, kNoSkips, {}, {}, &reads, &report), root);
    EXPECT_EQ(reads.paths, std::vector<std::string>{t / "a"});
    EXPECT_EQ(report.directoriesRead, 1);
    EXPECT_EQ(report.unreadableDirs, 0);
    ASSERT_NE(childNamed(findNode(root.get(), t.path(), t / "a"), "added"), nullptr);

    // A new folder found by a shallow re-read is read in full, and counted.
    t.mkdir("keep/new");
    t.mkdir("keep/new/inner");
    ChangeSet two{{t / "keep", t / "a", t / "keep/"}, {}};
    EXPECT_EQ(distinctFolders(two), 2u);
    ASSERT_EQ(local.refresh(root, t.path(), two, kNoSkips, {}, {}, nullptr, &report), root);
    EXPECT_EQ(report.directoriesRead, 4);  // keep, a, keep/new, keep/new/inner
}

TEST_F(Refresh, CancelledRefreshGivesNothing) {
    std::stop_source stop;
    stop.request_stop();
    ScanEngine local;
    EXPECT_FALSE(local.refresh(root, t.path(), {{t / "a"}, {}}, kNoSkips, {}, stop.get_token()));
}

}  // namespace
}  // namespace tidewell
