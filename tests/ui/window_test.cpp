// The real window, offscreen, on the real model: screens, the error alert,
// the recent rows, the scanning screen's lines, the shimmer and the node menu.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QFile>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QVersionNumber>

#include <sys/stat.h>

#include <functional>
#include <memory>

#include "app_model.h"
#include "file_preview.h"
#include "quick_clean_model.h"
#include "saved_locations.h"
#include "temp_tree.h"
#include "update_checker.h"
#include "window_hub.h"
#include "window_items.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace tidewell {
namespace {

using Screen = AppModel::Screen;

using test::centre;
using test::itemNamed;
using test::itemsNamed;

QString shownScreen(QQuickWindow* window) {
    QObject* loader = window->findChild<QObject*>(QStringLiteral("screenLoader"));
    if (loader == nullptr) return {};
    auto* item = loader->property("item").value<QQuickItem*>();
    return item != nullptr ? item->objectName() : QString();
}

void click(QQuickWindow* window, QQuickItem* item) {
    QTest::mouseClick(window, Qt::LeftButton, {}, centre(item));
}

// The application's objects as tidewell makes them, and its first window.
struct App {
    App() : updates(QUrl(), QVersionNumber(0, 1, 0)), hub(engine, model, quickClean, updates) {
        window = hub.openWindow();
        EXPECT_NE(window, nullptr);
        if (window != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        }
    }
    AppModel model;
    QuickCleanModel quickClean;
    UpdateChecker updates;
    QQmlEngine engine;
    WindowHub hub;
    QQuickWindow* window = nullptr;
};

void storeLocations(const QList<SavedLocation>& list) {
    QSettings settings;
    storeSavedLocations(settings, list);
    settings.sync();
}

SavedLocation locationAt(const std::string& path, const QString& name) {
    SavedLocation l;
    l.path = QString::fromStdString(path);
    l.name = name;
    l.lastScan = QDateTime::currentDateTimeUtc();
    l.bookmark = makeBookmark(l.path).value_or(QByteArray());
    return l;
}

TEST(Window, ScreensFollowTheModelInEveryWindow) {
    storeLocations({});
    test::TempDir tree;
    tree.mkdir("a");
    tree.write("a/f", 40000);
    App app;
    ASSERT_NE(app.window, nullptr);
    EXPECT_EQ(app.window->size(), QSize(1120, 720));
    EXPECT_EQ(app.window->minimumSize(), QSize(960, 640));
    EXPECT_EQ(shownScreen(app.window), QStringLiteral("selectView"));
    // No saved locations: no heading, no rows.
    EXPECT_EQ(itemNamed(app.window, QStringLiteral("recentHeading")), nullptr);

    QQuickWindow* second = app.hub.openWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(app.hub.windowCount(), 2);
    app.model.startScan(QString::fromStdString(tree.path()));
    EXPECT_EQ(shownScreen(app.window), QStringLiteral("scanningView"));
    EXPECT_EQ(shownScreen(second), QStringLiteral("scanningView"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.model.screen() == Screen::results; }, 20000));
    EXPECT_EQ(shownScreen(app.window), QStringLiteral("resultsView"));
    EXPECT_EQ(shownScreen(second), QStringLiteral("resultsView"));
    app.model.resetToSelect();
    EXPECT_EQ(shownScreen(second), QStringLiteral("selectView"));
    second->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.hub.windowCount() == 1; }, 5000));
}

TEST(Window, ErrorAlertWritesBackWhenDismissed) {
    App app;
    ASSERT_NE(app.window, nullptr);
    QSignalSpy changes(&app.model, &AppModel::errorMessageChanged);
    app.model.setErrorMessage(QStringLiteral("birinci\nikinci"));
    QQuickItem* message = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            message = itemNamed(app.window, QStringLiteral("alertMessage"));
            return message != nullptr;
        },
        5000));
    EXPECT_EQ(message->property("text").toString(), QStringLiteral("birinci\nikinci"));
    QQuickItem* title = itemNamed(app.window, QStringLiteral("alertTitle"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->property("text").toString(), QStringLiteral("Bir sorun oluştu"));
    QQuickItem* ok = itemNamed(app.window, QStringLiteral("alertButton0"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->childItems().front()->property("text").toString(), QStringLiteral("Tamam"));
    click(app.window, ok);
    EXPECT_FALSE(app.model.errorMessage().has_value());
    EXPECT_EQ(changes.size(), 2);  // set, then emptied once
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return itemNamed(app.window, QStringLiteral("alertMessage")) == nullptr; }, 5000));

    // Escape dismisses it the same way.
    app.model.setErrorMessage(QStringLiteral("üçüncü"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return itemNamed(app.window, QStringLiteral("alertMessage")) != nullptr; }, 5000));
    QTest::keyClick(app.window, Qt::Key_Escape);
    EXPECT_FALSE(app.model.errorMessage().has_value());
    EXPECT_EQ(changes.size(), 4);

    // Emptied by the model: the alert goes, with no further write.
    app.model.setErrorMessage(QStringLiteral("dördüncü"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return itemNamed(app.window, QStringLiteral("alertMessage")) != nullptr; }, 5000));
    app.model.setErrorMessage(std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return itemNamed(app.window, QStringLiteral("alertMessage")) == nullptr; }, 5000));
    EXPECT_EQ(changes.size(), 6);
}

TEST(Window, RecentRowsHoverForgetAndOpen) {
    test::TempDir first;
    test::TempDir second;
    second.write("f", 8000);
    storeLocations({locationAt(first.path(), QStringLiteral("birinci")),
                    locationAt(second.path(), QStringLiteral("ikinci"))});
    App app;
    ASSERT_NE(app.window, nullptr);
    ASSERT_EQ(app.model.savedLocations().size(), 2);
    EXPECT_NE(itemNamed(app.window, QStringLiteral("recentHeading")), nullptr);
    QList<QQuickItem*> forget = itemsNamed(app.window, QStringLiteral("forgetButton"));
    ASSERT_EQ(forget.size(), 2);
    EXPECT_EQ(forget[0]->opacity(), 0.0);
    EXPECT_EQ(forget[1]->opacity(), 0.0);
    for (QQuickItem* date : itemsNamed(app.window, QStringLiteral("relativeDate")))
        EXPECT_FALSE(date->property("text").toString().isEmpty());

    // The pointer over the first row shows its button only.
    QQuickItem* firstRow = forget[0]->parentItem()->parentItem()->parentItem();
    QTest::mouseMove(app.window, centre(firstRow));
    EXPECT_TRUE(QTest::qWaitFor([&] { return forget[0]->opacity() == 1.0; }, 5000));
    EXPECT_EQ(forget[1]->opacity(), 0.0);

    // Forgetting removes the row without opening it.
    QTest::mouseMove(app.window, centre(forget[0]));
    click(app.window, forget[0]);
    EXPECT_EQ(app.model.savedLocations().size(), 1);
    EXPECT_EQ(app.model.screen(), Screen::select);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return itemsNamed(app.window, QStringLiteral("forgetButton")).size() == 1; }, 5000));

    // A click elsewhere on the row opens it.
    QQuickItem* left = itemsNamed(app.window, QStringLiteral("relativeDate")).front();
    click(app.window, left);
    EXPECT_EQ(app.model.screen(), Screen::scanning);
    EXPECT_EQ(app.model.pickedFolderName().value_or(QString()),
              QString::fromStdString(second.path()).section('/', -1));
    QQuickItem* location = itemNamed(app.window, QStringLiteral("locationLine"));
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(location->property("text").toString(), *app.model.pickedFolderName());
    QQuickItem* count = itemNamed(app.window, QStringLiteral("countLine"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->property("text").toString(), QStringLiteral("başlatılıyor…"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.model.screen() == Screen::results; }, 20000));
}

TEST(Window, ShimmerKeepsItsMinimumWidthAndMoves) {
    QQmlEngine engine;
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Tidewell/Ui/ShimmerBar.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> made(component.create());
    auto* bar = qobject_cast<QQuickItem*>(made.get());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->height(), 9.0);
    bar->setWidth(100);
    EXPECT_EQ(bar->property("highlightWidth").toDouble(), 60.0);
    bar->setWidth(170);
    EXPECT_EQ(bar->property("highlightWidth").toDouble(), 60.0);
    bar->setWidth(400);
    EXPECT_DOUBLE_EQ(bar->property("highlightWidth").toDouble(), 140.0);
    QQuickWindow window;
    window.resize(420, 20);
    bar->setParentItem(window.contentItem());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const double start = bar->property("phase").toDouble();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->property("phase").toDouble() != start; }, 5000));
    bar->setParentItem(nullptr);
}

TEST(Window, NodeMenuItemRules) {
    storeLocations({});
    test::TempDir tree;
    tree.write("file", 9000);
    App app;
    ASSERT_NE(app.window, nullptr);
    app.model.startScan(QString::fromStdString(tree.path()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.model.screen() == Screen::results; }, 20000));
    QObject* menu = app.window->findChild<QObject*>(QStringLiteral("nodeMenu"));
    ASSERT_NE(menu, nullptr);
    const auto openFor = [&](const NodeValue& node, bool enabled, bool inBasket) {
        QMetaObject::invokeMethod(menu, "openFor", Q_ARG(QVariant, QVariant::fromValue(node)),
                                  Q_ARG(bool, enabled), Q_ARG(bool, inBasket));
        return menu->property("count").toInt();
    };
    // The root may not be deleted: two items, no separator.
    EXPECT_EQ(openFor(NodeValue(app.model.root()), true, false), 2);
    QMetaObject::invokeMethod(menu, "close");
    FileNode* file = test::childNamed(app.model.root().get(), "file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(openFor(NodeValue(file), true, false), 4);
    QMetaObject::invokeMethod(menu, "close");
    EXPECT_EQ(openFor(NodeValue(file), false, false), 0);
    EXPECT_FALSE(menu->property("visible").toBool());

    // "Önizle" sets the preview's URL to the node's file.
    openFor(NodeValue(file), true, false);
    QMetaObject::invokeMethod(menu, "run", Q_ARG(QString, QStringLiteral("preview")));
    EXPECT_EQ(app.model.quickLookURL(), QUrl::fromLocalFile(QString::fromStdString(tree / "file")));
    // The basket item adds it.
    QMetaObject::invokeMethod(menu, "run", Q_ARG(QString, QStringLiteral("toggleBasket")));
    EXPECT_TRUE(app.model.isInBasket(file));
}

// What the preview reads of each kind of file, off the window's thread.
TEST(FilePreview, PicturesTextsAndFactsAndWhatCannotBeRead) {
    test::TempDir t;
    const QString dir = QString::fromStdString(t.path());
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir + "/p.png"));
    auto writeBytes = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    // 100 KB of text whose 64 KiB cut falls inside a two-byte character.
    QByteArray text(FilePreview::kTextBytes - 1, 'a');
    text += "\xc5\x9f" + QByteArray(40000, 'b');
    writeBytes("long.txt", text);
    writeBytes("blob.bin", QByteArray("\x7f\x45\x4c\x46\0\0\1", 7) + QByteArray(5000, '\0'));
    ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);

    using Kind = FilePreview::Kind;
    const FilePreview::Content p = FilePreview::read(dir + "/p.png");
    EXPECT_EQ(p.kind, Kind::Image);
    EXPECT_EQ(p.imageSize, QSize(40, 30));
    const FilePreview::Content l = FilePreview::read(dir + "/long.txt");
    EXPECT_EQ(l.kind, Kind::Text);
    EXPECT_TRUE(l.truncated);
    EXPECT_EQ(l.text.size(), FilePreview::kTextBytes - 1);
    const FilePreview::Content b = FilePreview::read(dir + "/blob.bin");
    EXPECT_EQ(b.kind, Kind::Info);
    EXPECT_FALSE(b.sizeText.isEmpty());
    const FilePreview::Content d = FilePreview::read(dir);
    EXPECT_EQ(d.kind, Kind::Info);
    EXPECT_EQ(d.kindText, QStringLiteral("Klasör"));
    // A FIFO is described, never opened (opening it would wait for a writer).
    const FilePreview::Content f = FilePreview::read(dir + "/pipe");
    EXPECT_EQ(f.kind, Kind::Info);
    EXPECT_EQ(f.kindText, QStringLiteral("Özel dosya"));
    const FilePreview::Content gone = FilePreview::read(dir + "/missing");
    EXPECT_TRUE(gone.problem.startsWith(QStringLiteral("Okunamadı"))) << gone.problem.toStdString();
}

TEST(Window, PreviewOpensOverTheScreenAndClosesThroughTheModel) {
    test::TempDir t;
    t.write("notes.txt", 0);
    {
        QFile f(QString::fromStdString(t / "notes.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ilk satır\nikinci satır\n");
    }
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString(t / "pic.png")));
    App app;
    ASSERT_NE(app.window, nullptr);
    const QUrl notes = QUrl::fromLocalFile(QString::fromStdString(t / "notes.txt"));
    app.model.setQuickLookURL(notes);
    QQuickItem* text = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            text = itemNamed(app.window, QStringLiteral("previewText"));
            return text != nullptr && text->property("text").toString().startsWith("ilk satır");
        },
        5000));
    QTest::keyClick(app.window, Qt::Key_Escape);
    EXPECT_TRUE(app.model.quickLookURL().isEmpty());
    EXPECT_EQ(itemNamed(app.window, QStringLiteral("previewCard")), nullptr);

    // The same file again opens again; Space closes it too.
    app.model.setQuickLookURL(notes);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return itemNamed(app.window, QStringLiteral("previewText")) != nullptr; }, 5000));
    QTest::keyClick(app.window, Qt::Key_Space);
    EXPECT_TRUE(app.model.quickLookURL().isEmpty());

    // A picture, closed with the close button.
    app.model.setQuickLookURL(QUrl::fromLocalFile(QString::fromStdString(t / "pic.png")));
    QQuickItem* image = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            image = itemNamed(app.window, QStringLiteral("previewImage"));
            return image != nullptr && image->property("status").toInt() == 1;  // Image.Ready
        },
        5000));
    QQuickItem* close = itemNamed(app.window, QStringLiteral("previewClose"));
    ASSERT_NE(close, nullptr);
    click(app.window, close);
    EXPECT_TRUE(app.model.quickLookURL().isEmpty());
}

}  // namespace
}  // namespace tidewell
