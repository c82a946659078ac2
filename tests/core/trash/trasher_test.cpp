#include "trasher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "temp_tree.h"
#include "trash_test_support.h"

namespace tidewell {
namespace {

using test::EnvOverride;
using test::exists;
using test::inPrivateMounts;
using test::readFile;
using test::TempDir;
using Trasher::TrashErrorKind;

// "DeletionDate=YYYY-MM-DDThh:mm:ss" with digits where the letters are.
bool isDeletionDate(std::string_view line) {
    constexpr std::string_view shape = "DeletionDate=dddd-dd-ddTdd:dd:dd";
    if (line.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool ok = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                        : line[i] == shape[i];
        if (!ok) return false;
    }
    return true;
}

bool isTrashInfo(const std::string& text, const std::string& escapedPath) {
    const std::string head = "[Trash Info]\nPath=" + escapedPath + "\n";
    if (!text.starts_with(head) || !text.ends_with("\n")) return false;
    return isDeletionDate(
        std::string_view(text).substr(head.size(), text.size() - head.size() - 1));
}

// ---- refusals --------------------------------------------------------------

TEST(TrasherProtection, MatchesWholeComponents) {
    for (const char* p : {"/", "/Users", "/Applications", "/home", "/System/Library/Caches",
                          "/usr/local/bin", "/private/var/db/x", "/usr/", "//usr/local"})
        EXPECT_TRUE(Trasher::isProtected(p)) << p;
    for (const char* p : {"/home/u/usr", "/private/var/db2", "/usrlocal/x", "/var/libx",
                          "/home/u/etc", "/srv/data"})
        EXPECT_FALSE(Trasher::isProtected(p)) << p;
}

TEST(TrasherProtection, LinuxSystemFolders) {
    for (const char* p : {"/etc", "/boot", "/lib", "/lib32", "/lib64", "/libx32", "/proc", "/sys",
                          "/dev", "/run", "/snap", "/var/lib", "/var/spool"}) {
        EXPECT_TRUE(Trasher::isProtected(p)) << p;
        EXPECT_TRUE(Trasher::isProtected(std::string(p) + "/inside")) << p;
    }
}

TEST(TrasherCheck, ProtectedPathsAreRefusedAsProtected) {
    const auto error = Trasher::check("/usr/bin");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, TrashErrorKind::protectedPath);
    EXPECT_EQ(error->description(), "Korumalı sistem yolu silinemez: /usr/bin");
    EXPECT_EQ(Trasher::deletePermanently("/usr/bin")->kind, TrashErrorKind::protectedPath);
    EXPECT_EQ(Trasher::moveToTrash("/var/spool/x")->kind, TrashErrorKind::protectedPath);
}

TEST(TrasherCheck, OtherOwnerIsNotOwned) {
    TempDir tmp;
    const std::string file = tmp.write("theirs", 10);
    const uid_t other = ::getuid() == 65534 ? 65533 : 65534;
    if (::chown(file.c_str(), other, other) != 0) GTEST_SKIP() << "cannot chown here";
    EXPECT_FALSE(Trasher::canDelete(file));
    const auto error = Trasher::moveToTrash(file);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, TrashErrorKind::notOwned);
    EXPECT_EQ(error->description(), "Bu öğe sana ait değil, uygulama silemez: " + file);
    EXPECT_TRUE(exists(file));
}

// ---- the Trash -------------------------------------------------------------

class TrasherTrash : public ::testing::Test {
  protected:
    TempDir tmp;
    EnvOverride data{"XDG_DATA_HOME", tmp / "data"};
    std::string trash = tmp / "data/Trash";
};

TEST_F(TrasherTrash, ItemLandsWithItsInfo) {
    ASSERT_EQ(tmp.path().find_first_not_of(
                  "/-_.~ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              std::string::npos);
    const std::string item = tmp.write("a b\xC3\xBC.txt", 100);
    EXPECT_EQ(Trasher::homeTrash(), trash);
    EXPECT_FALSE(Trasher::moveToTrash(item));
    EXPECT_FALSE(exists(item));
    EXPECT_TRUE(exists(trash + "/files/a b\xC3\xBC.txt"));
    EXPECT_TRUE(isTrashInfo(readFile(trash + "/info/a b\xC3\xBC.txt.trashinfo"),
                            tmp.path() + "/a%20b%C3%BC.txt"));
    struct stat st {};
    ASSERT_EQ(::stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(TrasherTrash, SameNameGetsFreshName) {
    tmp.mkdir("one");
    tmp.mkdir("two");
    ASSERT_FALSE(Trasher::moveToTrash(tmp.write("one/report.pdf", 1)));
    ASSERT_FALSE(Trasher::moveToTrash(tmp.write("two/report.pdf", 2)));
    EXPECT_TRUE(exists(trash + "/files/report.pdf"));
    EXPECT_TRUE(exists(trash + "/files/report 2.pdf"));
    EXPECT_TRUE(
        isTrashInfo(readFile(trash + "/info/report.pdf.trashinfo"), tmp / "one/report.pdf"));
    EXPECT_TRUE(
        isTrashInfo(readFile(trash + "/info/report 2.pdf.trashinfo"), tmp / "two/report.pdf"));
}

// What a list of a folder holds, "." and ".." left out.
std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(TrasherTrash, LongNamesOfAnyBytesKeepAName) {
    ASSERT_EQ(tmp.path().find_first_not_of(
                  "/-_.~ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              std::string::npos);
    // 255 bytes that are no UTF-8 at all: every one looks like a continuation byte.
    const std::string invalid(255, '\x80');
    std::string escaped;
    for (int i = 0; i < 255; ++i) escaped += "%80";
    tmp.mkdir("one");
    tmp.mkdir("two");
    const std::string first = tmp.write("one/" + invalid, 10);
    const std::string second = tmp.write("two/" + invalid, 20);
    ASSERT_FALSE(Trasher::moveToTrash(first));
    ASSERT_FALSE(Trasher::moveToTrash(second));
    EXPECT_FALSE(exists(first));
    EXPECT_FALSE(exists(second));

    // Clipped so NAME.trashinfo fits in 255 bytes; the second gets a counter.
    const std::string clipped(245, '\x80');
    const std::string counted = std::string(243, '\x80') + " 2";
    EXPECT_EQ(entriesOf(trash + "/files"), (std::vector<std::string>{counted, clipped}));
    EXPECT_TRUE(isTrashInfo(readFile(trash + "/info/" + clipped + ".trashinfo"),
                            tmp.path() + "/one/" + escaped));
    EXPECT_TRUE(isTrashInfo(readFile(trash + "/info/" + counted + ".trashinfo"),
                            tmp.path() + "/two/" + escaped));

    // Well-formed UTF-8 is never cut inside a character: "ü" would straddle byte 245.
    const std::string readable = std::string(244, 'a') + "\xC3\xBC" + std::string(9, 'b');
    ASSERT_FALSE(Trasher::moveToTrash(tmp.write(readable, 10)));
    EXPECT_TRUE(exists(trash + "/files/" + std::string(244, 'a')));
}

TEST_F(TrasherTrash, OtherFileSystemUsesItsOwnTrash) {
    const std::string mnt = tmp.mkdir("mnt");
    const std::string uid = std::to_string(::getuid());
    const int rc = inPrivateMounts([&] {
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0) return 77;
        tmp.write("mnt/big file.bin", 1000);
        if (Trasher::moveToTrash(mnt + "/big file.bin")) return 1;
        const std::string own = mnt + "/.Trash-" + uid;
        if (!exists(own + "/files/big file.bin") || exists(mnt + "/big file.bin")) return 2;
        // Relative to the top of that file system.
        if (!isTrashInfo(readFile(own + "/info/big file.bin.trashinfo"), "big%20file.bin"))
            return 3;
        if (exists(trash)) return 4;
        // An administrator's sticky .Trash is preferred.
        if (::mkdir((mnt + "/.Trash").c_str(), 01777) != 0) return 5;
        ::chmod((mnt + "/.Trash").c_str(), 01777);
        tmp.write("mnt/second", 10);
        if (Trasher::moveToTrash(mnt + "/second")) return 6;
        if (!exists(mnt + "/.Trash/" + uid + "/files/second")) return 7;
        return 0;
    });
    if (rc == 77) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(rc, 0);
}

TEST_F(TrasherTrash, ReadOnlyTrashFailsAtOnce) {
    const std::string mnt = tmp.mkdir("mnt");
    const int rc = inPrivateMounts([&] {
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0) return 77;
        // A read-only bind of a folder keeps the file system's device number, so
        // the Trash there is the one chosen, and it cannot be written.
        const std::string ro = tmp.mkdir("mnt/data");
        tmp.mkdir("mnt/data/Trash");
        tmp.mkdir("mnt/data/Trash/files");
        tmp.mkdir("mnt/data/Trash/info");
        if (::mount(ro.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return 77;
        ::setenv("XDG_DATA_HOME", ro.c_str(), 1);
        ::setenv("LC_ALL", "C", 1);
        const std::string item = tmp.write("mnt/item", 10);
        const auto error = Trasher::moveToTrash(item);
        if (!error || error->kind != TrashErrorKind::failed) return 1;
        if (error->description() != "Taşınamadı: " + item + " — Read-only file system") return 2;
        if (!exists(item)) return 3;
        // On a read-only file system the item's own folder is not writable: refused.
        if (::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return 77;
        const auto refusal = Trasher::moveToTrash(item);
        return refusal && refusal->kind == TrashErrorKind::notOwned ? 0 : 4;
    });
    if (rc == 77) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(rc, 0);
}

// ---- permanent removal -------------------------------------------------------

TEST(TrasherDelete, LinksAreRemovedNotFollowed) {
    TempDir tmp;
    tmp.mkdir("outside");
    tmp.mkdir("outside/sub");
    tmp.write("outside/a", 10);
    tmp.write("outside/sub/b", 10);
    tmp.mkdir("victim");
    tmp.mkdir("victim/nested");
    tmp.symlink(tmp / "outside", "victim/dirlink");
    tmp.symlink(tmp / "outside/a", "victim/filelink");
    tmp.symlink(tmp / "outside/sub", "victim/nested/deeper");
    tmp.write("victim/own", 10);
    ASSERT_FALSE(Trasher::deletePermanently(tmp / "victim"));
    EXPECT_FALSE(exists(tmp / "victim"));
    EXPECT_TRUE(exists(tmp / "outside/a"));
    EXPECT_TRUE(exists(tmp / "outside/sub/b"));

    const std::string link = tmp.symlink(tmp / "outside", "toplink");
    ASSERT_FALSE(Trasher::deletePermanently(link));
    EXPECT_FALSE(exists(link));
    EXPECT_TRUE(exists(tmp / "outside/sub/b"));
}

TEST(TrasherDelete, VeryDeepTree) {
    TempDir tmp;
    // Built by descriptor: the full path is far beyond PATH_MAX.
    int fd = ::open(tmp.mkdir("deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 3000 && fd >= 0; ++level) {
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ::close(file);
        ASSERT_EQ(::mkdirat(fd, "empty", 0755), 0);
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(Trasher::deletePermanently(tmp / "deep"));
    EXPECT_FALSE(exists(tmp / "deep"));
}

}  // namespace
}  // namespace tidewell
