// Input real disks produce and limits real users set: names longer than
// Linux's own file systems allow, and a cap on the address space.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "scan_engine.h"
#include "scan_session.h"
#include "temp_tree.h"
#include "tree_cache.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TIDEWELL_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TIDEWELL_UNDER_SANITIZER 1
#endif
#endif

namespace tidewell {
namespace {

using test::TempDir;

const SkipPaths kNoSkips;

// The long-names file system of long_names_fs.cpp, mounted on a folder of a
// temporary directory for the life of this object.
class LongNamesMount {
  public:
    LongNamesMount() : at_(dir_.mkdir("mnt")) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(TIDEWELL_LONG_NAMES_FS, TIDEWELL_LONG_NAMES_FS, at_.c_str(), nullptr);
            ::_exit(127);
        }
        struct stat before {};
        ::stat(dir_.path().c_str(), &before);
        for (int i = 0; i < 500 && !mounted_; ++i) {
            struct stat st {};
            mounted_ = ::stat(at_.c_str(), &st) == 0 && st.st_dev != before.st_dev;
            if (!mounted_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~LongNamesMount() {
        if (mounted_) {
            const std::string unmount = "fusermount3 -u '" + at_ + "' 2>/dev/null";
            if (std::system(unmount.c_str()) != 0) ::kill(pid_, SIGTERM);
        } else if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
        }
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return at_; }

  private:
    TempDir dir_;
    std::string at_;
    pid_t pid_ = -1;
    bool mounted_ = false;
};

std::string euros() {
    std::string out;
    for (int i = 0; i < 255; ++i) out += "\xe2\x82\xac";
    return out;
}

TEST(ScanLongNames, NamesBeyond255BytesAreKeptInTheTreeAndTheCache) {
    LongNamesMount fs;
    if (!fs.mounted()) GTEST_SKIP() << "cannot mount a FUSE file system here";
    ScanEngine engine;
    ScanReport report;
    NodeRef root = engine.scan(fs.path(), std::nullopt, kNoSkips, {}, {}, nullptr, &report);
    ASSERT_TRUE(root) << report.failure;
    EXPECT_EQ(report.unreadableDirs, 0);
    ASSERT_EQ(root->childCount(), 3u);
    const std::string file300(300, 'f'), dir300(300, 'd');
    FileNode* f = test::childNamed(root.get(), file300);
    FileNode* e = test::childNamed(root.get(), euros());
    FileNode* d = test::childNamed(root.get(), dir300);
    ASSERT_TRUE(f && e && d);
    EXPECT_EQ(euros().size(), 765u);
    EXPECT_EQ(f->size(), 16 * 512);
    EXPECT_EQ(e->size(), 8 * 512);
    ASSERT_TRUE(d->isDirectory());
    ASSERT_EQ(d->childCount(), 1u);
    EXPECT_EQ(d->child(0)->name(), "inner");
    EXPECT_EQ(d->child(0)->path(), fs.path() + "/" + dir300 + "/inner");
    EXPECT_EQ(root->size(), (16 + 8 + 32) * 512);

    // The cache keeps them, byte for byte.
    ASSERT_TRUE(TreeCache::save(*root, fs.path(), 7));
    std::optional<TreeCache::Loaded> loaded = TreeCache::load(fs.path());
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(test::childNamed(loaded->root.get(), euros()) != nullptr);
    FileNode* ld = test::childNamed(loaded->root.get(), dir300);
    ASSERT_TRUE(ld != nullptr);
    EXPECT_EQ(ld->child(0)->path(), d->child(0)->path());
    EXPECT_EQ(loaded->root->size(), root->size());
}

#ifndef TIDEWELL_UNDER_SANITIZER
// The address space this process has mapped, in bytes.
std::size_t mappedBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    std::size_t kb = 0;
    while (status >> key)
        if (key == "VmSize:" && status >> kb) return kb * 1024;
    return 0;
}

// Under `ulimit -v`: a small tree scans (nothing large is reserved up front),
// and a tree larger than what is left ends its scan with a reason, from
// whichever walker ran out, without taking the process down.
TEST(ScanMemory, AnAddressSpaceLimitOnlyLimitsTheTree) {
    TempDir t;
    t.write("small", 4096);
    const std::string name(200, 'n');
    for (int d = 0; d < 30; ++d) {
        const std::string dir = "d" + std::to_string(d);
        t.mkdir(dir);
        for (int f = 0; f < 1000; ++f) {
            // Empty files, and no fsync each: only their names take room.
            const std::string p = t / (dir + "/" + std::to_string(f) + name);
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0) << p;
            ::close(fd);
        }
    }
    enum : int { kScanned = 10, kOutOfMemory = 11 };
    auto underLimit = [&](std::size_t headroom) {
        return test::inChild([&] {
            ScanEngine engine;
            // Threads, their stacks and buffers exist once before the limit is set.
            if (!engine.scan(t / "small", std::nullopt, kNoSkips, {}, {})) return 1;
            const rlimit limit{mappedBytes() + headroom, RLIM_INFINITY};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) return 77;
            ScanReport report;
            NodeRef root = engine.scan(t.path(), std::nullopt, kNoSkips, {}, {}, nullptr, &report);
            if (root) return root->childCount() == 31 ? int{kScanned} : 2;
            if (report.failure != "bellek yetmedi") return 3;
            // The session the app and the command line run says the same.
            root = NodeRef();
            struct : ScanSessionObserver {
                void stageStarted(const ScanStage&) override {}
                void progressed(const ScanProgress&) override {}
            } quiet;
            ScanSession session(ScanServices{}, {t.path(), std::nullopt, {}});
            const ScanOutcome out = session.run(quiet, {});
            if (out.root) return int{kScanned};  // the first scan's memory came back: fine too
            return out.failure == "bellek yetmedi" ? int{kOutOfMemory} : 4;
        });
    };
    bool ranOut = false;
    for (const std::size_t mib : {2, 4, 6, 8, 12, 16}) {
        const int rc = underLimit(mib << 20);
        if (rc == 77) GTEST_SKIP() << "cannot set an address space limit here";
        EXPECT_TRUE(rc == kScanned || rc == kOutOfMemory) << mib << " MiB: " << rc;
        ranOut = ranOut || rc == kOutOfMemory;
    }
    EXPECT_TRUE(ranOut);
    EXPECT_EQ(underLimit(std::size_t{512} << 20), kScanned);
}
#endif

}  // namespace
}  // namespace tidewell
