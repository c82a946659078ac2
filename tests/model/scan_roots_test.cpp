// Where the model's scans start: the real path of what was chosen, shown by
// the chosen name, and what the last scan could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "app_model.h"
#include "temp_tree.h"
#include "tree_cache.h"

namespace tidewell {
namespace {

using test::childNamed;
using test::TempDir;

constexpr uid_t kNobody = 65534;

bool scanToResults(AppModel& m, const std::string& path) {
    m.startScan(QString::fromStdString(path));
    const bool ok =
        QTest::qWaitFor([&] { return m.screen() != AppModel::Screen::scanning; }, 20000);
    return ok && m.screen() == AppModel::Screen::results;
}

TEST(AppModelScanRoots, TheTreeIsKeyedByTheRealPathAndShownByTheChosenName) {
    TempDir t;
    const std::string base = t.realPath();
    t.mkdir("real");
    t.mkdir("real/a");
    t.write("real/a/file", 5000);
    t.symlink(t / "real", "link");
    t.symlink(t / "real", "ancestor");  // like /home -> /var/home

    AppModel m;
    ASSERT_TRUE(scanToResults(m, t / "link"));
    EXPECT_EQ(m.root()->rootPath(), base + "/real");
    EXPECT_EQ(m.scannedRootPath(), base + "/real");
    EXPECT_EQ(m.pickedFolderName(), QStringLiteral("link"));
    EXPECT_EQ(m.root()->name(), "link");
    EXPECT_EQ(childNamed(childNamed(m.root().get(), "a"), "file")->path(), base + "/real/a/file");
    // The saved location is what the user chose.
    ASSERT_FALSE(m.savedLocations().isEmpty());
    EXPECT_EQ(m.savedLocations().front().path, QString::fromStdString(t / "link"));
    m.waitForCacheSaves();
    std::optional<TreeCache::Loaded> cached = TreeCache::load(base + "/real");
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->root->size(), m.root()->size());

    // The same folder chosen by its real path, and again through the link:
    // one cache and one recorded history root, so each is brought up to date
    // without a full scan.
    m.resetToSelect();
    t.write("real/a/added", 20000);
    ASSERT_TRUE(scanToResults(m, base + "/real"));
    EXPECT_TRUE(m.lastRunReport().refreshed) << m.lastRunReport().fullScanReason.toStdString();
    EXPECT_NE(childNamed(childNamed(m.root().get(), "a"), "added"), nullptr);
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, t / "link/"));
    EXPECT_TRUE(m.lastRunReport().refreshed) << m.lastRunReport().fullScanReason.toStdString();

    // A folder below a linked ancestor.
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, t / "ancestor/a"));
    EXPECT_EQ(m.root()->rootPath(), base + "/real/a");
    EXPECT_EQ(m.pickedFolderName(), QStringLiteral("a"));
}

// The model's count of unreadable folders, as an unprivileged user sees them.
TEST(AppModelScanRoots, UnreadableFoldersOfTheLastScanAreCounted) {
    TempDir t;
    TempDir open;
    t.mkdir("locked");
    t.write("locked/secret", 8192);
    t.mkdir("a");
    t.mkdir("a/locked");
    t.write("a/file", 100);
    open.write("file", 100);
    ::chmod((t / "locked").c_str(), 0);
    ::chmod((t / "a/locked").c_str(), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(77);
        AppModel m;
        QSignalSpy changed(&m, &AppModel::unreadableCountChanged);
        if (m.unreadableCount() != 0) ::_exit(1);
        if (!scanToResults(m, t.path())) ::_exit(2);
        if (m.unreadableCount() != 2 || changed.count() != 1) ::_exit(3);
        if (m.property("unreadableCount").toLongLong() != 2) ::_exit(4);
        // The next scan starts from nothing.
        m.resetToSelect();
        if (!scanToResults(m, open.path())) ::_exit(5);
        if (m.unreadableCount() != 0 || changed.count() != 2) ::_exit(6);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc == 77) GTEST_SKIP() << "cannot drop to an unprivileged uid here";
    EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace tidewell
