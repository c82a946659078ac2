// The list models as the screens use them: real QML ListViews rendered
// offscreen over trees scanned from real temporary folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTest>
#include <ctime>
#include <memory>
#include <set>
#include <string>

#include "app_model.h"
#include "temp_tree.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)

namespace tidewell {
namespace {

using test::childNamed;
using test::TempDir;

bool scanned(AppModel& model, const std::string& path) {
    model.startScan(QString::fromStdString(path));
    return QTest::qWaitFor([&] { return model.screen() == AppModel::Screen::results; }, 20000);
}

// One QML item, given the model as `app`, shown in an offscreen window.
class QmlView {
  public:
    QmlView(AppModel& model, const QByteArray& qml, int w = 300, int h = 200) {
        QQmlComponent component(&engine_);
        component.setData(qml, QUrl());
        if (!component.isReady()) {
            error_ = component.errorString();
            return;
        }
        std::unique_ptr<QObject> made(
            component.createWithInitialProperties({{"app", QVariant::fromValue(&model)}}));
        if (!made) {
            error_ = component.errorString();
            return;
        }
        item_.reset(qobject_cast<QQuickItem*>(made.release()));
        window_.resize(w, h);
        item_->setParentItem(window_.contentItem());
        window_.show();
        ok_ = QTest::qWaitForWindowExposed(&window_);
    }
    ~QmlView() { item_.reset(); }
    bool ok() const { return ok_ && item_; }
    const QString& error() const { return error_; }
    QQuickItem* item() const { return item_.get(); }
    QQuickItem* find(const char* name) const { return item_->findChild<QQuickItem*>(name); }

  private:
    // Once per process, before the first window: the scene graph's backend.
    static bool softwareBackend() {
        static const bool set = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return true;
        }();
        return set;
    }

    [[maybe_unused]] bool backend_ = softwareBackend();
    QQmlEngine engine_;
    QQuickWindow window_;
    std::unique_ptr<QQuickItem> item_;
    QString error_;
    bool ok_ = false;
};

// The delegate a ListView made for `row`, or null.
QQuickItem* delegateAt(QQuickItem* list, int row) {
    QQuickItem* out = nullptr;
    QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, out), Q_ARG(int, row));
    return out;
}

// Waits for the view to have laid out its rows (a frame has been drawn).
bool laidOut(QQuickItem* list, int expectedCount) {
    return QTest::qWaitFor(
        [&] {
            return list->property("count").toInt() == expectedCount &&
                   (expectedCount == 0 || delegateAt(list, 0) != nullptr);
        },
        5000);
}

struct Change {
    int first;
    int last;
    QList<int> roles;
};

std::vector<Change> changes(const QSignalSpy& spy) {
    std::vector<Change> out;
    for (const QList<QVariant>& args : spy)
        out.push_back({args[0].value<QModelIndex>().row(), args[1].value<QModelIndex>().row(),
                       args[2].value<QList<int>>()});
    return out;
}

const QByteArray kChildrenView = R"(
    import QtQuick
    import Tidewell.Model
    ListView {
        required property AppModel app
        objectName: "list"
        width: 300; height: 200
        model: app.children
        delegate: Rectangle {
            required property node node
            required property string name
            required property real size
            required property real fraction
            required property color colour
            required property bool isDirectory
            required property bool hasChildren
            required property bool inBasket
            required property bool covered
            required property bool canDelete
            width: ListView.view.width; height: 20
            color: colour
        }
    }
)";

// The folder list's rows: the focus's children largest first with their
// shares and the map's colours; walking into a folder lays them out anew.
TEST(ChildrenModel, ListViewShowsTheFocusedFoldersChildren) {
    TempDir t;
    t.mkdir("big");
    t.write("big/one", 300000);
    t.write("big/two", 100000);
    t.write("mid", 200000);
    t.mkdir("empty");
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    QmlView view(model, kChildrenView);
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    ASSERT_TRUE(laidOut(list, 3));

    const std::int64_t total = model.root()->size();
    const char* names[] = {"big", "mid", "empty"};
    // Hues -8, 71 and 150 at saturation 0.66, lightness 0.54.
    const QColor colours[] = {QColor(215, 60, 81), QColor(187, 215, 60), QColor(60, 215, 138)};
    for (int r = 0; r < 3; ++r) {
        QQuickItem* row = delegateAt(list, r);
        ASSERT_NE(row, nullptr) << r;
        const FileNode* node = childNamed(model.root().get(), names[r]);
        EXPECT_EQ(row->property("name").toString(), names[r]);
        EXPECT_TRUE(row->property("node").value<NodeValue>().node() == node);
        EXPECT_EQ(row->property("size").toDouble(), static_cast<double>(node->size()));
        EXPECT_DOUBLE_EQ(row->property("fraction").toDouble(),
                         static_cast<double>(node->size()) / static_cast<double>(total));
        EXPECT_EQ(row->property("colour").value<QColor>(), colours[r]) << r;
        EXPECT_EQ(row->property("isDirectory").toBool(), r != 1);
        EXPECT_EQ(row->property("hasChildren").toBool(), r == 0);
        EXPECT_FALSE(row->property("inBasket").toBool());
        EXPECT_FALSE(row->property("covered").toBool());
        EXPECT_TRUE(row->property("canDelete").toBool());
    }

    // Into "big": a reset, then its two files; one child alone would get hue -8.
    QSignalSpy resets(model.childItems(), &QAbstractItemModel::modelReset);
    model.jumpTo(NodeValue(childNamed(model.root().get(), "big")));
    EXPECT_EQ(resets.count(), 1);
    ASSERT_TRUE(laidOut(list, 2));
    EXPECT_EQ(delegateAt(list, 0)->property("name").toString(), "one");
    EXPECT_EQ(delegateAt(list, 1)->property("name").toString(), "two");
    EXPECT_EQ(delegateAt(list, 1)->property("colour").value<QColor>(), colours[2]);
    // The same focus again is no navigation: no reset.
    model.jumpTo(NodeValue(model.focus()));
    EXPECT_EQ(resets.count(), 1);
    model.goUp();
    EXPECT_EQ(resets.count(), 2);
    ASSERT_TRUE(laidOut(list, 3));

    // An empty folder: no rows; back to the select screen: none either.
    model.jumpTo(NodeValue(childNamed(model.root().get(), "empty")));
    ASSERT_TRUE(laidOut(list, 0));
    model.resetToSelect();
    EXPECT_EQ(model.childItems()->rowCount(), 0);
}

// A basket toggle tells exactly the rows whose marks changed, never resets,
// and the list stays where it was scrolled to.
TEST(ChildrenModel, BasketTogglesTellOnlyTheTouchedRows) {
    TempDir t;
    t.mkdir("sub");
    for (int i = 0; i < 150; ++i) t.write("sub/f" + std::to_string(i), 0);
    t.mkdir("sub/deeper");
    t.write("sub/deeper/x", 0);
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    FileNode* sub = childNamed(model.root().get(), "sub");
    model.jumpTo(NodeValue(sub));
    QmlView view(model, kChildrenView);
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    ASSERT_TRUE(laidOut(list, 151));
    list->setProperty("contentY", 1600.0);  // rows 80 to 89 in sight
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegateAt(list, 85) != nullptr; }, 5000));
    const double scrolled = list->property("contentY").toDouble();

    ChildrenModel* rows = model.childItems();
    auto nodeAt = [&](int r) {
        return rows->data(rows->index(r), ChildrenModel::NodeRole).value<NodeValue>();
    };
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
    const QList<int> marks{ChildrenModel::InBasketRole, ChildrenModel::CoveredRole};

    // One row in sight.
    model.toggleBasket(nodeAt(85));
    ASSERT_EQ(changed.count(), 1);
    auto c = changes(changed);
    EXPECT_EQ(c[0].first, 85);
    EXPECT_EQ(c[0].last, 85);
    EXPECT_EQ(c[0].roles, marks);
    EXPECT_TRUE(delegateAt(list, 85)->property("inBasket").toBool());
    EXPECT_TRUE(delegateAt(list, 85)->property("covered").toBool());
    EXPECT_FALSE(delegateAt(list, 86)->property("covered").toBool());

    // A row out of sight, then the first one out again.
    changed.clear();
    model.toggleBasket(nodeAt(3));
    model.toggleBasket(nodeAt(85));
    c = changes(changed);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].first, 3);
    EXPECT_EQ(c[0].last, 3);
    EXPECT_EQ(c[1].first, 85);
    EXPECT_EQ(c[1].last, 85);
    EXPECT_FALSE(delegateAt(list, 85)->property("inBasket").toBool());

    // A node below a row changes no row's marks.
    changed.clear();
    model.toggleBasket(NodeValue(childNamed(childNamed(sub, "deeper"), "x")));
    EXPECT_EQ(model.basket().size(), 2);
    EXPECT_EQ(changed.count(), 0);

    // The focused folder itself: every row is now covered, none in the basket.
    model.toggleBasket(NodeValue(sub));
    c = changes(changed);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].first, 0);
    EXPECT_EQ(c[0].last, 150);
    EXPECT_EQ(c[0].roles, QList<int>{ChildrenModel::CoveredRole});
    EXPECT_TRUE(delegateAt(list, 86)->property("covered").toBool());
    EXPECT_FALSE(delegateAt(list, 86)->property("inBasket").toBool());

    // A category of several rows at once: neighbouring rows as one range.
    changed.clear();
    model.setBasket({NodeRef(sub), nodeAt(3).ref(), nodeAt(40).ref(), nodeAt(41).ref(),
                     nodeAt(42).ref(), nodeAt(100).ref()});
    c = changes(changed);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(std::make_pair(c[0].first, c[0].last), std::make_pair(40, 42));
    EXPECT_EQ(std::make_pair(c[1].first, c[1].last), std::make_pair(100, 100));

    EXPECT_EQ(resets.count(), 0);
    QTest::qWait(50);
    EXPECT_EQ(list->property("contentY").toDouble(), scrolled);
}

// Whether a row may be deleted is a look at the disk: only rows a view
// reads are asked, once each until the rows are laid out anew.
TEST(ChildrenModel, CanDeleteOnlyForRowsRead) {
    TempDir t;
    for (int i = 0; i < 300; ++i) t.write("f" + std::to_string(i), 0);
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    ChildrenModel* rows = model.childItems();
    EXPECT_EQ(rows->canDeleteEvaluations(), 0);

    QmlView view(model, kChildrenView);
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    ASSERT_TRUE(laidOut(list, 300));
    // Ten rows in sight plus the view's cache: far from all 300.
    const std::int64_t shown = rows->canDeleteEvaluations();
    EXPECT_GE(shown, 10);
    EXPECT_LT(shown, 60);
    EXPECT_EQ(delegateAt(list, 299), nullptr);

    // Scrolling to the end asks the rows that come into sight, and going back
    // asks nothing again.
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegateAt(list, 299) != nullptr; }, 5000));
    const std::int64_t atEnd = rows->canDeleteEvaluations();
    EXPECT_GT(atEnd, shown);
    EXPECT_LT(atEnd, 120);
    QMetaObject::invokeMethod(list, "positionViewAtBeginning");
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegateAt(list, 0) != nullptr; }, 5000));
    EXPECT_EQ(rows->canDeleteEvaluations(), atEnd);
    EXPECT_TRUE(rows->data(rows->index(0), ChildrenModel::CanDeleteRole).toBool());
    EXPECT_EQ(rows->canDeleteEvaluations(), atEnd);

    // A tree change lays the rows out anew and forgets the answers.
    model.toggleBasket(rows->data(rows->index(0), ChildrenModel::NodeRole).value<NodeValue>());
    QSignalSpy done(&model, &AppModel::deletionFinished);
    model.deleteBasket(false);
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    ASSERT_TRUE(laidOut(list, 299));
    EXPECT_GT(rows->canDeleteEvaluations(), atEnd);
    EXPECT_LT(rows->canDeleteEvaluations(), atEnd + 60);
}

// The basket panel's rows follow the basket one entry at a time, with the
// entry count and total size as properties that tell their changes.
TEST(BasketModel, RowsCountAndTotalFollowTheBasket) {
    TempDir t;
    t.mkdir("a");
    t.mkdir("a/b");
    const std::int64_t deep = test::allocatedBytes(t.write("a/b/deep", 40000));
    const std::int64_t loose = test::allocatedBytes(t.write("loose", 8000));
    t.write("other", 4000);
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    FileNode* root = model.root().get();
    FileNode* deepNode = childNamed(childNamed(childNamed(root, "a"), "b"), "deep");

    QmlView view(model, R"(
        import QtQuick
        import Tidewell.Model
        ListView {
            required property AppModel app
            property int shownCount: app.basketItems.count
            property real shownTotal: app.basketItems.total
            width: 300; height: 200
            model: app.basketItems
            delegate: Text {
                required property node node
                required property string name
                required property real size
                required property string location
                required property bool isDirectory
                text: name + " " + location
            }
        })");
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    BasketModel* basket = model.basketItems();
    QSignalSpy inserted(basket, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(basket, &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(basket, &QAbstractItemModel::modelReset);
    QSignalSpy counts(basket, &BasketModel::countChanged);
    QSignalSpy totals(basket, &BasketModel::totalChanged);

    model.toggleBasket(deepNode);
    model.toggleBasket(childNamed(root, "loose"));
    ASSERT_TRUE(laidOut(list, 2));
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(counts.count(), 2);
    EXPECT_EQ(totals.count(), 2);
    EXPECT_EQ(list->property("shownCount").toInt(), 2);
    EXPECT_EQ(list->property("shownTotal").toDouble(), static_cast<double>(deep + loose));
    const std::string rootName = t.path().substr(t.path().rfind('/') + 1);
    EXPECT_EQ(delegateAt(list, 0)->property("name").toString(), "deep");
    EXPECT_EQ(delegateAt(list, 0)->property("location").toString().toStdString(),
              rootName + " › a › b");
    EXPECT_EQ(delegateAt(list, 1)->property("location").toString().toStdString(), rootName);
    EXPECT_EQ(delegateAt(list, 1)->property("size").toDouble(), static_cast<double>(loose));

    // The row's own remove button: one row out, the other stays.
    model.removeFromBasket(NodeValue(deepNode));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.first()[1].toInt(), 0);
    ASSERT_TRUE(laidOut(list, 1));
    // The view moves the remaining row up at its next layout.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return delegateAt(list, 0)->property("name").toString() == "loose"; }, 5000));
    EXPECT_EQ(list->property("shownTotal").toDouble(), static_cast<double>(loose));
    EXPECT_EQ(resets.count(), 0);

    // A new scan empties it.
    ASSERT_TRUE(scanned(model, t.path()));
    ASSERT_TRUE(laidOut(list, 0));
    EXPECT_EQ(list->property("shownTotal").toDouble(), 0.0);
}

void setAge(const std::string& path, qint64 seconds) {
    const timespec when{static_cast<time_t>(std::time(nullptr) - seconds), 0};
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// The downloads sheet's rows: the entries the filter lets through, with
// their ticks and dates; ticking all tells the rows in one range.
TEST(DownloadsModel, ListViewShowsVisibleEntriesTicksAndDates) {
    TempDir home;
    home.mkdir("Downloads");
    for (int i = 0; i < 40; ++i) {
        const std::string entry = home.write("Downloads/old" + std::to_string(i), 0);
        setAge(entry, 100 * 86400);
    }
    home.write("Downloads/new.zip", 30000);
    AppModel model;
    model.scanDownloads(QString::fromStdString(home / "Downloads"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isScanningDownloads(); }, 10000));

    QmlView view(model, R"(
        import QtQuick
        import Tidewell.Model
        ListView {
            required property AppModel app
            width: 300; height: 200
            model: app.downloadItems
            delegate: Text {
                required property node node
                required property string name
                required property real size
                required property bool isDirectory
                required property bool selected
                required property var date
                height: 20
                text: name + (selected ? " ✓" : "")
            }
        })");
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    ASSERT_TRUE(laidOut(list, 41));
    // Largest first: the one file with blocks.
    QQuickItem* first = delegateAt(list, 0);
    EXPECT_EQ(first->property("name").toString(), "new.zip");
    EXPECT_FALSE(first->property("isDirectory").toBool());
    const QDateTime newDate = first->property("date").toDateTime();
    EXPECT_LE(std::abs(newDate.secsTo(QDateTime::currentDateTimeUtc())), 60);
    const QDateTime oldDate = delegateAt(list, 1)->property("date").toDateTime();
    EXPECT_NEAR(static_cast<double>(oldDate.secsTo(QDateTime::currentDateTimeUtc())), 100.0 * 86400,
                60);

    DownloadsModel* rows = model.downloadItems();
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
    model.toggleDownloadSelection(delegateAt(list, 2)->property("node").value<NodeValue>());
    auto c = changes(changed);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(std::make_pair(c[0].first, c[0].last), std::make_pair(2, 2));
    EXPECT_EQ(c[0].roles, QList<int>{DownloadsModel::SelectedRole});
    EXPECT_TRUE(delegateAt(list, 2)->property("selected").toBool());

    // Select all: the other 40 rows, told as two ranges around row 2.
    changed.clear();
    model.toggleAllVisibleDownloads();
    c = changes(changed);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(std::make_pair(c[0].first, c[0].last), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(c[1].first, c[1].last), std::make_pair(3, 40));
    EXPECT_TRUE(delegateAt(list, 0)->property("selected").toBool());
    EXPECT_EQ(resets.count(), 0);

    // "30 gün+": a reset to the 40 old entries, still ticked.
    model.setDownloadsFilter(AppModel::DownloadsFilter::days30);
    EXPECT_EQ(resets.count(), 1);
    ASSERT_TRUE(laidOut(list, 40));
    EXPECT_NE(delegateAt(list, 0)->property("name").toString(), "new.zip");
    EXPECT_TRUE(delegateAt(list, 0)->property("selected").toBool());
}

// The top-files sheet's rows: ranks, paths and marks; putting a folder in
// the basket marks the files below it and no others.
TEST(TopFilesModel, RanksPathsAndMarks) {
    TempDir t;
    t.mkdir("a");
    t.write("a/big", 90000);
    t.write("a/mid", 50000);
    t.write("small", 10000);
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    QmlView view(model, R"(
        import QtQuick
        import Tidewell.Model
        ListView {
            required property AppModel app
            width: 300; height: 200
            model: app.topFileItems
            delegate: Text {
                required property node node
                required property int rank
                required property string name
                required property string path
                required property real size
                required property bool inBasket
                required property bool covered
                required property bool canDelete
                required property bool attached
                text: rank + " " + name
            }
        })");
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QQuickItem* list = view.item();
    model.openTopFiles();
    ASSERT_TRUE(laidOut(list, 3));
    const char* names[] = {"big", "mid", "small"};
    const char* paths[] = {"/a/big", "/a/mid", "/small"};
    for (int r = 0; r < 3; ++r) {
        QQuickItem* row = delegateAt(list, r);
        EXPECT_EQ(row->property("rank").toInt(), r + 1);
        EXPECT_EQ(row->property("name").toString(), names[r]);
        EXPECT_EQ(row->property("path").toString().toStdString(), t.path() + paths[r]);
        EXPECT_TRUE(row->property("canDelete").toBool());
        EXPECT_TRUE(row->property("attached").toBool());
    }

    TopFilesModel* rows = model.topFileItems();
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    model.toggleBasket(childNamed(model.root().get(), "a"));
    auto c = changes(changed);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].first, 0);
    EXPECT_EQ(c[1].first, 1);
    EXPECT_TRUE(delegateAt(list, 0)->property("covered").toBool());
    EXPECT_FALSE(delegateAt(list, 0)->property("inBasket").toBool());
    EXPECT_FALSE(delegateAt(list, 2)->property("covered").toBool());

    // Deleting the folder: the rows are laid out anew and its files are detached.
    QSignalSpy done(&model, &AppModel::deletionFinished);
    model.deleteBasket(false);
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    ASSERT_TRUE(laidOut(list, 3));
    EXPECT_FALSE(delegateAt(list, 0)->property("attached").toBool());
    EXPECT_FALSE(delegateAt(list, 0)->property("canDelete").toBool());
    EXPECT_TRUE(delegateAt(list, 2)->property("attached").toBool());
}

// A node value QML kept from a subtree that was deleted since, or from an
// older tree, is refused by every operation that takes one.
TEST(NodeValue, StaleValuesAreRefusedEverywhere) {
    TempDir t;
    t.mkdir("doomed");
    t.mkdir("doomed/inner");
    t.write("doomed/inner/file", 9000);  // the largest: the first row
    t.mkdir("kept");
    t.write("kept/file", 5000);
    TempDir home;
    home.mkdir("Downloads");
    home.write("Downloads/gone.zip", 9000);
    home.write("Downloads/stays.zip", 5000);
    AppModel model;
    ASSERT_TRUE(scanned(model, t.path()));
    model.scanDownloads(QString::fromStdString(home / "Downloads"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isScanningDownloads(); }, 10000));

    QmlView view(model, R"(
        import QtQuick
        import Tidewell.Model
        Item {
            id: probe
            required property AppModel app
            property node folder
            property node file
            property node entry
            function keep() {
                const doomed = app.children.data(app.children.index(0, 0), 257);
                folder = doomed;
                app.jumpTo(doomed);
                app.jumpTo(app.children.data(app.children.index(0, 0), 257));
                file = app.children.data(app.children.index(0, 0), 257);
                entry = app.downloadItems.data(app.downloadItems.index(0, 0), 257);
            }
            // Every operation on the kept values; what each answered.
            function tryAll() {
                const before = app.basket.length;
                app.toggleBasket(file);
                app.toggleBasket(folder);
                const basketGrew = app.basket.length !== before;
                app.removeFromBasket(file);
                const focusBefore = app.focus;
                app.jumpTo(folder);
                app.jumpTo(file);
                const moved = !app.focus.sameNode(focusBefore);
                app.hovered = file;
                const hovered = app.hovered !== undefined;
                app.path = [app.root, folder];
                const pathTaken = app.path.length !== 1;
                app.toggleDownloadSelection(entry);
                return {
                    basketGrew: basketGrew,
                    moved: moved,
                    hovered: hovered,
                    pathTaken: pathTaken,
                    deletable: app.canDelete(file) || app.canDelete(folder),
                    inBasket: app.isInBasket(file) || app.isInBasket(folder),
                    ticked: app.isDownloadSelected(entry) || app.downloadsSelection.length > 0,
                    dated: app.downloadDate(entry) !== undefined,
                    stillFile: file.isValid && file.name === "file"
                };
            }
        })");
    ASSERT_TRUE(view.ok()) << view.error().toStdString();
    QObject* probe = view.item();
    ASSERT_TRUE(QMetaObject::invokeMethod(probe, "keep"));
    const FileNode* doomed = childNamed(model.root().get(), "doomed");
    ASSERT_EQ(probe->property("folder").value<NodeValue>().node(), doomed);
    ASSERT_EQ(probe->property("file").value<NodeValue>().node()->name(), "file");
    ASSERT_EQ(probe->property("entry").value<NodeValue>().node()->name(), "gone.zip");
    // While they are live, they work.
    EXPECT_TRUE(model.canDelete(probe->property("file").value<NodeValue>()));
    EXPECT_NE(model.downloadDate(probe->property("entry").value<NodeValue>()), QVariant());

    // New trees: the kept values belong to the old ones.
    model.resetToSelect();
    ASSERT_TRUE(scanned(model, t.path()));
    model.scanDownloads(QString::fromStdString(home / "Downloads"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isScanningDownloads(); }, 10000));
    QVariant result;
    ASSERT_TRUE(QMetaObject::invokeMethod(probe, "tryAll", Q_RETURN_ARG(QVariant, result)));
    auto check = [&](const char* when) {
        const QVariantMap r = result.toMap();
        for (const char* refused : {"basketGrew", "moved", "hovered", "pathTaken", "deletable",
                                    "inBasket", "ticked", "dated"})
            EXPECT_FALSE(r.value(refused).toBool()) << refused << " " << when;
        EXPECT_TRUE(r.value("stillFile").toBool()) << when;
        EXPECT_TRUE(model.basket().isEmpty()) << when;
        EXPECT_EQ(model.path().size(), 1) << when;
        EXPECT_EQ(model.hovered(), nullptr) << when;
    };
    check("older tree");

    // Now values of the current trees, after their subtree or entry was deleted.
    ASSERT_TRUE(QMetaObject::invokeMethod(probe, "keep"));
    ASSERT_EQ(probe->property("entry").value<NodeValue>().node(), model.downloadsTree()->child(0));
    model.toggleBasket(NodeValue(childNamed(model.root().get(), "doomed")));
    QSignalSpy done(&model, &AppModel::deletionFinished);
    model.deleteBasket(false);
    ASSERT_TRUE(done.wait(10000) || done.count() == 1);
    ASSERT_FALSE(model.errorMessage());
    model.toggleDownloadSelection(probe->property("entry").value<NodeValue>());
    QSignalSpy trashed(&model, &AppModel::downloadsTrashFinished);
    model.trashSelectedDownloads();
    ASSERT_TRUE(trashed.wait(10000) || trashed.count() == 1);
    ASSERT_FALSE(model.errorMessage());
    ASSERT_TRUE(QMetaObject::invokeMethod(probe, "tryAll", Q_RETURN_ARG(QVariant, result)));
    check("deleted subtree");
    EXPECT_EQ(model.downloadsTree()->childCount(), 1u);
}

}  // namespace
}  // namespace tidewell
