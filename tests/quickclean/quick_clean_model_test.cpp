// The quick-clean model on real folders: a temporary home, the real Trash
// under the temporary XDG_DATA_HOME set up by test_main, and a real event loop.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/scoped_env.h"
#include "quick_clean_model.h"
#include "quick_clean_target.h"
#include "trasher.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;
using Row = QuickCleanModel::Row;
using test::ScopedEnv;

constexpr int kWaitMs = 10000;

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<QString> idsOf(const QuickCleanModel& model) {
    std::vector<QString> ids;
    for (const Row& row : model.rows()) ids.push_back(row.target.relativePath);
    return ids;
}

const Row* rowOf(const QuickCleanModel& model, const QString& id) {
    for (const Row& row : model.rows())
        if (row.target.relativePath == id) return &row;
    return nullptr;
}

// What the files below `folder` occupy on disk (st_blocks), links not
// followed nor counted: the ground truth a row's size is held to.
std::int64_t diskBytes(const std::string& folder) {
    std::int64_t total = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += static_cast<std::int64_t>(st.st_blocks) * 512;
    }
    return total;
}

std::string trashFiles() {
    return *Trasher::homeTrash() + "/files";
}

const QString kTrashId = QString::fromLatin1(kHomeTrashFiles);

// Allocated bytes as the system reports them.
std::int64_t allocated(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : -1;
}

class QuickClean : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(homeDir.isValid()); }

    std::string dir(const std::string& rel) const {
        const std::string path = home + "/" + rel;
        fs::create_directories(path);
        return path;
    }
    std::string write(const std::string& rel, std::size_t bytes) const {
        const std::string path = home + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
        return path;
    }
    std::unique_ptr<QuickCleanModel> makeModel(const std::string& at) {
        return std::make_unique<QuickCleanModel>(QString::fromStdString(at),
                                                 [this] { return now; });
    }
    std::unique_ptr<QuickCleanModel> makeModel() { return makeModel(home); }

    static bool waitForRefresh(const QuickCleanModel& model) {
        return QTest::qWaitFor([&] { return !model.isRefreshing(); }, kWaitMs);
    }
    static bool waitForClean(const QuickCleanModel& model, const QString& id) {
        return QTest::qWaitFor(
            [&] {
                const Row* row = rowOf(model, id);
                return row && !row->isCleaning;
            },
            kWaitMs);
    }

    QTemporaryDir homeDir;
    std::string home = homeDir.path().toStdString();
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
};

// ---- construction and rows -----------------------------------------------------------

TEST_F(QuickClean, RowsOnlyForPresentFoldersInListOrder) {
    dir(".cache/pip");
    dir("Library/Caches/Homebrew");
    dir(".npm");
    dir(".cargo/registry");
    // A symbolic link counts as present, even one that leads nowhere.
    fs::create_directory_symlink(home + "/nowhere", home + "/.cargo/registry/cache");
    dir(".cache/other");  // not a target
    // The Trash row is the Trash deletions fill, under $XDG_DATA_HOME; the
    // folder of the same name in the home is not it.
    dir(".local/share/Trash/files");
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ScopedEnv dataHome("XDG_DATA_HOME", data.path().toStdString());
    const auto withoutTrash = makeModel();
    EXPECT_FALSE(rowOf(*withoutTrash, kTrashId));
    fs::create_directories(data.path().toStdString() + "/Trash/files");

    const auto model = makeModel();
    EXPECT_TRUE(model->hasAccess());
    EXPECT_FALSE(model->lastRefresh());
    EXPECT_FALSE(model->isRefreshing());
    const std::vector<QString> expected = {".npm", "Library/Caches/Homebrew", ".cache/pip",
                                           ".cargo/registry/cache", kTrashId};
    EXPECT_EQ(idsOf(*model), expected);
    EXPECT_EQ(model->folderOf(kTrashId), data.path() + "/Trash/files");
    for (const Row& row : model->rows()) {
        EXPECT_FALSE(row.bytes);
        EXPECT_FALSE(row.isMeasuring);
        EXPECT_FALSE(row.isCleaning);
        EXPECT_FALSE(row.errorText);
    }

    const QVariantList values = model->property("rows").toList();
    ASSERT_EQ(values.size(), 5);
    const QVariantMap first = values[0].toMap();
    EXPECT_EQ(first["relativePath"].toString(), ".npm");
    EXPECT_EQ(first["name"].toString(), "npm önbelleği");
    EXPECT_FALSE(first["bytes"].isValid());
    EXPECT_TRUE(values[4].toMap()["isTrashBin"].toBool());
    EXPECT_TRUE(model->property("hasAccess").toBool());
    EXPECT_FALSE(model->property("lastRefresh").isValid());

    // Without $XDG_DATA_HOME the Trash is the home's own.
    ScopedEnv unset("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(model->folderOf(kTrashId),
              QString::fromStdString(home + "/.local/share/Trash/files"));
}

// ---- measuring ------------------------------------------------------------------------

TEST_F(QuickClean, AppearMeasuresAtMostOnceEvery180Seconds) {
    write(".npm/a", 4096);
    const auto model = makeModel();
    const QDateTime first = now;

    model->appear();
    EXPECT_TRUE(model->isRefreshing());
    ASSERT_TRUE(waitForRefresh(*model));
    EXPECT_EQ(model->lastRefresh(), first);
    const std::optional<qint64> before = model->rows()[0].bytes;
    ASSERT_TRUE(before);
    EXPECT_EQ(*before, diskBytes(home + "/.npm"));

    write(".npm/b", 400000);
    now = first.addSecs(179);
    model->appear();
    EXPECT_FALSE(model->isRefreshing());
    EXPECT_FALSE(model->rows()[0].isMeasuring);
    QTest::qWait(50);
    EXPECT_EQ(model->rows()[0].bytes, before);

    // The refresh button measures at once.
    model->refresh();
    EXPECT_TRUE(model->isRefreshing());
    ASSERT_TRUE(waitForRefresh(*model));
    EXPECT_EQ(model->rows()[0].bytes, diskBytes(home + "/.npm"));
    EXPECT_GT(*model->rows()[0].bytes, *before);
    EXPECT_EQ(model->lastRefresh(), now);

    const QDateTime second = now;
    now = second.addSecs(179);
    model->appear();
    EXPECT_FALSE(model->isRefreshing());
    now = second.addSecs(180);
    model->appear();
    EXPECT_TRUE(model->isRefreshing());
    ASSERT_TRUE(waitForRefresh(*model));
    EXPECT_EQ(model->lastRefresh(), now);
}

// ---- emptying ---------------------------------------------------------------------------

TEST_F(QuickClean, CleanMovesEntriesToTheTrashAndKeepsTheFolder) {
    write(".cache/yarn/v6-pkg.tgz", 30000);
    write(".cache/yarn/.hidden-index", 100);
    write(".cache/yarn/meta/x/y", 5000);
    const std::string outside = write("keep-me", 10);
    fs::create_symlink(outside, home + "/.cache/yarn/link-out");
    const auto model = makeModel();
    const QString id = QStringLiteral(".cache/yarn");

    model->clean(id);
    ASSERT_TRUE(rowOf(*model, id));
    EXPECT_TRUE(rowOf(*model, id)->isCleaning);
    ASSERT_TRUE(waitForClean(*model, id));

    const std::string folder = home + "/.cache/yarn";
    ASSERT_TRUE(fs::is_directory(fs::symlink_status(folder)));
    EXPECT_TRUE(entriesOf(folder).empty());
    for (const char* name : {"v6-pkg.tgz", ".hidden-index", "meta", "link-out"}) {
        EXPECT_TRUE(exists(trashFiles() + "/" + name)) << name;
        EXPECT_TRUE(exists(*Trasher::homeTrash() + "/info/" + name + ".trashinfo")) << name;
    }
    EXPECT_TRUE(exists(outside));  // the link went, not what it led to
    const Row* row = rowOf(*model, id);
    EXPECT_FALSE(row->errorText);
    EXPECT_EQ(row->bytes, 0);
}

TEST_F(QuickClean, TheTrashIsEmptiedForGoodWithItsTrashInfo) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ScopedEnv dataHome("XDG_DATA_HOME", data.path().toStdString());
    const std::string trash = data.path().toStdString() + "/Trash";
    const auto put = [](const std::string& path, std::size_t bytes) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    };
    put(trash + "/files/old notes.txt", 20000);
    put(trash + "/files/old-project/src/main.c", 3000);
    put(trash + "/info/old notes.txt.trashinfo", 60);
    put(trash + "/info/old-project.trashinfo", 60);
    put(trash + "/info/stray.trashinfo", 60);  // no entry: not ours to touch
    // A folder in the home that only looks like the Trash stays as it is.
    const std::string decoy = write(".local/share/Trash/files/decoy", 100);
    const auto model = makeModel();

    model->clean(kTrashId);
    ASSERT_TRUE(waitForClean(*model, kTrashId));

    ASSERT_TRUE(fs::is_directory(trash + "/files"));
    EXPECT_TRUE(entriesOf(trash + "/files").empty());
    EXPECT_EQ(entriesOf(trash + "/info"), std::vector<std::string>{"stray.trashinfo"});
    EXPECT_TRUE(exists(decoy));
    EXPECT_FALSE(rowOf(*model, kTrashId)->errorText);
    EXPECT_EQ(rowOf(*model, kTrashId)->bytes, 0);
}

TEST_F(QuickClean, ALinkedTargetIsMeasuredAndEmptiedAsItsFolder) {
    // Caches moved to another disk and linked back, as users do.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const std::string mine = elsewhere.path().toStdString() + "/npm-cache";
    const std::string theirs = elsewhere.path().toStdString() + "/other-users-cache";
    for (const std::string& folder : {mine, theirs}) {
        fs::create_directories(folder + "/_cacache");
        std::ofstream(folder + "/_cacache/index", std::ios::binary) << std::string(30000, 'x');
        std::ofstream(folder + "/blob", std::ios::binary) << std::string(5000, 'x');
    }
    const uid_t other = ::getuid() == 65534 ? 65533 : 65534;
    if (::chown(theirs.c_str(), other, other) != 0) GTEST_SKIP() << "cannot chown here";
    dir(".cache");
    fs::create_directory_symlink(mine, home + "/.npm");
    fs::create_directory_symlink(theirs, home + "/.cache/pip");
    fs::create_directory_symlink(home + "/nowhere", home + "/.cache/yarn");
    const std::int64_t mineBytes = allocated(mine + "/_cacache/index") + allocated(mine + "/blob");
    const auto model = makeModel();

    model->refresh();
    ASSERT_TRUE(waitForRefresh(*model));
    EXPECT_EQ(rowOf(*model, ".npm")->bytes, mineBytes);
    // A link into a folder of someone else's, or to nothing, stands for no folder.
    EXPECT_FALSE(rowOf(*model, ".cache/pip")->bytes);
    EXPECT_FALSE(rowOf(*model, ".cache/yarn")->bytes);

    model->clean(QStringLiteral(".npm"));
    ASSERT_TRUE(waitForClean(*model, ".npm"));
    EXPECT_TRUE(entriesOf(mine).empty());
    EXPECT_TRUE(fs::is_symlink(home + "/.npm"));
    EXPECT_EQ(fs::read_symlink(home + "/.npm"), mine);
    EXPECT_TRUE(exists(trashFiles() + "/blob"));
    EXPECT_EQ(rowOf(*model, ".npm")->bytes, 0);
    EXPECT_FALSE(rowOf(*model, ".npm")->errorText);

    model->clean(QStringLiteral(".cache/pip"));
    ASSERT_TRUE(waitForClean(*model, ".cache/pip"));
    EXPECT_EQ(entriesOf(theirs), (std::vector<std::string>{"_cacache", "blob"}));
    EXPECT_FALSE(rowOf(*model, ".cache/pip")->errorText);
}

TEST_F(QuickClean, AnEntryOfAnotherUserIsSkippedAndNotCounted) {
    write(".gradle/caches/mine.bin", 1000);
    const std::string theirs = write(".gradle/caches/theirs.bin", 1000);
    const uid_t other = ::getuid() == 65534 ? 65533 : 65534;
    if (::chown(theirs.c_str(), other, other) != 0) GTEST_SKIP() << "cannot chown here";
    const auto model = makeModel();
    const QString id = QStringLiteral(".gradle/caches");

    model->clean(id);
    ASSERT_TRUE(waitForClean(*model, id));
    EXPECT_EQ(entriesOf(home + "/.gradle/caches"), std::vector<std::string>{"theirs.bin"});
    EXPECT_FALSE(rowOf(*model, id)->errorText);
}

TEST_F(QuickClean, FailedRemovalsAreCountedInTheRowText) {
    // A data folder whose "Trash" is a plain file: every move fails, even for root.
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    std::ofstream(data.filePath("Trash").toStdString()) << "not a folder";
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toUtf8());

    write(".npm/one", 100);
    write(".npm/two", 100);
    write(".npm/three/x", 100);
    const auto model = makeModel();
    const QString id = QStringLiteral(".npm");
    model->clean(id);
    const bool done = waitForClean(*model, id);
    qputenv("XDG_DATA_HOME", savedData);
    ASSERT_TRUE(done);

    const Row* row = rowOf(*model, id);
    ASSERT_TRUE(row->errorText);
    EXPECT_EQ(*row->errorText, "3 öğe silinemedi");
    EXPECT_EQ(row->bytes, allocated(home + "/.npm/one") + allocated(home + "/.npm/two") +
                              allocated(home + "/.npm/three/x"));
    EXPECT_EQ(entriesOf(home + "/.npm"), (std::vector<std::string>{"one", "three", "two"}));
    EXPECT_EQ(model->property("rows").toList()[0].toMap()["errorText"].toString(),
              "3 öğe silinemedi");

    // The next emptying starts without the old message and ends without one.
    model->clean(id);
    EXPECT_FALSE(rowOf(*model, id)->errorText);
    ASSERT_TRUE(waitForClean(*model, id));
    EXPECT_FALSE(rowOf(*model, id)->errorText);
    EXPECT_TRUE(entriesOf(home + "/.npm").empty());
}

TEST_F(QuickClean, CleaningARowAlreadyCleaningDoesNothing) {
    write(".cache/pip/http/a", 1000);
    write(".cache/pip/wheels/b", 1000);
    const auto model = makeModel();
    const QString id = QStringLiteral(".cache/pip");
    int finished = 0;
    QObject::connect(model.get(), &QuickCleanModel::cleanFinished, [&] { ++finished; });

    model->clean(id);
    const std::vector<Row> during = model->rows();
    model->clean(id);
    EXPECT_EQ(model->rows(), during);
    ASSERT_TRUE(waitForClean(*model, id));
    QTest::qWait(100);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(entriesOf(home + "/.cache/pip").empty());

    model->clean(QStringLiteral(".not-a-target"));  // no such row: nothing happens
    EXPECT_FALSE(rowOf(*model, id)->isCleaning);
}

}  // namespace
}  // namespace tidewell
