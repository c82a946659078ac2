#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "../support/scoped_env.h"
#include "app_model.h"
#include "platform_info.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using Filter = AppModel::DownloadsFilter;

TEST(DownloadsFilter, StrictBoundaries) {
    const qint64 now = 2'000'000'000;
    EXPECT_FALSE(passesDownloadsFilter(Filter::days30, 1, now - 2'592'000, now));
    EXPECT_TRUE(passesDownloadsFilter(Filter::days30, 1, now - 2'592'001, now));
    EXPECT_FALSE(passesDownloadsFilter(Filter::days90, 1, now - 7'776'000, now));
    EXPECT_TRUE(passesDownloadsFilter(Filter::days90, 1, now - 7'776'001, now));
    EXPECT_FALSE(passesDownloadsFilter(Filter::year1, 1, now - 31'536'000, now));
    EXPECT_TRUE(passesDownloadsFilter(Filter::year1, 1, now - 31'536'001, now));
    EXPECT_FALSE(passesDownloadsFilter(Filter::years3, 1, now - 94'608'000, now));
    EXPECT_TRUE(passesDownloadsFilter(Filter::years3, 1, now - 94'608'001, now));
    EXPECT_TRUE(passesDownloadsFilter(Filter::big, 100'000'000, std::nullopt, now));
    EXPECT_FALSE(passesDownloadsFilter(Filter::big, 99'999'999, std::nullopt, now));
    // No date: only "all" and "big" can list it.
    EXPECT_TRUE(passesDownloadsFilter(Filter::all, 0, std::nullopt, now));
    EXPECT_FALSE(passesDownloadsFilter(Filter::days30, 1, std::nullopt, now));
}

void setAge(const std::string& path, qint64 seconds) {
    const timespec when{static_cast<time_t>(std::time(nullptr) - seconds), 0};
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

TEST(Downloads, ScanFilterSelectAndTrash) {
    test::TempDir home;
    home.mkdir("Downloads");
    home.write("Downloads/new.zip", 30000);
    home.write("Downloads/old.iso", 20000);
    const std::int64_t ancientBytes =
        test::allocatedBytes(home.write("Downloads/ancient.pdf", 10000));
    home.mkdir("Downloads/folder");
    home.write("Downloads/folder/x", 5000);
    setAge(home / "Downloads/old.iso", 100 * 86400);
    setAge(home / "Downloads/ancient.pdf", 2000 * 86400);
    setAge(home / "Downloads/folder", 200 * 86400);

    AppModel m;
    m.scanDownloads(QString::fromStdString(home / "Downloads"));
    m.scanDownloads(QString::fromStdString(home / "Downloads"));  // while scanning: nothing
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m.isScanningDownloads(); }, 10000));
    ASSERT_TRUE(m.downloadsTree());
    EXPECT_EQ(m.downloadsTree()->name(), "İndirilenler");
    EXPECT_EQ(m.downloadsTree()->childCount(), 4u);
    EXPECT_EQ(m.downloadsDates().size(), 4u);
    EXPECT_EQ(m.visibleDownloads().size(), 4u);

    // Select all under "90 gün+" ticks exactly the old ones; again unticks them.
    m.setDownloadsFilter(Filter::days90);
    ASSERT_EQ(m.visibleDownloads().size(), 3u);
    FileNode* fresh = nullptr;
    for (FileNode* c : m.downloadsTree()->children())
        if (c->name() == "new.zip") fresh = c;
    m.toggleDownloadSelection(fresh);
    m.toggleAllVisibleDownloads();
    EXPECT_EQ(m.downloadsSelection().size(), 4u);
    m.toggleAllVisibleDownloads();
    EXPECT_EQ(m.downloadsSelection().size(), 1u);
    EXPECT_TRUE(m.downloadsSelection().contains(fresh));
    m.toggleDownloadSelection(fresh);
    EXPECT_TRUE(m.downloadsSelection().empty());

    // "1 yıl+": the ancient file only; trash it.
    m.setDownloadsFilter(Filter::year1);
    ASSERT_EQ(m.visibleDownloads().size(), 1u);
    m.toggleAllVisibleDownloads();
    EXPECT_EQ(m.selectedDownloadsBytes(), ancientBytes);
    QSignalSpy done(&m, &AppModel::downloadsTrashFinished);
    m.trashSelectedDownloads();
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    EXPECT_EQ(m.freed(), ancientBytes);
    EXPECT_TRUE(m.downloadsSelection().empty());
    EXPECT_EQ(m.downloadsTree()->childCount(), 3u);
    EXPECT_EQ(m.downloadsDates().size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(home / "Downloads/ancient.pdf"));
    EXPECT_FALSE(m.root());  // the main tree is not involved
    EXPECT_EQ(m.treeVersion(), 0);
}

using test::ScopedEnv;

TEST(Downloads, TheDesktopsDownloadFolderFollowedToItsRealPath) {
    // The home is $HOME, as every part of the program reads it.
    const QByteArray homeVariable = qgetenv("HOME");
    if (homeVariable.startsWith('/')) {
        EXPECT_EQ(realHomeDirectory(), QString(homeVariable));
    }

    test::TempDir t;
    char buf[PATH_MAX];
    ASSERT_NE(::realpath(t.path().c_str(), buf), nullptr);
    const std::string base = buf;
    t.mkdir("home");
    t.mkdir("home/config");
    t.mkdir("store");
    t.mkdir("store/dl");
    t.write("store/dl/setup.run", 40000);
    t.write("home/Downloads", 10);  // the fallback, here a decoy file
    // A Turkish desktop's folder, here a link to a folder on another disk.
    t.symlink(t / "store/dl", "home/İndirilenler");
    std::ofstream(t / "home/config/user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/Masaüstü\"\nXDG_DOWNLOAD_DIR=\"$HOME/İndirilenler\"\n";
    ScopedEnv home("HOME", t / "home");
    ScopedEnv config("XDG_CONFIG_HOME", t / "home/config");

    AppModel m;
    m.scanDownloads();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m.isScanningDownloads(); }, 10000));
    ASSERT_TRUE(m.downloadsTree());
    EXPECT_EQ(m.downloadsTree()->rootPath(), base + "/store/dl");
    EXPECT_EQ(m.downloadsTree()->name(), "İndirilenler");
    ASSERT_EQ(m.downloadsTree()->childCount(), 1u);
    FileNode* entry = m.downloadsTree()->child(0);
    EXPECT_EQ(entry->path(), base + "/store/dl/setup.run");
    EXPECT_EQ(m.downloadsDates().size(), 1u);

    // The entry goes to the Trash by its real path.
    m.toggleDownloadSelection(entry);
    QSignalSpy done(&m, &AppModel::downloadsTrashFinished);
    m.trashSelectedDownloads();
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    EXPECT_FALSE(m.errorMessage()) << m.errorMessage()->toStdString();
    EXPECT_FALSE(std::filesystem::exists(t / "store/dl/setup.run"));
    EXPECT_TRUE(std::filesystem::is_symlink(t / "home/İndirilenler"));
}

}  // namespace
}  // namespace tidewell
