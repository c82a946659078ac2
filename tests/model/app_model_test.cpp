#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "app_model.h"
#include "crc32c.h"
#include "temp_tree.h"
#include "tree_cache.h"

namespace tidewell {
namespace {

using test::TempDir;

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

// Every progress text the model showed, in order.
struct ProgressLog {
    explicit ProgressLog(AppModel& m) : model(m) {
        QObject::connect(&m, &AppModel::progressChanged,
                         [this] { texts.push_back(model.progress().currentPath); });
    }
    AppModel& model;
    std::vector<std::string> texts;
    std::size_t indexOf(const std::string& s) const {
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (texts[i] == s) return i;
        return std::string::npos;
    }
};

bool scanToResults(AppModel& m, const std::string& path) {
    m.startScan(QString::fromStdString(path));
    const bool ok = waitFor([&] { return m.screen() != AppModel::Screen::scanning; });
    return ok && m.screen() == AppModel::Screen::results;
}

using test::childNamed;

TEST(AppModelScan, FirstScanThenRefreshFromTheCache) {
    TempDir t;
    t.mkdir("a");
    t.mkdir("b");
    t.write("a/one", 5000);
    t.write("b/two", 5000);
    AppModel m;
    ProgressLog log(m);
    ASSERT_TRUE(scanToResults(m, t.path()));
    EXPECT_EQ(log.texts.at(0), "başlatılıyor…");
    EXPECT_EQ(log.texts.at(1), "önbellek denetleniyor…");
    EXPECT_EQ(log.texts.back(), t.path());  // the engine's final record
    EXPECT_FALSE(m.lastRunReport().refreshed);
    EXPECT_EQ(m.path().size(), 1);
    EXPECT_EQ(m.path().front(), m.root());
    EXPECT_EQ(*m.pickedFolderName(), QString::fromStdString(t.path()).section('/', -1));
    ASSERT_TRUE(m.cacheEventId());
    const quint64 firstId = *m.cacheEventId();
    m.waitForCacheSaves();
    std::optional<TreeCache::Loaded> cached = TreeCache::load(t.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, firstId);
    const std::int64_t onDisk =
        test::allocatedBytes(t / "a/one") + test::allocatedBytes(t / "b/two");
    EXPECT_EQ(cached->root->size(), onDisk);
    EXPECT_EQ(m.root()->size(), onDisk);

    // Nothing changed: the cache is refreshed with nothing to re-read.
    m.resetToSelect();
    log.texts.clear();
    ASSERT_TRUE(scanToResults(m, t.path()));
    EXPECT_TRUE(m.lastRunReport().refreshed) << m.lastRunReport().fullScanReason.toStdString();
    EXPECT_NE(log.indexOf("değişiklikler sorgulanıyor…"), std::string::npos);
    EXPECT_NE(log.indexOf("0 klasör güncelleniyor…"), std::string::npos);
    EXPECT_LT(log.indexOf("değişiklikler sorgulanıyor…"), log.indexOf("0 klasör güncelleniyor…"));
    ASSERT_TRUE(m.cacheEventId());
    EXPECT_GT(*m.cacheEventId(), firstId);

    // One file added: it shows up without a full scan.
    m.resetToSelect();
    t.write("a/added", 20000);
    ASSERT_TRUE(scanToResults(m, t.path()));
    EXPECT_TRUE(m.lastRunReport().refreshed) << m.lastRunReport().fullScanReason.toStdString();
    EXPECT_EQ(m.lastRunReport().directoriesReread, 1);
    ASSERT_NE(childNamed(childNamed(m.root().get(), "a"), "added"), nullptr);
    EXPECT_EQ(m.root()->size(), test::allocatedBytes(t / "a/one") +
                                    test::allocatedBytes(t / "b/two") +
                                    test::allocatedBytes(t / "a/added"));
}

// A burst of changes at the size the history is asked for. Whether the
// history then answers within its limits depends on how the recorder keeps
// up and merges what it saw, so either way is right; what must hold is that
// the tree shown is the one on disk, and that a full scan says why.
TEST(AppModelScan, ABurstOfChangesGivesTheTreeOnDisk) {
    TempDir t;
    t.mkdir("many");
    AppModel m;
    ASSERT_TRUE(scanToResults(m, t.path()));
    m.resetToSelect();
    for (int i = 0; i <= 60000; ++i)
        std::filesystem::create_directory(t / ("many/d" + std::to_string(i)));
    ASSERT_TRUE(scanToResults(m, t.path()));
    if (!m.lastRunReport().refreshed) {
        EXPECT_FALSE(m.lastRunReport().fullScanReason.isEmpty());
    }
    const FileNode* many = childNamed(m.root().get(), "many");
    ASSERT_NE(many, nullptr);
    ASSERT_EQ(many->childCount(), 60001u);
    std::vector<std::string> names;
    for (const FileNode* d : many->children()) {
        EXPECT_TRUE(d->isDirectory());
        EXPECT_EQ(d->childCount(), 0u);
        names.emplace_back(d->name());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a folder twice";
    EXPECT_EQ(m.root()->size(), 0);
}

TEST(AppModelScan, CacheOfAnotherPathIsNeverUsed) {
    TempDir a, b;
    a.write("only-in-a", 100);
    b.write("only-in-b", 100);
    AppModel m;
    ASSERT_TRUE(scanToResults(m, a.path()));
    m.waitForCacheSaves();
    const std::string from = *TreeCache::filePath(a.path());
    const std::string to = *TreeCache::filePath(b.path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, b.path()));
    EXPECT_FALSE(m.lastRunReport().refreshed);
    ASSERT_EQ(m.root()->childCount(), 1u);
    EXPECT_EQ(m.root()->child(0)->name(), "only-in-b");
}

// The cache file's bytes with one record's size changed and the trailer's
// checksum made to match, so that only the sizes themselves give it away.
void changeCachedSize(const std::string& file, std::string_view name, std::int64_t size) {
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    std::vector<unsigned char> key{static_cast<unsigned char>(name.size()), 0};
    key.insert(key.end(), name.begin(), name.end());
    const auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
    ASSERT_NE(at, bytes.end()) << name;
    auto p = at + static_cast<std::ptrdiff_t>(key.size()) + 1;  // past the directory byte
    for (int i = 0; i < 8; ++i)
        *p++ = static_cast<unsigned char>(static_cast<std::uint64_t>(size) >> (8 * i));
    const std::uint32_t crc = crc32c(std::span(bytes).first(bytes.size() - 4));
    for (std::size_t i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = static_cast<unsigned char>(crc >> (8 * i));
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(AppModelScan, ADamagedOrStrangeCacheMeansAFullScanAndIsReplaced) {
    TempDir t;
    t.mkdir("a");
    t.write("a/one", 100000);
    t.write("two", 5000);
    const std::int64_t onDisk = test::allocatedBytes(t / "a/one") + test::allocatedBytes(t / "two");
    AppModel m;
    ASSERT_TRUE(scanToResults(m, t.path()));
    m.waitForCacheSaves();
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, t.path()));
    ASSERT_TRUE(m.lastRunReport().refreshed) << "the cache is in use before it is damaged";
    m.waitForCacheSaves();
    const std::string file = *TreeCache::filePath(t.path());

    // One flipped bit: a 4.40 TB file in a folder of 100 KB.
    changeCachedSize(file, "one", test::allocatedBytes(t / "a/one") | std::int64_t{1} << 42);
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, t.path()));
    EXPECT_FALSE(m.lastRunReport().refreshed);
    EXPECT_EQ(m.root()->size(), onDisk);
    m.waitForCacheSaves();
    std::optional<TreeCache::Loaded> cached = TreeCache::load(t.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->root->size(), onDisk);

    // A FIFO where the file should be is not waited on, and a save replaces it.
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    m.resetToSelect();
    ASSERT_TRUE(scanToResults(m, t.path()));
    EXPECT_FALSE(m.lastRunReport().refreshed);
    EXPECT_EQ(m.root()->size(), onDisk);
    m.waitForCacheSaves();
    cached = TreeCache::load(t.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->root->size(), onDisk);
}

TEST(AppModelScan, CancellingAtEachStageWritesNothingAfterwards) {
    TempDir t;
    for (int i = 0; i < 30; ++i) {
        t.mkdir("d" + std::to_string(i));
        for (int j = 0; j < 20; ++j)
            t.write("d" + std::to_string(i) + "/f" + std::to_string(j), 10);
    }
    AppModel m;
    auto expectReset = [&] {
        EXPECT_EQ(m.screen(), AppModel::Screen::select);
        EXPECT_FALSE(m.root());
        EXPECT_TRUE(m.path().isEmpty());
        EXPECT_EQ(m.freed(), 0);
        EXPECT_EQ(m.progress().currentPath, "");
    };
    // While the cache is checked, on the very first scan.
    m.startScan(QString::fromStdString(t.path()));
    m.cancelScan();
    expectReset();
    QTest::qWait(300);
    expectReset();
    m.waitForCacheSaves();
    EXPECT_FALSE(TreeCache::load(t.path())) << "a cancelled first scan caches nothing";
    EXPECT_FALSE(m.cacheEventId());

    // While the engine reads.
    QMetaObject::Connection c = QObject::connect(&m, &AppModel::progressChanged, [&] {
        if (m.progress().fileCount > 0) m.cancelScan();
    });
    m.startScan(QString::fromStdString(t.path()));
    waitFor([&] { return m.screen() == AppModel::Screen::select; }, 5000);
    QObject::disconnect(c);
    QTest::qWait(300);
    expectReset();

    // While the history is asked (a cache exists by now).
    ASSERT_TRUE(scanToResults(m, t.path()));
    m.waitForCacheSaves();
    const quint64 idBefore = *m.cacheEventId();
    m.resetToSelect();
    c = QObject::connect(&m, &AppModel::progressChanged, [&] {
        if (m.progress().currentPath == "değişiklikler sorgulanıyor…") m.cancelScan();
    });
    m.startScan(QString::fromStdString(t.path()));
    EXPECT_TRUE(waitFor([&] { return m.screen() != AppModel::Screen::scanning; }, 5000));
    QObject::disconnect(c);
    QTest::qWait(500);
    expectReset();
    EXPECT_EQ(*m.cacheEventId(), idBefore);
}

TEST(AppModelScan, SavesLandInTheOrderScheduled) {
    TempDir t;
    t.write("x", 100);
    AppModel m;
    ASSERT_TRUE(scanToResults(m, t.path()));
    m.waitForCacheSaves();
    StoreRef store = TreeStore::create();
    NodeRef other(store->makeRoot("other", t.path(), true, 0));
    for (int i = 0; i < 20; ++i)
        m.scheduleCacheSave(i % 2 == 0 ? m.root() : other, t.path(), 1000 + i);
    m.waitForCacheSaves();
    const auto cached = TreeCache::load(t.path());
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->eventId, 1019u);
    EXPECT_EQ(cached->root->childCount(), 0u);  // the last one scheduled
}

// Ends a model whose scans were cancelled before their first step came
// back: the model waits for its pool work as it goes, and the steps that work
// posted back to the event loop then run to their end here, rather than being
// left unfinished when the process exits.
void endAfterCancelledScans(std::optional<AppModel>& model) {
    model.reset();
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
}

TEST(AppModelLocations, ListRulesThroughTheModel) {
    QSettings("Quillon", "Brackwater").clear();
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::optional<AppModel> model(std::in_place);
    AppModel& m = *model;
    for (int i = 0; i < 7; ++i) {
        dirs.push_back(std::make_unique<TempDir>());
        m.startScan(QString::fromStdString(dirs.back()->path()));
        m.cancelScan();
    }
    ASSERT_EQ(m.savedLocations().size(), 5);
    EXPECT_EQ(m.savedLocations().front().path.toStdString(), dirs[6]->path());
    EXPECT_EQ(m.savedLocations().back().path.toStdString(), dirs[2]->path());

    // The whole disk goes first; scanning it again keeps one entry.
    m.startScan(QStringLiteral("/"));
    m.cancelScan();
    m.startScan(QString::fromStdString(dirs[4]->path()));
    m.cancelScan();
    m.startScan(QStringLiteral("/"));
    m.cancelScan();
    ASSERT_EQ(m.savedLocations().size(), 6);
    EXPECT_TRUE(m.savedLocations().front().isFullDisk);
    EXPECT_EQ(m.savedLocations().at(1).path.toStdString(), dirs[4]->path());

    // A location that is gone is forgotten, with its message.
    const QString goneName = m.savedLocations().at(1).name;
    dirs[4].reset();
    m.openSavedLocation(1);
    ASSERT_TRUE(m.errorMessage());
    EXPECT_EQ(*m.errorMessage(), "“" + goneName +
                                     "” erişimi yenilenemedi — taşınmış ya da silinmiş olabilir. "
                                     "Lütfen yeniden seç.");
    EXPECT_EQ(m.savedLocations().size(), 5);
    const QList<SavedLocation> saved = m.savedLocations();
    endAfterCancelledScans(model);
    AppModel again;
    EXPECT_EQ(again.savedLocations(), saved);
}

TEST(AppModelLocations, UndecodableListLoadsEmptyAndVizModeIsRemembered) {
    QSettings s("Quillon", "Brackwater");
    s.setValue("savedLocations.v1",
               QByteArray(R"([{"path":"/x","name":"x","isFullDisk":false,"lastScan":1}])"));
    s.remove("vizMode");
    s.sync();
    {
        AppModel m;
        EXPECT_TRUE(m.savedLocations().isEmpty());
        EXPECT_EQ(m.vizMode(), AppModel::VizMode::treemap);
        m.setVizMode(AppModel::VizMode::sunburst);
    }
    AppModel m;
    EXPECT_EQ(m.vizMode(), AppModel::VizMode::sunburst);
    m.setVizMode(AppModel::VizMode::treemap);
}

TEST(AppModelVolume, FiguresFromTheScannedVolume) {
    TempDir t;
    AppModel m;
    m.refreshVolumeUsage(QString::fromStdString(t.path()));
    ASSERT_TRUE(m.volumeTotal());
    ASSERT_TRUE(m.volumeFree());
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(t.path().c_str(), &vfs), 0);
    EXPECT_EQ(*m.volumeTotal(), static_cast<qint64>(vfs.f_blocks * vfs.f_frsize));
    // Free space moves with everything else on the machine; it stays within the volume.
    EXPECT_GT(*m.volumeFree(), 0);
    EXPECT_LE(*m.volumeFree(), *m.volumeTotal());
    m.refreshVolumeUsage(QString::fromStdString(t / "missing"));
    EXPECT_FALSE(m.volumeTotal());
    EXPECT_FALSE(m.volumeFree());
}

}  // namespace
}  // namespace tidewell
