// The results screen of the real window (the application's own QML and
// model) on a large tree:
//
//   - the end of a full scan of TREE to the first frame of the results
//     screen: from the model switching to results to the frame that shows it;
//   - focusing a folder of 100,000 files: from setPath to the frame;
//   - a hover frame with the folder list and a basket of 3 items shown: from
//     moving the hover to another child of the focus to the frame;
//   - the process's resident memory per tree entry with TREE shown, over the
//     window on the select screen before the scan.
//
// Medians of 5 (hover: of 50). Frames are timed to the window's
// frameSwapped, on whichever platform and renderer Qt picks: run it under
// Xvfb (run-results-bench does) for an X11 window. The 100,000-file folder
// is made in a temporary directory and removed afterwards; settings, caches
// and Trash go to the environment's XDG folders.
//
// usage: tidewell-results-bench TREE
#include <QtQml/qqmlextensionplugin.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>
#include <QTimer>
#include <QVersionNumber>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "tree_cache.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

using namespace tidewell;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// One turn of the event loop as exec() would run it: processEvents alone
// leaves deferred deletions (the screens the window let go of) undone.
void turn() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) turn();
}

// Times from a start mark to the next frame the window puts on screen.
class FrameClock {
  public:
    explicit FrameClock(QQuickWindow* window) : window_(window) {
        clock_.start();
        // Emitted on the render thread where there is one: only the time is kept there.
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [this] { swappedAt_.store(clock_.nsecsElapsed()); }, Qt::DirectConnection);
    }
    // Milliseconds from `change` (made at once) to the end of the next frame.
    double time(const std::function<void()>& change) {
        swappedAt_.store(-1);
        const qint64 start = clock_.nsecsElapsed();
        change();
        window_->requestUpdate();
        return waitFrom(start);
    }
    // Milliseconds from `start` (on this clock) to the end of the next frame.
    double waitFrom(qint64 start) {
        QElapsedTimer limit;
        limit.start();
        while (swappedAt_.load() < start && limit.elapsed() < 10000) turn();
        return static_cast<double>(swappedAt_.load() - start) / 1e6;
    }
    void reset() { swappedAt_.store(-1); }
    qint64 now() const { return clock_.nsecsElapsed(); }

  private:
    QQuickWindow* window_;
    QElapsedTimer clock_;
    std::atomic<qint64> swappedAt_{-1};
};

std::size_t entriesBelow(const FileNode* node) {
    std::size_t n = 1;
    for (const FileNode* c : node->children()) n += entriesBelow(c);
    return n;
}

// Scans `path` (after dropping its cache) and returns milliseconds from the
// switch to the results screen to its first frame.
double scanToResults(AppModel& model, FrameClock& frames, const std::string& path) {
    model.resetToSelect();
    settle(50);
    if (std::optional<std::string> cache = TreeCache::filePath(path)) std::remove(cache->c_str());
    qint64 switched = -1;
    const QMetaObject::Connection c = QObject::connect(&model, &AppModel::screenChanged, [&] {
        if (model.screen() == AppModel::Screen::results) {
            switched = frames.now();
            frames.reset();
        }
    });
    model.startScan(QString::fromStdString(path));
    while (switched < 0) turn();
    QObject::disconnect(c);
    const double ms = frames.waitFrom(switched);
    model.waitForCacheSaves();
    return ms;
}

void focusChild(AppModel& model, FileNode* child) {
    QList<NodeRef> chain;
    for (FileNode* a = child; a != nullptr; a = a->parent()) chain.prepend(NodeRef(a));
    model.setPath(std::move(chain));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TREE\n", argv[0]);
        return 2;
    }
    const std::string tree = argv[1];
    QGuiApplication app(argc, argv);
    prepareInterface(app);
    AppModel model;
    QuickCleanModel quickClean;
    UpdateChecker updates(QUrl(), QVersionNumber(0, 1, 0));
    QQmlEngine engine;
    WindowHub hub(engine, model, quickClean, updates);
    QQuickWindow* window = hub.openWindow();
    if (window == nullptr) return 1;
    window->resize(1440, 900);
    FrameClock frames(window);
    settle(500);
    const long baseKiB = residentKiB();

    std::vector<double> toResults;
    std::vector<long> shownKiB;
    for (int round = 0; round < 5; ++round) {
        toResults.push_back(scanToResults(model, frames, tree));
        settle(300);
        shownKiB.push_back(residentKiB());
    }
    const std::size_t entries = entriesBelow(model.root().get());

    // Hover frames at the tree's root, three items in the basket.
    FileNode* root = model.root().get();
    std::vector<FileNode*> children(root->children().begin(), root->children().end());
    for (std::size_t i = 0; i < std::min<std::size_t>(3, children.size()); ++i)
        model.toggleBasket(children[children.size() - 1 - i]);
    settle(300);
    std::vector<double> hover;
    for (int i = 0; i < 50 && children.size() >= 2; ++i) {
        FileNode* next = children[static_cast<std::size_t>(i % 2)];
        hover.push_back(frames.time([&] { model.setHovered(next); }));
        settle(20);
    }

    // A folder of 100,000 files beside a small one.
    QTemporaryDir work;
    const std::string wide = work.path().toStdString() + "/wide";
    std::filesystem::create_directories(wide);
    std::filesystem::create_directories(work.path().toStdString() + "/small");
    std::ofstream(work.path().toStdString() + "/small/f") << "x";
    for (int i = 0; i < 100000; ++i) std::ofstream(wide + "/f" + std::to_string(i));
    scanToResults(model, frames, work.path().toStdString());
    FileNode* wideNode = nullptr;
    for (FileNode* c : model.root()->children())
        if (c->name() == "wide") wideNode = c;
    std::vector<double> focusing;
    for (int round = 0; round < 5 && wideNode != nullptr; ++round) {
        focusing.push_back(frames.time([&] { focusChild(model, wideNode); }));
        settle(200);
        frames.time([&] { model.goUp(); });
        settle(200);
    }

    std::printf("results screen of the window (%s, %s), %zu entries in %s\n",
                qPrintable(QGuiApplication::platformName()),
                window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software
                    ? "software renderer"
                    : "hardware scene graph",
                entries, tree.c_str());
    std::printf("  end of a full scan to the first results frame   %7.1f ms  (median of 5)\n",
                median(toResults));
    std::printf("  focusing a folder of 100,000 files to its frame %7.1f ms  (median of 5)\n",
                median(focusing));
    std::printf("  hover frame, folder list and 3-item basket      %7.1f ms  (median of 50)\n",
                median(hover));
    const auto perEntry = [&](long kib) {
        return static_cast<double>(kib) * 1024.0 / static_cast<double>(entries);
    };
    std::printf(
        "  resident memory: %ld MiB on the select screen; with the tree shown, after "
        "the first scan %ld MiB, after the fifth %ld MiB\n",
        baseKiB / 1024, shownKiB.front() / 1024, shownKiB.back() / 1024);
    std::printf(
        "  per entry over the select screen: %.1f B after the first scan, %.1f B after "
        "the fifth\n",
        perEntry(shownKiB.front() - baseKiB), perEntry(shownKiB.back() - baseKiB));
    return 0;
}
