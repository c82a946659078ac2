// The results screen on the real QML and model, offscreen, driven by QTest
// mouse and key events: the top bar, the map pane, the folder list, the
// basket, the delete confirmation, a deletion to the Trash and the keyboard.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QFile>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QVersionNumber>

#include <sys/stat.h>
#include <unistd.h>
#include <functional>

#include "app_model.h"
#include "quick_clean_model.h"
#include "results_text.h"
#include "row_colours.h"
#include "size_format.h"
#include "temp_tree.h"
#include "update_checker.h"
#include "window_app.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace tidewell {
namespace {

using Screen = AppModel::Screen;

using test::App;
using test::centre;
using test::childNamed;
using test::click;
using test::itemNamed;
using test::itemsNamed;
using test::settle;
using test::sizeText;
using test::text;

// The folder-list row showing `name`, or null.
QQuickItem* rowNamed(QQuickWindow* window, const QString& name) {
    for (QQuickItem* row : itemsNamed(window, QStringLiteral("folderRow")))
        if (row->property("name").toString() == name) return row;
    return nullptr;
}

TEST(ResultsText, BreadcrumbChipsDiskLinesAndTitle) {
    EXPECT_EQ(breadcrumbEntries(1), (std::vector<int>{0}));
    EXPECT_EQ(breadcrumbEntries(6), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(breadcrumbEntries(7), (std::vector<int>{0, kBreadcrumbGap, 3, 4, 5, 6}));
    EXPECT_EQ(breadcrumbEntries(10), (std::vector<int>{0, kBreadcrumbGap, 6, 7, 8, 9}));
    EXPECT_TRUE(backChipEntries(1).empty());
    EXPECT_EQ(backChipEntries(2), (std::vector<int>{0}));
    EXPECT_EQ(backChipEntries(3), (std::vector<int>{1, 0}));
    EXPECT_EQ(backChipEntries(6), (std::vector<int>{4, 3}));

    EXPECT_EQ(diskUsageLine(1500000, std::nullopt, ","), QStringLiteral("1,5 MB tarandı"));
    EXPECT_EQ(diskUsageLine(1500000, 2500000000, ","), QStringLiteral("2,5 GB boş"));
    EXPECT_EQ(freedLine(0, ","), QString());
    EXPECT_EQ(freedLine(1500000, ","), QStringLiteral("temizlendi: 1,5 MB"));
    EXPECT_FALSE(usageFraction(std::nullopt, 10));
    EXPECT_FALSE(usageFraction(100, std::nullopt));
    EXPECT_FALSE(usageFraction(0, 0));
    EXPECT_EQ(usageFraction(100, 150), 0.0);  // free beyond the total: an empty bar
    EXPECT_DOUBLE_EQ(*usageFraction(200, 50), 0.75);
    EXPECT_EQ(deleteConfirmTitle(2, 1500000, ","),
              QStringLiteral("2 öğe (1,5 MB) nasıl silinsin?"));
}

// Back button, quick-back chips and breadcrumb along a path of growing length.
TEST(ResultsScreen, WaysBackFollowThePath) {
    test::TempDir tree;
    std::string rel;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
        rel += (rel.empty() ? "" : "/") + std::string(name);
        tree.mkdir(rel);
    }
    tree.write(rel + "/file", 8192);
    App app;
    // Wide enough for the whole breadcrumb; a narrow window squeezes it from the root's side.
    app.window->resize(1600, 800);
    ASSERT_TRUE(app.scan(tree.path()));
    const QString rootName = QString::fromStdString(tree.path()).section('/', -1);

    // At the root: "Yeni Tarama", no chips, one breadcrumb item.
    EXPECT_EQ(text(app.window, "backTitle"), QStringLiteral("Yeni Tarama"));
    EXPECT_EQ(itemNamed(app.window, "backButton")->property("tooltip").toString(),
              QStringLiteral("Yeni tarama"));
    EXPECT_TRUE(itemsNamed(app.window, "quickBackChip").isEmpty());
    EXPECT_EQ(itemsNamed(app.window, "breadcrumbItem").size(), 1);

    app.jump("a");
    EXPECT_EQ(text(app.window, "backTitle"), rootName);
    EXPECT_EQ(itemNamed(app.window, "backButton")->property("tooltip").toString(),
              QStringLiteral("“") + rootName + QStringLiteral("” klasörüne geri dön"));
    auto chips = itemsNamed(app.window, "quickBackChip");
    ASSERT_EQ(chips.size(), 1);

    app.jump("a/b");
    chips = itemsNamed(app.window, "quickBackChip");
    ASSERT_EQ(chips.size(), 2);
    EXPECT_LT(chips[0]->mapToScene({}).x(), chips[1]->mapToScene({}).x());
    // Parent first: clicking the first chip focuses "a".
    app.model.setHovered(app.node("a/b/c"));
    click(app.window, chips[0]);
    EXPECT_EQ(app.model.focus(), app.node("a"));
    EXPECT_EQ(app.model.hovered(), nullptr);

    // Six entries: six items, no gap; seven: root, gap and the last four.
    app.jump("a/b/c/d/e");
    EXPECT_EQ(app.model.path().size(), 6);
    EXPECT_EQ(itemsNamed(app.window, "breadcrumbItem").size(), 6);
    EXPECT_TRUE(itemsNamed(app.window, "breadcrumbGap").isEmpty());
    app.jump("a/b/c/d/e/f");
    EXPECT_EQ(itemsNamed(app.window, "breadcrumbItem").size(), 5);
    EXPECT_EQ(itemsNamed(app.window, "breadcrumbGap").size(), 1);
    // The last item keeps the path and clears the hover.
    app.model.setHovered(app.node("a/b/c/d/e/f/g"));
    const QList<NodeRef> before = app.model.path();
    click(app.window, itemsNamed(app.window, "breadcrumbItem").back());
    EXPECT_EQ(app.model.path(), before);
    EXPECT_EQ(app.model.hovered(), nullptr);
    // The first item is the root.
    click(app.window, itemsNamed(app.window, "breadcrumbItem").front());
    EXPECT_EQ(app.model.path().size(), 1);

    // Back at the root the back button leaves for the select screen.
    click(app.window, itemNamed(app.window, "backButton"));
    EXPECT_EQ(app.model.screen(), Screen::select);
}

TEST(ResultsScreen, DiskUsageFreedLineAndMapModes) {
    test::TempDir tree;
    tree.mkdir("a");
    tree.write("a/f", 40000);
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    ASSERT_TRUE(app.model.volumeFree().has_value());
    EXPECT_EQ(text(app.window, "usageLine"), sizeText(*app.model.volumeFree()) + " boş");
    EXPECT_NE(itemNamed(app.window, "usageBar"), nullptr);
    EXPECT_EQ(itemNamed(app.window, "freedLine"), nullptr);

    EXPECT_NE(itemNamed(app.window, "treemap"), nullptr);
    EXPECT_TRUE(text(app.window, "mapCaption").startsWith(QStringLiteral("Alan,")));
    click(app.window, itemNamed(app.window, "sunburstButton"));
    EXPECT_EQ(app.model.vizMode(), AppModel::VizMode::sunburst);
    EXPECT_NE(itemNamed(app.window, "sunburst"), nullptr);
    EXPECT_EQ(itemNamed(app.window, "treemap"), nullptr);
    EXPECT_TRUE(text(app.window, "mapCaption").startsWith(QStringLiteral("Açı,")));
    click(app.window, itemNamed(app.window, "treemapButton"));
    EXPECT_EQ(app.model.vizMode(), AppModel::VizMode::treemap);

    // Leaving the map clears the hover once; moving elsewhere writes nothing.
    QQuickItem* map = itemNamed(app.window, "treemap");
    ASSERT_NE(map, nullptr);
    QTest::mouseMove(app.window, centre(map));
    ASSERT_EQ(app.model.hovered(), app.node("a"));
    QSignalSpy hoverWrites(&app.model, &AppModel::hoveredChanged);
    QTest::mouseMove(app.window, centre(itemNamed(app.window, "usageLine")));
    EXPECT_EQ(app.model.hovered(), nullptr);
    EXPECT_EQ(hoverWrites.size(), 1);
    QTest::mouseMove(app.window, centre(itemNamed(app.window, "basketHint")));
    EXPECT_EQ(hoverWrites.size(), 1);
}

// Row colours, shares, struck and dimmed names, locks, and clicks on names.
TEST(ResultsScreen, FolderListRows) {
    test::TempDir tree;
    tree.mkdir("single");
    tree.write("single/only", 40000);
    tree.mkdir("hollow");
    tree.mkdir("hollow/x");
    tree.mkdir("hollow/y");
    tree.mkdir("box");
    tree.mkdir("box/inner");
    tree.write("box/inner/f", 9000);
    tree.write("box/loose", 30000);
    tree.mkdir("guarded");
    tree.write("guarded/theirs", 12000);
    tree.write("file", 100000);
    // An item that is not ours may not be deleted; as root, give it away,
    // otherwise make its folder read-only.
    if (::getuid() == 0) {
        ASSERT_EQ(::chown((tree / "guarded/theirs").c_str(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(::chmod((tree / "guarded").c_str(), 0555), 0);
    }
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    EXPECT_EQ(text(app.window, "folderName"), QString::fromStdString(tree.path()).section('/', -1));
    EXPECT_EQ(text(app.window, "folderSize"), sizeText(app.model.root()->size()));
    EXPECT_EQ(itemsNamed(app.window, "folderRow").size(), 5);

    // A click on a file's name does nothing; on a folder's it walks in and
    // clears the hover.
    QQuickItem* fileRow = rowNamed(app.window, "file");
    ASSERT_NE(fileRow, nullptr);
    click(app.window, childNamed(fileRow, "rowName"));
    EXPECT_EQ(app.model.path().size(), 1);
    EXPECT_EQ(app.model.hovered(), app.node("file"));  // the pointer is over it
    click(app.window, childNamed(rowNamed(app.window, "single"), "rowName"));
    EXPECT_EQ(app.model.focus(), app.node("single"));
    EXPECT_EQ(app.model.hovered(), nullptr);

    // One child: the largest child's hue.
    ASSERT_EQ(itemsNamed(app.window, "folderRow").size(), 1);
    EXPECT_EQ(itemsNamed(app.window, "folderRow").front()->property("colour").value<QColor>(),
              childRowColour(0, 1));

    // A folder of zero bytes: no share bars.
    app.jump("hollow");
    ASSERT_EQ(app.model.focus()->size(), 0);
    for (QQuickItem* row : itemsNamed(app.window, "folderRow"))
        EXPECT_EQ(childNamed(row, "shareBar")->width(), 0.0);

    // In the basket: struck and dimmed, a check; below it: dimmed only, a plus.
    app.jump("");
    app.model.toggleBasket(NodeValue(app.node("box")));
    settle();
    QQuickItem* boxRow = rowNamed(app.window, "box");
    ASSERT_NE(boxRow, nullptr);
    QQuickItem* boxName = childNamed(boxRow, "rowName");
    EXPECT_TRUE(boxName->property("font").value<QFont>().strikeOut());
    EXPECT_EQ(boxName->property("color").value<QColor>(), QColor(127, 127, 134));
    EXPECT_EQ(childNamed(boxRow, "basketButton")->property("color").value<QColor>(),
              QColor(255, 91, 82));
    app.jump("box");
    QQuickItem* innerName = childNamed(rowNamed(app.window, "inner"), "rowName");
    EXPECT_FALSE(innerName->property("font").value<QFont>().strikeOut());
    EXPECT_EQ(innerName->property("color").value<QColor>(), QColor(127, 127, 134));
    EXPECT_NE(childNamed(rowNamed(app.window, "inner"), "basketButton")->property("color"),
              QVariant(QColor(255, 91, 82)));

    // A protected item: a lock with its tooltip and no basket button.
    app.jump("guarded");
    QQuickItem* theirs = rowNamed(app.window, "theirs");
    ASSERT_NE(theirs, nullptr);
    EXPECT_FALSE(theirs->property("canDelete").toBool());
    EXPECT_TRUE(childNamed(theirs, "lockIcon")->isVisible());
    EXPECT_FALSE(childNamed(theirs, "basketButton")->isVisible());
    EXPECT_EQ(childNamed(theirs, "lockIcon")->property("tooltip").toString(),
              QStringLiteral("Sistem öğesi — bu uygulama silemez"));
    if (::getuid() != 0) ::chmod((tree / "guarded").c_str(), 0755);
}

// Empty basket, rows, removal, the confirmation's title and cancel.
TEST(ResultsScreen, BasketAndConfirmation) {
    test::TempDir tree;
    tree.mkdir("a");
    tree.write("a/f", 1500000);
    tree.mkdir("b");
    tree.write("b/f", 30000);
    App app;
    ASSERT_TRUE(app.scan(tree.path()));

    EXPECT_EQ(text(app.window, "basketCount"), QStringLiteral("0 öğe"));
    EXPECT_NE(itemNamed(app.window, "basketEmpty"), nullptr);
    EXPECT_EQ(itemNamed(app.window, "basketHint")->property("hint").toString(),
              QStringLiteral("Silmek istediğin klasörleri\nlisteden ＋ ile buraya ekle."));
    EXPECT_EQ(text(app.window, "basketTotal"), sizeText(0));
    EXPECT_EQ(text(app.window, "deleteLabel"), QStringLiteral("Sil"));
    click(app.window, itemNamed(app.window, "deleteButton"));
    EXPECT_FALSE(app.model.showDeleteConfirm());

    click(app.window, childNamed(rowNamed(app.window, "a"), "basketButton"));
    click(app.window, childNamed(rowNamed(app.window, "b"), "basketButton"));
    ASSERT_EQ(app.model.basket().size(), 2);
    EXPECT_EQ(itemNamed(app.window, "basketEmpty"), nullptr);
    EXPECT_EQ(itemsNamed(app.window, "basketRow").size(), 2);
    EXPECT_EQ(text(app.window, "basketCount"), QStringLiteral("2 öğe"));
    const qint64 total = app.node("a")->size() + app.node("b")->size();
    EXPECT_EQ(text(app.window, "basketTotal"), sizeText(total));
    EXPECT_EQ(text(app.window, "basketRowLocation"),
              QString::fromStdString(tree.path()).section('/', -1));

    click(app.window, itemNamed(app.window, "deleteButton"));
    ASSERT_TRUE(app.model.showDeleteConfirm());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return itemNamed(app.window, "confirmTitle") != nullptr; }, 2000));
    // The title carries the footer's total as it is written there.
    EXPECT_EQ(text(app.window, "confirmTitle"), QStringLiteral("2 öğe (") +
                                                    text(app.window, "basketTotal") +
                                                    QStringLiteral(") nasıl silinsin?"));
    EXPECT_EQ(text(app.window, "confirmMessage"),
              QStringLiteral("Çöp Kutusu'na taşırsan gerekirse geri alabilirsin. Kalıcı silme, "
                             "diski hemen boşaltır ama geri alınamaz."));
    click(app.window, itemNamed(app.window, "confirmButton2"));  // "İptal"
    EXPECT_FALSE(app.model.showDeleteConfirm());
    EXPECT_EQ(app.model.basket().size(), 2);
    // Escape cancels too.
    app.model.requestDelete();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return itemNamed(app.window, "confirmTitle") != nullptr; }, 2000));
    app.key(Qt::Key_Escape);
    EXPECT_FALSE(app.model.showDeleteConfirm());
    EXPECT_EQ(app.model.basket().size(), 2);

    // The last row's cross brings the placeholder back.
    click(app.window, childNamed(itemsNamed(app.window, "basketRow").back(), "basketRemove"));
    click(app.window, childNamed(itemsNamed(app.window, "basketRow").back(), "basketRemove"));
    EXPECT_TRUE(app.model.basket().isEmpty());
    EXPECT_NE(itemNamed(app.window, "basketEmpty"), nullptr);
}

// Scan, collect two folders, move them to the Trash; the Trash holds them
// with their records, and every view shows the smaller tree.
TEST(ResultsScreen, DeleteToTrashFlow) {
    test::TempDir tree;
    tree.mkdir("old-build");
    tree.write("old-build/blob", 200000);
    tree.mkdir("cache");
    tree.write("cache/blob", 100000);
    tree.mkdir("keep");
    tree.write("keep/blob", 50000);
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    const qint64 before = app.model.root()->size();
    const qint64 gone = app.node("old-build")->size() + app.node("cache")->size();

    click(app.window, childNamed(rowNamed(app.window, "old-build"), "basketButton"));
    click(app.window, childNamed(rowNamed(app.window, "cache"), "basketButton"));
    click(app.window, itemNamed(app.window, "deleteButton"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return itemNamed(app.window, "confirmButton0") != nullptr; }, 2000));
    QSignalSpy finished(&app.model, &AppModel::deletionFinished);
    click(app.window, itemNamed(app.window, "confirmButton0"));  // "Çöp Kutusu'na Taşı"
    EXPECT_FALSE(app.model.showDeleteConfirm());
    ASSERT_TRUE(app.model.isDeleting() || finished.size() == 1);
    if (app.model.isDeleting()) {
        EXPECT_EQ(text(app.window, "deleteLabel"), QStringLiteral("Taşınıyor…"));
    }
    ASSERT_TRUE(finished.size() == 1 || finished.wait(20000));
    QTest::qWait(20);

    const QDir trash(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash");
    for (const char* name : {"old-build", "cache"}) {
        EXPECT_TRUE(QFile::exists(trash.filePath(QStringLiteral("files/") + name))) << name;
        QFile info(trash.filePath(QStringLiteral("info/") + name + ".trashinfo"));
        ASSERT_TRUE(info.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(info.readAll().contains(
            "Path=" + QUrl::toPercentEncoding(QString::fromStdString(tree / name), "/")));
        EXPECT_FALSE(QFile::exists(QString::fromStdString(tree / name)));
    }
    EXPECT_FALSE(app.model.errorMessage().has_value());
    EXPECT_EQ(app.model.root()->size(), before - gone);
    EXPECT_EQ(app.model.freed(), gone);
    EXPECT_EQ(itemsNamed(app.window, "folderRow").size(), 1);
    EXPECT_NE(rowNamed(app.window, "keep"), nullptr);
    EXPECT_EQ(text(app.window, "folderSize"), sizeText(before - gone));
    EXPECT_EQ(text(app.window, "freedLine"), QStringLiteral("temizlendi: ") + sizeText(gone));
    EXPECT_NE(itemNamed(app.window, "basketEmpty"), nullptr);
    EXPECT_EQ(text(app.window, "deleteLabel"), QStringLiteral("Sil"));
    QFile::remove(trash.filePath("info/old-build.trashinfo"));
    QFile::remove(trash.filePath("info/cache.trashinfo"));
    QDir(trash.filePath("files/old-build")).removeRecursively();
    QDir(trash.filePath("files/cache")).removeRecursively();
}

// The folder list from the keyboard: highlight, walk in and out, preview,
// basket, delete, and Tab between the panes.
TEST(ResultsScreen, KeyboardPaths) {
    test::TempDir tree;
    tree.mkdir("big");
    tree.mkdir("big/sub");
    tree.write("big/sub/f", 300000);
    tree.mkdir("mid");
    tree.write("mid/f", 100000);
    tree.write("small", 20000);
    App app;
    ASSERT_TRUE(app.scan(tree.path()));
    QTest::mouseMove(app.window, QPoint(2, app.window->height() - 2));

    // Space with nothing hovered does nothing.
    app.key(Qt::Key_Space);
    EXPECT_TRUE(app.model.quickLookURL().isEmpty());

    app.key(Qt::Key_Down);
    EXPECT_EQ(app.model.hovered(), app.node("big"));
    app.key(Qt::Key_Down);
    app.key(Qt::Key_Down);
    app.key(Qt::Key_Down);  // stops at the last row
    EXPECT_EQ(app.model.hovered(), app.node("small"));
    // The row shows the highlight the map shows.
    EXPECT_TRUE(rowNamed(app.window, "small")->property("highlighted").toBool());
    app.key(Qt::Key_Up);
    EXPECT_EQ(app.model.hovered(), app.node("mid"));

    app.key(Qt::Key_Space);
    EXPECT_EQ(app.model.quickLookURL(),
              QUrl::fromLocalFile(QString::fromStdString(tree / "mid") + "/"));
    app.model.setQuickLookURL({});

    // Delete toggles; Ctrl+Delete asks.
    app.key(Qt::Key_Delete);
    EXPECT_TRUE(app.model.isInBasket(app.node("mid")));
    app.key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(app.model.showDeleteConfirm());
    app.key(Qt::Key_Escape);
    EXPECT_FALSE(app.model.showDeleteConfirm());
    app.key(Qt::Key_Delete);
    EXPECT_TRUE(app.model.basket().isEmpty());

    // Enter or Right walks in; a file has nothing to walk into.
    app.key(Qt::Key_Up);
    app.key(Qt::Key_Return);
    EXPECT_EQ(app.model.focus(), app.node("big"));
    EXPECT_EQ(app.model.hovered(), nullptr);
    app.key(Qt::Key_Down);
    app.key(Qt::Key_Right);
    EXPECT_EQ(app.model.focus(), app.node("big/sub"));
    app.key(Qt::Key_Down);
    app.key(Qt::Key_Right);
    EXPECT_EQ(app.model.focus(), app.node("big/sub"));
    // Backspace or Left goes up; at the root nothing happens.
    app.key(Qt::Key_Backspace);
    EXPECT_EQ(app.model.focus(), app.node("big"));
    app.key(Qt::Key_Left);
    app.key(Qt::Key_Left);
    EXPECT_EQ(app.model.path().size(), 1);
    EXPECT_EQ(app.model.screen(), Screen::results);

    // Tab goes map, list, basket and round again.
    QQuickItem* map = itemNamed(app.window, "mapPane");
    QQuickItem* list = itemNamed(app.window, "folderList");
    QQuickItem* basket = itemNamed(app.window, "basketView");
    EXPECT_TRUE(map->hasActiveFocus());
    app.key(Qt::Key_Tab);
    EXPECT_TRUE(list->hasActiveFocus());
    EXPECT_TRUE(list->property("showFocus").toBool());
    EXPECT_FALSE(map->property("showFocus").toBool());
    app.key(Qt::Key_Tab);
    EXPECT_TRUE(basket->hasActiveFocus());
    app.key(Qt::Key_Tab);
    EXPECT_TRUE(map->hasActiveFocus());
    // Keys still work from any pane.
    app.key(Qt::Key_Tab);
    app.key(Qt::Key_Down);
    EXPECT_EQ(app.model.hovered(), app.node("big"));
}

}  // namespace
}  // namespace tidewell
