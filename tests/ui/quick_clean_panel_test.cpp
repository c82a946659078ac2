// The quick-clean panel on the real QML and the real model, offscreen, in a
// temporary home holding cache folders of known sizes.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QFile>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>
#include <QVersionNumber>

#include "app_model.h"
#include "platform_info.h"
#include "quick_clean_model.h"
#include "quick_clean_window.h"
#include "size_format.h"
#include "temp_tree.h"
#include "text_format.h"
#include "trasher.h"
#include "update_checker.h"
#include "window_hub.h"
#include "window_items.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::centre;

const QString kArchives = QStringLiteral("Library/Developer/Xcode/Archives");
const QString kNpm = QStringLiteral(".npm");
const QString kPip = QStringLiteral(".cache/pip");
const QString kTrash = QString::fromLatin1(kHomeTrashFiles);

// The items of one row of the panel, found by the row's id.
QQuickItem* rowItem(QQuickWindow* view, const QString& id) {
    for (QQuickItem* row : test::itemsNamed(view, QStringLiteral("quickCleanRow")))
        if (row->property("rowId").toString() == id) return row;
    return nullptr;
}

QQuickItem* part(QQuickItem* row, const char* name) {
    QList<QQuickItem*> found;
    test::collectItems(
        row, [&](QQuickItem* i) { return i->objectName() == QLatin1String(name); }, found);
    return found.isEmpty() ? nullptr : found.front();
}

QString emptyLabel(QQuickWindow* view, const QString& id) {
    return part(rowItem(view, id), "quickCleanEmpty")->property("label").toString();
}

// A home with three cache folders of known contents (no Yarn, no Cargo, …)
// and the application's objects around one panel window.
struct Panel {
    Panel() : updates(QUrl(), QVersionNumber(0, 1, 0)) {
        home.mkdir("Library");
        home.mkdir("Library/Developer");
        home.mkdir("Library/Developer/Xcode");
        home.mkdir("Library/Developer/Xcode/Archives");
        home.write("Library/Developer/Xcode/Archives/a.xcarchive", 300000);
        home.mkdir(".npm");
        home.write(".npm/_cacache", 120000);
        home.mkdir(".cache");
        home.mkdir(".cache/pip");
        home.write(".cache/pip/wheel", 50000);
        QDir().mkpath(QString::fromStdString(*Trasher::homeTrash() + "/files"));
        model = std::make_unique<QuickCleanModel>(QString::fromStdString(home.path()));
        hub = std::make_unique<WindowHub>(engine, app, *model, updates);
        window = std::make_unique<QuickCleanWindow>(engine, *model, *hub);
        window->panel().setConfirmWindow(200ms);
    }
    QQuickView* show() {
        window->showAsWindow();
        QQuickView* view = window->view();
        EXPECT_TRUE(view != nullptr && QTest::qWaitForWindowExposed(view));
        return view;
    }
    void click(QQuickItem* item) const {
        QTest::mouseClick(window->view(), Qt::LeftButton, {}, centre(item));
    }
    bool measured() const {
        return QTest::qWaitFor([&] { return !model->isRefreshing() && model->lastRefresh(); },
                               10000);
    }

    test::TempDir home;
    AppModel app;
    UpdateChecker updates;
    QQmlEngine engine;
    std::unique_ptr<QuickCleanModel> model;
    std::unique_ptr<WindowHub> hub;
    std::unique_ptr<QuickCleanWindow> window;
};

TEST(QuickCleanPanel, RowsSizesAndTheirColours) {
    Panel p;
    QQuickView* view = p.show();
    QStringList ids;
    for (QQuickItem* row : test::itemsNamed(view, QStringLiteral("quickCleanRow")))
        ids.push_back(row->property("rowId").toString());
    EXPECT_EQ(ids, (QStringList{kArchives, kNpm, kPip, kTrash}));

    // Showing the panel measured it; the header sums what it found.
    ASSERT_TRUE(p.measured());
    qint64 sum = 0;
    for (const QuickCleanModel::Row& row : p.model->rows()) sum += row.bytes.value_or(0);
    EXPECT_GE(sum, 470000);
    QQuickItem* total = test::itemNamed(view, QStringLiteral("quickCleanTotal"));
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->property("text").toString(), QString::fromStdString(formatBytes(sum)));

    // The Trash reads "Boşalt" without a triangle; the archives warn.
    EXPECT_EQ(emptyLabel(view, kTrash), QStringLiteral("Boşalt"));
    EXPECT_EQ(emptyLabel(view, kNpm), QStringLiteral("Temizle"));
    EXPECT_FALSE(part(rowItem(view, kTrash), "quickCleanWarning")->isVisible());
    QQuickItem* triangle = part(rowItem(view, kArchives), "quickCleanWarning");
    EXPECT_TRUE(triangle->isVisible());
    auto* tip = triangle->findChild<QObject*>(QStringLiteral("quickCleanWarningTip"));
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->property("text").toString().startsWith(QStringLiteral("Dağıtım arşivleri")));

    p.model->setMeasured(kArchives, 6'000'000'000);
    p.model->setMeasured(kNpm, 2'000'000'000);
    p.model->setMeasured(kPip, 500'000'000);
    p.model->setMeasured(kTrash, std::nullopt);
    const auto sizeOf = [&](const QString& id) {
        return part(rowItem(view, id), "quickCleanSize");
    };
    EXPECT_EQ(sizeOf(kArchives)->property("color").value<QColor>(), QColor(255, 123, 114));
    EXPECT_EQ(sizeOf(kNpm)->property("color").value<QColor>(), QColor(255, 179, 71));
    EXPECT_EQ(sizeOf(kPip)->property("color").value<QColor>(), QColor(139, 139, 147));
    EXPECT_EQ(sizeOf(kTrash)->property("color").value<QColor>(), QColor(122, 122, 130));
    EXPECT_EQ(sizeOf(kTrash)->property("text").toString(), QStringLiteral("—"));

    // Nothing measured: no total.
    for (const QString& id : {kArchives, kNpm, kPip}) p.model->setMeasured(id, std::nullopt);
    EXPECT_FALSE(total->isVisible());
}

TEST(QuickCleanPanel, EmptyingAsksFirstOnOneRowAtATime) {
    Panel p;
    QQuickView* view = p.show();
    ASSERT_TRUE(p.measured());
    const auto button = [&](const QString& id) {
        return part(rowItem(view, id), "quickCleanEmpty");
    };

    p.click(button(kNpm));
    EXPECT_EQ(emptyLabel(view, kNpm), QStringLiteral("Emin misin?"));
    // Asking on another row moves the question there.
    p.click(button(kPip));
    EXPECT_EQ(emptyLabel(view, kNpm), QStringLiteral("Temizle"));
    EXPECT_EQ(emptyLabel(view, kPip), QStringLiteral("Emin misin?"));
    // Unanswered, it falls back; a later single press only asks again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return emptyLabel(view, kPip) == "Temizle"; }, 5000));
    p.click(button(kPip));
    EXPECT_EQ(emptyLabel(view, kPip), QStringLiteral("Emin misin?"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(p.home / ".cache/pip/wheel")));

    // The second press in time empties the folder into the Trash.
    QSignalSpy finished(p.model.get(), &QuickCleanModel::cleanFinished);
    p.click(button(kNpm));
    p.click(button(kNpm));
    EXPECT_EQ(p.window->panel().confirmingId(), QString());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(p.home / ".npm/_cacache")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(p.home / ".cache/pip/wheel")));
    EXPECT_EQ(emptyLabel(view, kNpm), QStringLiteral("Temizle"));
}

TEST(QuickCleanPanel, FooterBringsUpTheMainWindowAndEscapeCloses) {
    Panel p;
    p.window->showBeside(QRect(1200, 0, 24, 24));
    QQuickView* view = p.window->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(p.window->isShowing());

    p.window->showBeside(QRect(1200, 0, 24, 24));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    EXPECT_EQ(p.hub->windowCount(), 0);
    p.click(test::itemNamed(view, QStringLiteral("quickCleanOpenApp")));
    ASSERT_EQ(p.hub->windowCount(), 1);
    EXPECT_TRUE(p.hub->windows().front()->isVisible());
    EXPECT_FALSE(p.window->isShowing());
}

TEST(QuickCleanPanel, WithoutAccessOnlyTheLockMessage) {
    test::TempDir scratch;
    AppModel app;
    UpdateChecker updates(QUrl(), QVersionNumber(0, 1, 0));
    QQmlEngine engine;
    QuickCleanModel model(QString::fromStdString(scratch / "no-such-home"));
    WindowHub hub(engine, app, model, updates);
    QuickCleanWindow window(engine, model, hub);
    window.showAsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.view()));
    EXPECT_TRUE(test::itemsNamed(window.view(), QStringLiteral("quickCleanRow")).isEmpty());
    QQuickItem* message = test::itemNamed(window.view(), QStringLiteral("quickCleanAccessMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->property("text").toString().contains(accusativeName(startupDiskName())));
    EXPECT_NE(test::itemNamed(window.view(), QStringLiteral("quickCleanGrant")), nullptr);

    EXPECT_EQ(accusativeName(QStringLiteral("Macintosh HD")), QStringLiteral("Macintosh HD'yi"));
    EXPECT_EQ(accusativeName(QStringLiteral("Linux")), QStringLiteral("Linux'u"));
    EXPECT_EQ(accusativeName(QStringLiteral("Debian")), QStringLiteral("Debian'ı"));
    EXPECT_EQ(accusativeName(QStringLiteral("Debian GNU/Linux 12")),
              QStringLiteral("Debian GNU/Linux 12'yi"));
}

TEST(QuickCleanPanel, PlacedBesideTheTrayOnScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(340, 300);
    // A top bar, the icon at the right end: below it, inside the screen.
    EXPECT_EQ(panelPosition(QRect(1890, 2, 24, 24), size, screen, QRect(0, 28, 1920, 1052)),
              QPoint(1580, 32));
    // A bottom panel: above the icon.
    EXPECT_EQ(panelPosition(QRect(1000, 1052, 24, 24), size, screen, QRect(0, 0, 1920, 1048)),
              QPoint(841, 746));
    // Vertical panels on the left and on the right: beside them.
    EXPECT_EQ(panelPosition(QRect(4, 500, 24, 24), size, screen, QRect(32, 0, 1888, 1080)).x(), 34);
    EXPECT_EQ(panelPosition(QRect(1892, 600, 24, 24), size, screen, QRect(0, 0, 1888, 1080)),
              QPoint(1546, 461));
}

}  // namespace
}  // namespace tidewell
