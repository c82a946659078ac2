// Permanent removal stays inside the item: nothing mounted inside it is
// entered, a mount point is not an item, and the user's own locked folders
// do not stop it halfway.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "mount_ids.h"
#include "temp_tree.h"
#include "trash_test_support.h"
#include "trasher.h"
#include "tree_removal.h"
#include "unique_fd.h"

namespace tidewell {
namespace {

using test::asUnprivileged;
using test::EnvOverride;
using test::exists;
using test::inPrivateMounts;
using test::TempDir;
using Trasher::TrashErrorKind;

bool bindMount(const std::string& from, const std::string& to) {
    return ::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

// A folder of the same file system whose contents must outlive every removal below.
void makeOther(const TempDir& tmp) {
    tmp.mkdir("other");
    tmp.mkdir("other/sub");
    tmp.write("other/keep", 10);
    tmp.write("other/sub/keep", 10);
}

bool otherIsWhole(const TempDir& tmp) {
    return exists(tmp / "other/keep") && exists(tmp / "other/sub/keep");
}

// item/own, item/inner/mnt with `other` bound there, item/inner/after.
bool makeItemHoldingOther(const TempDir& tmp) {
    tmp.mkdir("item");
    tmp.write("item/own", 10);
    tmp.mkdir("item/inner");
    tmp.mkdir("item/inner/mnt");
    tmp.write("item/inner/after", 10);
    return bindMount(tmp / "other", tmp / "item/inner/mnt");
}

class TrashRemoval : public ::testing::Test {
  protected:
    TempDir tmp;
    EnvOverride data{"XDG_DATA_HOME", tmp / "data"};
    EnvOverride messages{"LC_ALL", "C"};
};

TEST_F(TrashRemoval, BindMountInsideTheItemIsNotEntered) {
    makeOther(tmp);
    const int rc = inPrivateMounts([&] {
        if (!makeItemHoldingOther(tmp)) return 77;
        const auto error = Trasher::deletePermanently(tmp / "item");
        if (!error || error->kind != TrashErrorKind::failed ||
            error->description() != "Taşınamadı: " + tmp / "item" + " — Device or resource busy")
            return 1;
        if (!otherIsWhole(tmp)) return 2;
        // Everything that is the item's own went; the mount point stays.
        if (exists(tmp / "item/own") || exists(tmp / "item/inner/after")) return 3;
        if (!exists(tmp / "item/inner/mnt/keep")) return 4;
        // Unmounted, the rest goes.
        if (::umount((tmp / "item/inner/mnt").c_str()) != 0) return 5;
        if (Trasher::deletePermanently(tmp / "item") || exists(tmp / "item")) return 6;
        return otherIsWhole(tmp) ? 0 : 7;
    });
    if (rc == 77) GTEST_SKIP() << "cannot make a bind mount here";
    EXPECT_EQ(rc, 0);
}

// The same with the mount table standing in for the kernel's mount ids.
TEST_F(TrashRemoval, MountTableKeepsTheRemovalInsideToo) {
    makeOther(tmp);
    const int rc = inPrivateMounts([&] {
        if (!makeItemHoldingOther(tmp)) return 77;
        // A sibling bound inside the item: reached by its own name, not through the mount.
        tmp.mkdir("item/twin");
        tmp.write("item/twin/x", 10);
        tmp.mkdir("item/twin-mnt");
        if (!bindMount(tmp / "item/twin", tmp / "item/twin-mnt")) return 77;
        const MountIds ids = MountIds::fromTable();
        if (!ids.needsPaths()) return 1;
        const UniqueFd parent(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        EntryStat st;
        if (!parent || ids.ofOpen(parent.get(), tmp.path(), st) != 0) return 2;
        if (removeTree(parent.get(), "item", tmp / "item", ids, st.mount) != EBUSY) return 3;
        if (!otherIsWhole(tmp) || exists(tmp / "item/own") || exists(tmp / "item/twin")) return 4;
        if (!exists(tmp / "item/inner/mnt/keep") || !exists(tmp / "item/twin-mnt")) return 5;
        return 0;
    });
    if (rc == 77) GTEST_SKIP() << "cannot make a bind mount here";
    EXPECT_EQ(rc, 0);
}

TEST_F(TrashRemoval, AMountPointIsNoItem) {
    makeOther(tmp);
    tmp.mkdir("point");
    tmp.write("file-point", 0);
    const int rc = inPrivateMounts([&] {
        if (!bindMount(tmp / "other", tmp / "point") ||
            !bindMount(tmp / "other/keep", tmp / "file-point"))
            return 77;
        for (const std::string& path : {tmp / "point", tmp / "file-point"}) {
            if (Trasher::canDelete(path)) return 1;
            for (const auto& error : {Trasher::check(path), Trasher::moveToTrash(path),
                                      Trasher::deletePermanently(path)})
                if (!error ||
                    error->description() != "Taşınamadı: " + path + " — Device or resource busy")
                    return 2;
        }
        if (!otherIsWhole(tmp) || !exists(tmp / "point/keep")) return 3;
        return exists(tmp / "data/Trash") ? 4 : 0;  // refused before any Trash was made
    });
    if (rc == 77) GTEST_SKIP() << "cannot make a bind mount here";
    EXPECT_EQ(rc, 0);
}

TEST_F(TrashRemoval, LockedFoldersOfTheUserAreOpenedFirst) {
    // Made by root, handed to the unprivileged user who then removes them.
    const std::string home = tmp.mkdir("home");
    tmp.mkdir("home/item");
    tmp.write("home/item/plain", 10);
    tmp.mkdir("home/item/none");
    tmp.write("home/item/none/f", 10);
    tmp.mkdir("home/item/none/wx");
    tmp.write("home/item/none/wx/f", 10);
    tmp.mkdir("home/item/wx");
    tmp.write("home/item/wx/f", 10);
    tmp.mkdir("home/item/readonly");
    tmp.write("home/item/readonly/f", 10);
    tmp.mkdir("home/locked");
    for (const char* rel :
         {"home", "home/item", "home/item/plain", "home/item/none", "home/item/none/f",
          "home/item/none/wx", "home/item/none/wx/f", "home/item/wx", "home/item/wx/f",
          "home/item/readonly", "home/item/readonly/f", "home/locked"})
        if (::chown((tmp / rel).c_str(), 65534, 65534) != 0)
            GTEST_SKIP() << "cannot hand files to another user here";
    ASSERT_EQ(::chmod((tmp / "home/item/none/wx").c_str(), 0300), 0);
    ASSERT_EQ(::chmod((tmp / "home/item/none").c_str(), 0000), 0);
    ASSERT_EQ(::chmod((tmp / "home/item/wx").c_str(), 0300), 0);
    ASSERT_EQ(::chmod((tmp / "home/item/readonly").c_str(), 0500), 0);
    ASSERT_EQ(::chmod((tmp / "home/locked").c_str(), 0000), 0);

    const int rc = asUnprivileged([&] {
        if (::getuid() != 65534) return 77;
        if (::access((tmp / "home/item/none").c_str(), R_OK) == 0) return 77;  // not enforced
        if (!Trasher::canDelete(tmp / "home/item")) return 1;
        if (const auto error = Trasher::deletePermanently(tmp / "home/item")) {
            std::fprintf(stderr, "%s\n", error->description().c_str());
            return 2;
        }
        if (exists(tmp / "home/item")) return 3;
        // A locked folder as the item itself goes the same way.
        if (Trasher::deletePermanently(tmp / "home/locked") || exists(tmp / "home/locked"))
            return 4;
        return 0;
    });
    if (rc == 77) GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace tidewell
