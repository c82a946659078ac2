// The lists of the results screen and the downloads sheet in a QML ListView,
// fed by the list models against the plain QVariantList faces they replace:
//
//   - the first frame of a folder list of 30,000 and of 100,000 rows, from
//     making the ListView to the frame that shows its rows;
//   - ticking every entry of a 3,000-entry Downloads folder, from the call to
//     the frame that shows the ticks.
//
// Medians of 5, offscreen with the software renderer. The folders are made
// in a temporary directory and removed afterwards; the settings, caches and
// Trash go to throw-away folders.
//
// usage: tidewell-list-bench
#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_model.h"
#include "scratch_home.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)

namespace {

using tidewell::AppModel;
using tidewell::FileNode;
using tidewell::NodeValue;

// The faces the views had before the list models: whole lists as
// QVariantLists, built on every read, and the ticks as a list that QML
// searched with indexOf (here by row, as the old entries' numbers were).
class OldFaces : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList children READ children CONSTANT)
    Q_PROPERTY(QVariantList ticks READ ticks NOTIFY ticksChanged)

  public:
    explicit OldFaces(AppModel& app) : app_(app) {
        connect(&app, &AppModel::downloadsSelectionChanged, this, &OldFaces::ticksChanged);
    }
    QVariantList children() const {
        QVariantList out;
        if (FileNode* focus = app_.focus())
            for (FileNode* c : focus->children()) out.push_back(QVariant::fromValue(NodeValue(c)));
        return out;
    }
    QVariantList ticks() const {
        QVariantList out;
        const std::vector<FileNode*> visible = app_.visibleDownloads();
        for (std::size_t i = 0; i < visible.size(); ++i)
            if (app_.downloadsSelection().contains(visible[i])) out.push_back(static_cast<int>(i));
        return out;
    }

  signals:
    void ticksChanged();

  private:
    AppModel& app_;
};

const QByteArray kNewFolderList = R"(
    import QtQuick
    import Tidewell.Model
    ListView {
        required property AppModel app
        required property QtObject old
        anchors.fill: parent
        model: app.children
        delegate: Rectangle {
            required property string name
            required property real size
            required property real fraction
            required property color colour
            required property bool covered
            required property bool canDelete
            width: ListView.view.width; height: 36
            color: colour
            Text { text: name + " " + size + " " + fraction + covered + canDelete }
        }
    })";

const QByteArray kOldFolderList = R"(
    import QtQuick
    import Tidewell.Model
    ListView {
        id: list
        required property AppModel app
        required property QtObject old
        anchors.fill: parent
        model: old.children
        delegate: Rectangle {
            required property var modelData
            required property int index
            width: ListView.view.width; height: 36
            color: Qt.hsla(((index / Math.max(1, list.count - 1)) * 158 - 8 + 360) % 360 / 360,
                           0.66, 0.54, 1)
            Text {
                text: modelData.name + " " + modelData.size + " "
                      + modelData.size / list.app.focus.size
                      + list.app.isInBasket(modelData) + list.app.canDelete(modelData)
            }
        }
    })";

const QByteArray kNewDownloads = R"(
    import QtQuick
    import Tidewell.Model
    ListView {
        required property AppModel app
        required property QtObject old
        anchors.fill: parent
        model: app.downloadItems
        delegate: Text {
            required property string name
            required property real size
            required property bool selected
            height: 30
            text: (selected ? "[x] " : "[ ] ") + name + " " + size
        }
    })";

const QByteArray kOldDownloads = R"(
    import QtQuick
    import Tidewell.Model
    ListView {
        required property AppModel app
        required property QtObject old
        anchors.fill: parent
        model: app.visibleDownloads
        delegate: Text {
            required property var modelData
            required property int index
            height: 30
            text: (old.ticks.indexOf(index) >= 0 ? "[x] " : "[ ] ") + modelData.name + " "
                  + modelData.size
        }
    })";

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class Bench {
  public:
    Bench(AppModel& app, OldFaces& old) : app_(app), old_(old) {
        window_.resize(420, 900);
        window_.show();
        QObject::connect(&window_, &QQuickWindow::frameSwapped, [this] { ++frames_; });
        nextFrame();
    }

    // Milliseconds from making the view to the frame that shows it.
    double firstFrame(const QByteArray& qml, int expectedRows) {
        QQmlComponent component(&engine_);
        component.setData(qml, QUrl());
        if (!component.isReady()) {
            std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
            std::exit(1);
        }
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<QObject> made(component.createWithInitialProperties(
            {{"app", QVariant::fromValue(&app_)}, {"old", QVariant::fromValue(&old_)}}));
        auto* view = qobject_cast<QQuickItem*>(made.get());
        view->setParentItem(window_.contentItem());
        nextFrame();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        check(view, expectedRows);
        view->setParentItem(nullptr);
        made.reset();
        nextFrame();
        return ms;
    }

    // Milliseconds from ticking every visible entry to the frame that shows it.
    double tickAll(const QByteArray& qml) {
        QQmlComponent component(&engine_);
        component.setData(qml, QUrl());
        std::unique_ptr<QObject> made(component.createWithInitialProperties(
            {{"app", QVariant::fromValue(&app_)}, {"old", QVariant::fromValue(&old_)}}));
        auto* view = qobject_cast<QQuickItem*>(made.get());
        view->setParentItem(window_.contentItem());
        nextFrame();
        QElapsedTimer timer;
        timer.start();
        app_.toggleAllVisibleDownloads();
        nextFrame();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (app_.downloadsSelection().empty()) std::fprintf(stderr, "nothing was ticked\n");
        app_.toggleAllVisibleDownloads();  // untick for the next round
        nextFrame();
        view->setParentItem(nullptr);
        made.reset();
        nextFrame();
        return ms;
    }

  private:
    void nextFrame() {
        const int target = frames_ + 1;
        window_.update();
        while (frames_ < target) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    static void check(QQuickItem* view, int expectedRows) {
        if (view->property("count").toInt() != expectedRows)
            std::fprintf(stderr, "the view has %d rows, not %d\n", view->property("count").toInt(),
                         expectedRows);
    }

    AppModel& app_;
    OldFaces& old_;
    QQmlEngine engine_;
    QQuickWindow window_;
    int frames_ = 0;
};

void makeFiles(const QString& folder, int n) {
    QDir().mkpath(folder);
    for (int i = 0; i < n; ++i)
        std::ofstream((folder + "/entry-" + QString::number(i)).toStdString()) << i;
}

bool wait(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 120000) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const tidewell::ScratchHome scratch;
    const QDir base = scratch.root();
    base.mkpath("trees");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));

    AppModel model;
    OldFaces old(model);
    Bench bench(model, old);
    constexpr int kRounds = 5;

    std::printf("first frame of the folder list (median of %d, ms)\n", kRounds);
    std::printf("  %-8s %14s %14s\n", "rows", "QVariantList", "list model");
    for (const int rows : {30000, 100000}) {
        const QString folder = base.filePath("trees/rows-" + QString::number(rows));
        makeFiles(folder, rows);
        model.startScan(folder);
        if (!wait([&] { return model.screen() == AppModel::Screen::results; })) return 1;
        std::vector<double> oldMs, newMs;
        for (int r = 0; r < kRounds; ++r) {
            oldMs.push_back(bench.firstFrame(kOldFolderList, rows));
            newMs.push_back(bench.firstFrame(kNewFolderList, rows));
        }
        std::printf("  %-8d %14.1f %14.1f\n", rows, median(oldMs), median(newMs));
        model.resetToSelect();
        QDir(folder).removeRecursively();
    }

    constexpr int kDownloads = 3000;
    const QString downloads = base.filePath("trees/Downloads");
    makeFiles(downloads, kDownloads);
    model.scanDownloads(downloads);
    if (!wait([&] { return !model.isScanningDownloads(); })) return 1;
    std::vector<double> oldMs, newMs;
    for (int r = 0; r < kRounds; ++r) {
        oldMs.push_back(bench.tickAll(kOldDownloads));
        newMs.push_back(bench.tickAll(kNewDownloads));
    }
    std::printf("tick every one of %d Downloads entries, to the frame (median of %d, ms)\n",
                kDownloads, kRounds);
    std::printf("  %-8s %14s %14s\n", "", "QVariantList", "list model");
    std::printf("  %-8s %14.1f %14.1f\n", "", median(oldMs), median(newMs));
    return 0;
}

#include "list_bench.moc"
