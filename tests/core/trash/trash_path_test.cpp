// A deletion reaches exactly the entry its path names: never a place the
// path would only resolve to, never one a symbolic link on the way leads to.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "temp_tree.h"
#include "trash_test_support.h"
#include "trasher.h"

namespace tidewell {
namespace {

using test::EnvOverride;
using test::exists;
using test::inPrivateMounts;
using test::TempDir;
using Trasher::TrashErrorKind;

// Every way in refuses `path` with exactly `description` and touches nothing.
void expectRefusedEverywhere(const std::string& path, TrashErrorKind kind,
                             const std::string& description) {
    EXPECT_FALSE(Trasher::canDelete(path)) << path;
    for (const auto& error :
         {Trasher::check(path), Trasher::moveToTrash(path), Trasher::deletePermanently(path)}) {
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->kind, kind) << path;
        EXPECT_EQ(error->description(), description);
    }
}

class TrashPaths : public ::testing::Test {
  protected:
    TempDir tmp;
    EnvOverride data{"XDG_DATA_HOME", tmp / "data"};
    EnvOverride messages{"LC_ALL", "C"};
};

TEST_F(TrashPaths, PathsThatAreNotCanonicalAreRefusedNotResolved) {
    tmp.mkdir("tree");
    tmp.mkdir("tree/sub");
    const std::string file = tmp.write("tree/sub/file", 10);
    // Each of these would name "tree" or "tree/sub" once resolved.
    for (const std::string& path :
         {tmp / "tree/sub/..", tmp / "tree/./sub", tmp / "tree//sub", tmp / "tree/sub/",
          tmp / "tree/sub/../sub", std::string("tree/sub"), std::string("/home/../usr/./bin/")}) {
        expectRefusedEverywhere(path, TrashErrorKind::failed,
                                "Taşınamadı: " + path + " — Invalid argument");
        EXPECT_TRUE(Trasher::isProtected(path)) << path;
    }
    EXPECT_TRUE(exists(file));
    EXPECT_FALSE(exists(tmp / "data/Trash/files/tree"));
    EXPECT_TRUE(Trasher::canDelete(tmp / "tree/sub"));
}

TEST_F(TrashPaths, MissingItemsSayTheyDoNotExist) {
    tmp.mkdir("here");
    for (const std::string& path : {tmp / "here/gone", tmp / "nowhere/gone"})
        expectRefusedEverywhere(path, TrashErrorKind::failed,
                                "Taşınamadı: " + path + " — No such file or directory");
}

TEST_F(TrashPaths, SymbolicLinksAmongAncestorsAreNeverFollowed) {
    tmp.mkdir("real");
    tmp.mkdir("real/q");
    const std::string job = tmp.write("real/q/job", 10);
    tmp.symlink(tmp / "real", "link");          // at the top of the path
    tmp.symlink(tmp / "real/q", "real/qlink");  // just above the item
    for (const std::string& path : {tmp / "link/q/job", tmp / "link/q", tmp / "real/qlink/job"})
        expectRefusedEverywhere(path, TrashErrorKind::failed,
                                "Taşınamadı: " + path + " — Not a directory");
    EXPECT_TRUE(exists(job));
    // The same entry by its real path is the user's to delete.
    EXPECT_TRUE(Trasher::canDelete(job));
    // A link as the item itself is removed, not followed.
    ASSERT_FALSE(Trasher::deletePermanently(tmp / "real/qlink"));
    EXPECT_TRUE(exists(job));
}

TEST_F(TrashPaths, ProtectionIsDecidedOnTheRealPlace) {
    const std::string spool = "/var/spool";
    const int rc = inPrivateMounts([&] {
        // A scratch /var/spool that vanishes with this process.
        if (!exists(spool) || ::mount("tmpfs", spool.c_str(), "tmpfs", 0, "size=1m") != 0)
            return 77;
        if (::mkdir((spool + "/q").c_str(), 0755) != 0) return 1;
        const int fd = ::open((spool + "/q/userjob").c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) return 2;
        ::close(fd);
        tmp.symlink(spool, "spool");
        for (const std::string& path : {tmp / "spool/q/userjob", tmp / "spool/q"}) {
            if (Trasher::canDelete(path)) return 3;
            const std::string real = spool + path.substr(tmp.path().size() + 6);
            for (const auto& error : {Trasher::check(path), Trasher::moveToTrash(path),
                                      Trasher::deletePermanently(path)})
                if (!error || error->kind != TrashErrorKind::protectedPath ||
                    error->description() != "Korumalı sistem yolu silinemez: " + real)
                    return 4;
        }
        return exists(spool + "/q/userjob") ? 0 : 5;
    });
    if (rc == 77) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(rc, 0);
}

// While deletions of work/a/b/item run, another thread keeps swapping the
// ancestor work/a for a link to a decoy tree of the same shape. Whatever the
// timing, the decoy's sentinel must survive.
TEST_F(TrashPaths, AncestorSwappedForALinkDuringDeletions) {
    constexpr int kTries = 3000;
    tmp.mkdir("work");
    tmp.mkdir("decoy");
    tmp.mkdir("decoy/b");
    tmp.mkdir("decoy/b/item");
    const std::string sentinel = tmp.write("decoy/b/item/sentinel", 10);
    const std::string a = tmp / "work/a";
    const std::string aside = tmp / "work/a.real";
    const std::string item = tmp / "work/a/b/item";

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const int work = ::open((tmp / "work").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        while (!stop.load()) {
            // Only this thread moves work/a, so here it is the real folder:
            // the item is made again through descriptors.
            ::mkdirat(work, "a", 0755);
            const int fa = ::openat(work, "a", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ::mkdirat(fa, "b", 0755);
            const int fb = ::openat(fa, "b", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ::mkdirat(fb, "item", 0755);
            const int fi = ::openat(fb, "item", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ::mkdirat(fi, "sub", 0755);
            ::close(::openat(fi, "sub/file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            ::close(fi);
            ::close(fb);
            ::close(fa);
            ::rename(a.c_str(), aside.c_str());
            ::symlink((tmp / "decoy").c_str(), a.c_str());
            std::this_thread::yield();
            ::unlink(a.c_str());
            ::rename(aside.c_str(), a.c_str());
        }
        ::close(work);
    });
    int deleted = 0;
    int tries = 0;
    for (; tries < kTries && exists(sentinel); ++tries) {
        const auto error =
            tries % 3 == 2 ? Trasher::moveToTrash(item) : Trasher::deletePermanently(item);
        if (!error) ++deleted;
    }
    stop = true;
    swapper.join();
    EXPECT_TRUE(exists(sentinel)) << "after " << tries << " tries";
    EXPECT_TRUE(exists(tmp / "decoy/b/item"));
    // Not asserted (timing decides), but shows the runs did reach the item.
    RecordProperty("deleted", deleted);
}

}  // namespace
}  // namespace tidewell
