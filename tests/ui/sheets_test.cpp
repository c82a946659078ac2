// The three sheets on the real QML and model, offscreen, driven by QTest:
// smart cleanup, the largest files and the Downloads review with a real move
// to the Trash under the tests' own XDG_DATA_HOME.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ctime>

#include "../support/scoped_env.h"
#include "icon_font.h"
#include "smart_cleanup.h"
#include "window_app.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace tidewell {
namespace {

using test::App;
using test::childNamed;
using test::click;
using test::itemNamed;
using test::itemsNamed;
using test::settle;
using test::sizeText;
using test::text;

const QColor kAmber(255, 179, 71);
const QColor kTertiary(122, 122, 130);

QQuickItem* withProperty(QQuickWindow* window, const QString& name, const char* property,
                         const QVariant& value) {
    for (QQuickItem* item : itemsNamed(window, name))
        if (item->property(property) == value) return item;
    return nullptr;
}

bool struck(QQuickItem* text) {
    return text->property("font").value<QFont>().strikeOut();
}

TEST(SmartCleanupSheet, StatesCardsRowsAndFooter) {
    for (const SmartCleanup::Def& def : SmartCleanup::definitions())
        EXPECT_FALSE(iconGlyph(def.icon).isEmpty()) << def.icon;

    // Sixty node_modules folders, and exactly fifty caches under .cache.
    test::TempDir tree;
    for (int i = 0; i < 60; ++i) {
        const std::string project = "p" + std::to_string(i);
        tree.mkdir(project);
        tree.mkdir(project + "/node_modules");
        tree.write(project + "/node_modules/m", 4096 * static_cast<std::size_t>(i + 1));
    }
    tree.mkdir(".cache");
    for (int i = 0; i < 50; ++i) tree.write(".cache/c" + std::to_string(i), 4096);
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    click(app.window, itemNamed(app.window, "smartChip"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isAnalyzingSmart(); }, 10000));
    settle();
    ASSERT_EQ(itemsNamed(app.window, "categoryCard").size(), 2);

    // A new analysis shows only its progress, whatever was there before.
    app.model.analyzeSmart();
    EXPECT_EQ(itemNamed(app.window, "smartCards"), nullptr);
    EXPECT_EQ(text(app.window, "sheetProgressText"), QStringLiteral("Analiz ediliyor…"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isAnalyzingSmart(); }, 10000));
    settle();
    EXPECT_EQ(itemNamed(app.window, "sheetProgressText"), nullptr);

    QQuickItem* node = withProperty(app.window, "categoryCard", "title",
                                    QStringLiteral("node_modules klasörleri"));
    QQuickItem* caches =
        withProperty(app.window, "categoryCard", "title", QStringLiteral("Uygulama önbellekleri"));
    ASSERT_TRUE(node && caches);
    EXPECT_EQ(childNamed(node, "categoryLine")->property("text").toString(),
              QStringLiteral("60 öğe · npm install ile her an geri gelebilir"));
    EXPECT_EQ(itemsNamed(app.window, "cleanupItemRow").size(), 0);

    // Sixty items: fifty rows and the line for the other ten.
    click(app.window, childNamed(node, "cardHeader"));
    EXPECT_EQ(itemsNamed(app.window, "cleanupItemRow").size(), 50);
    EXPECT_EQ(text(app.window, "hiddenLine"),
              QStringLiteral("+ 10 öğe daha (en büyükler gösteriliyor)"));
    click(app.window, childNamed(node, "cardHeader"));
    // Exactly fifty: no such line.
    click(app.window, childNamed(caches, "cardHeader"));
    EXPECT_EQ(itemsNamed(app.window, "cleanupItemRow").size(), 50);
    EXPECT_EQ(itemNamed(app.window, "hiddenLine"), nullptr);

    // Footer: the hint, then the basket's count and size.
    EXPECT_EQ(itemNamed(app.window, "sheetHint")->property("hint").toString(),
              QStringLiteral("Öğeleri ＋ ile sepete ekle"));
    QQuickItem* first = itemsNamed(app.window, "cleanupItemRow").front();
    click(app.window, childNamed(first, "basketButton"));
    ASSERT_EQ(app.model.basket().size(), 1);
    EXPECT_EQ(text(app.window, "sheetSummary"),
              QStringLiteral("Sepet: 1 öğe · ") + sizeText(app.model.basket().front()->size()));
    app.model.setBasket({});
    settle();

    // The folder that holds every cache: "Eklendi ✓" and struck rows.
    QQuickItem* addAll = childNamed(caches, "addAllButton");
    EXPECT_EQ(addAll->property("label").toString(), QStringLiteral("Tümünü Ekle"));
    EXPECT_FALSE(struck(childNamed(itemsNamed(app.window, "cleanupItemRow").back(), "itemName")));
    app.model.toggleBasket(app.node(".cache"));
    settle();
    EXPECT_EQ(addAll->property("label").toString(), QStringLiteral("Eklendi ✓"));
    for (QQuickItem* row : itemsNamed(app.window, "cleanupItemRow"))
        EXPECT_TRUE(struck(childNamed(row, "itemName")));

    app.key(Qt::Key_Escape);
    EXPECT_FALSE(app.model.showSmartCleanup());
}

TEST(TopFilesSheet, RanksLocksAndEmpty) {
    test::TempDir tree;
    tree.mkdir("d");
    for (int i = 0; i < 5; ++i)
        tree.write("d/f" + std::to_string(i), 4096 * static_cast<std::size_t>(i + 1));
    tree.mkdir("guarded");
    tree.write("guarded/theirs", 2 * 4096);
    // Not ours: as root give it away, otherwise make its folder read-only.
    if (::getuid() == 0) {
        ASSERT_EQ(::chown((tree / "guarded/theirs").c_str(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(::chmod((tree / "guarded").c_str(), 0555), 0);
    }
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    QTest::mouseClick(app.window, Qt::LeftButton, {},
                      test::centre(itemNamed(app.window, "topFilesChip")));
    EXPECT_EQ(text(app.window, "sheetProgressText"), QStringLiteral("Aranıyor…"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isAnalyzingTop(); }, 10000));
    settle();

    const auto rows = itemsNamed(app.window, "topFileRow");
    ASSERT_EQ(rows.size(), 6);
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->property("rank").toInt(), i + 1);
        EXPECT_EQ(rows[i]->property("name").toString(),
                  QString::fromStdString(std::string((*app.model.topFiles())[i].node->name())));
    }
    QQuickItem* theirs = withProperty(app.window, "topFileRow", "name", QStringLiteral("theirs"));
    ASSERT_NE(theirs, nullptr);
    EXPECT_TRUE(childNamed(theirs, "lockIcon")->isVisible());
    EXPECT_FALSE(childNamed(theirs, "basketButton")->isVisible());
    EXPECT_EQ(childNamed(theirs, "lockIcon")->property("tooltip").toString(),
              QStringLiteral("Sistem öğesi — bu uygulama silemez"));
    EXPECT_EQ(itemNamed(app.window, "sheetHint")->property("hint").toString(),
              QStringLiteral("Öğeleri ＋ ile sepete ekle · sağ tık: önizle"));
    click(app.window, itemNamed(app.window, "sheetDone"));
    EXPECT_FALSE(app.model.showTopFiles());
    if (::getuid() != 0) ::chmod((tree / "guarded").c_str(), 0755);

    // A tree without files.
    test::TempDir hollow;
    hollow.mkdir("empty");
    app.model.resetToSelect();
    ASSERT_TRUE(app.scan(hollow.path()));
    app.model.openTopFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isAnalyzingTop(); }, 10000));
    settle();
    EXPECT_EQ(text(app.window, "topFilesEmpty"), QStringLiteral("Dosya bulunamadı."));
}

void setAge(int dirfd, const char* name, qint64 seconds) {
    const timespec when{static_cast<time_t>(std::time(nullptr) - seconds), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(dirfd, name, times, AT_SYMLINK_NOFOLLOW), 0);
}

// Points the desktop's Downloads folder at `path`.
void setDownloadsFolder(const test::TempDir& config, const std::string& path) {
    QFile f(QString::fromStdString(config / "user-dirs.dirs"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("XDG_DOWNLOAD_DIR=\"") + QByteArray::fromStdString(path) + "\"\n");
}

TEST(DownloadsSheet, StatesAgesSelectionAndTrash) {
    test::TempDir config;
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path());
    // A Downloads folder deep enough that a long entry name takes its path
    // past PATH_MAX: listed and sized, but lstat cannot date it.
    test::TempDir home;
    std::string rel;
    while ((home / rel).size() < 3850) {
        const std::size_t room = 3900 - (home / rel).size();
        rel = home.mkdir(rel + (rel.empty() ? "" : "/") +
                         std::string(std::min<std::size_t>(200, room), 'd'))
                  .substr(home.path().size() + 1);
    }
    const std::string folder = home / rel;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const std::string undated(250, 'u');
    for (const std::string& name : {std::string("month"), std::string("weeks"), undated}) {
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
    }
    setAge(dir, "month", 31 * 86400);
    setAge(dir, "weeks", 29 * 86400);
    ::close(dir);

    App app;
    // A folder that is not there: the path in the header, the message, nothing else.
    setDownloadsFolder(config, home / "missing");
    app.model.setShowDownloads(true);
    app.model.scanDownloads();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isScanningDownloads(); }, 10000));
    settle();
    EXPECT_EQ(text(app.window, "sheetSubtitle"), QString::fromStdString(home / "missing"));
    EXPECT_EQ(text(app.window, "downloadsMessage"), QStringLiteral("İndirilenler okunamadı."));
    EXPECT_EQ(itemNamed(app.window, "toggleAll"), nullptr);

    // Scanning: only the progress, whatever the filter.
    setDownloadsFolder(config, folder);
    QTest::mouseClick(app.window, Qt::LeftButton, {},
                      test::centre(itemNamed(app.window, "downloadsRefresh")));
    ASSERT_TRUE(app.model.isScanningDownloads());
    for (const auto filter : {AppModel::DownloadsFilter::all, AppModel::DownloadsFilter::big}) {
        app.model.setDownloadsFilter(filter);
        EXPECT_EQ(text(app.window, "sheetProgressText"), QStringLiteral("İndirilenler taranıyor…"));
        EXPECT_EQ(itemNamed(app.window, "downloadsMessage"), nullptr);
        EXPECT_EQ(itemNamed(app.window, "downloadsList"), nullptr);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.model.isScanningDownloads(); }, 10000));
    settle();
    // "100 MB+" matches nothing: the message, and no select-all.
    EXPECT_EQ(text(app.window, "downloadsMessage"), QStringLiteral("Bu filtreye uyan öğe yok."));
    EXPECT_EQ(itemNamed(app.window, "toggleAll"), nullptr);
    click(app.window, withProperty(app.window, "filterChip", "title", QStringLiteral("Tümü")));
    ASSERT_EQ(itemsNamed(app.window, "downloadRow").size(), 3);
    EXPECT_NE(itemNamed(app.window, "toggleAll"), nullptr);
    EXPECT_EQ(text(app.window, "sheetSubtitle"),
              QStringLiteral("3 öğe · ") + sizeText(app.model.downloadsTree()->size()));

    // Ages: amber past thirty days, tertiary before, none without a date.
    auto row = [&](const std::string& name) {
        return withProperty(app.window, "downloadRow", "name", QString::fromStdString(name));
    };
    auto age = [&](const std::string& name) { return childNamed(row(name), "downloadAge"); };
    EXPECT_EQ(age("month")->property("color").value<QColor>(), kAmber);
    EXPECT_EQ(age("weeks")->property("color").value<QColor>(), kTertiary);
    EXPECT_FALSE(age("month")->property("text").toString().isEmpty());
    EXPECT_FALSE(age(undated)->isVisible());

    // Two ticked entries: their count and sum, and a white label.
    EXPECT_EQ(itemNamed(app.window, "sheetHint")->property("hint").toString(),
              QStringLiteral("Silmek istediklerini işaretle · Çöp Kutusu'ndan geri alınabilir"));
    EXPECT_NE(itemNamed(app.window, "trashLabel")->property("color").value<QColor>(),
              QColor(Qt::white));
    click(app.window, childNamed(row("month"), "downloadName"));
    click(app.window, childNamed(row("weeks"), "downloadSize"));
    const qint64 both = app.model.selectedDownloadsBytes();
    EXPECT_EQ(text(app.window, "sheetSummary"), QStringLiteral("2 öğe seçili · ") + sizeText(both));
    EXPECT_EQ(itemNamed(app.window, "trashLabel")->property("color").value<QColor>(),
              QColor(Qt::white));

    // To the Trash: the two go, the third stays.
    QSignalSpy finished(&app.model, &AppModel::downloadsTrashFinished);
    click(app.window, itemNamed(app.window, "trashButton"));
    ASSERT_TRUE(finished.size() == 1 || finished.wait(10000));
    settle();
    const QDir trash(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files");
    for (const char* name : {"month", "weeks"}) {
        EXPECT_TRUE(trash.exists(QString::fromLatin1(name))) << name;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "/" + name))) << name;
        QFile::remove(trash.filePath(QString::fromLatin1(name)));
    }
    const int still = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(::faccessat(still, undated.c_str(), F_OK, AT_SYMLINK_NOFOLLOW), 0);
    ::close(still);
    EXPECT_EQ(itemsNamed(app.window, "downloadRow").size(), 1);
    EXPECT_EQ(app.model.freed(), both);
    app.key(Qt::Key_Escape);
    EXPECT_FALSE(app.model.showDownloads());
}

}  // namespace
}  // namespace tidewell
