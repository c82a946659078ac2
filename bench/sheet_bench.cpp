// The three sheets of the window, from the real QML and model, offscreen with
// the software renderer, as medians of 5 (milliseconds):
//
//   - opening the smart cleanup, top files and Downloads sheets with their
//     results ready, from the call to the first frame that shows them;
//   - opening a smart-cleanup card of 50 rows, to the frame;
//   - a Downloads folder of 10,000 entries: the scan to the frame of its
//     list, opening the sheet, switching filters and ticking every entry.
//
// The scanned location is ROOT: the generated tree (tidewell-gentree ROOT/tree
// 1000000 --seed 1) beside a folder of 60 node_modules folders this program
// adds, so the smart cleanup has a full card. The Downloads folder is made in
// a temporary directory; settings, caches and the Trash go to throw-away folders.
//
// usage: tidewell-sheet-bench ROOT
#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>
#include <QVersionNumber>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "scratch_home.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace {

using tidewell::AppModel;
constexpr int kRounds = 5;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool wait(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 600000) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

class Frames {
  public:
    explicit Frames(QQuickWindow& window) : window_(window) {
        QObject::connect(&window, &QQuickWindow::frameSwapped, [this] { ++frames_; });
    }
    void next() {
        const int target = frames_ + 1;
        window_.update();
        while (frames_ < target) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // Milliseconds from `change` to the frame that shows it, median of kRounds;
    // `undo` runs after each round, outside the time.
    double time(const std::function<void()>& change, const std::function<void()>& undo) {
        std::vector<double> ms;
        for (int r = 0; r < kRounds; ++r) {
            next();
            QElapsedTimer timer;
            timer.start();
            change();
            next();
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            undo();
            next();
        }
        return median(ms);
    }

  private:
    QQuickWindow& window_;
    int frames_ = 0;
};

void touch(const QString& path, qint64 ageSeconds) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
    const timespec when{static_cast<time_t>(std::time(nullptr) - ageSeconds), 0};
    const timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, name.constData(), times, 0);
}

// The category card with the most items, among the window's items and its pop-ups'.
QQuickItem* cardWithMostItems(QQuickItem* item) {
    QQuickItem* best = item->objectName() == QLatin1String("categoryCard") ? item : nullptr;
    for (QQuickItem* child : item->childItems()) {
        QQuickItem* found = cardWithMostItems(child);
        if (found != nullptr && (best == nullptr || found->property("totalCount").toDouble() >
                                                        best->property("totalCount").toDouble()))
            best = found;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidewell-sheet-bench ROOT\n");
        return 2;
    }
    const tidewell::ScratchHome scratch;
    const QDir base = scratch.root();
    base.mkpath("Downloads");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));
    tidewell::prepareInterface(app);

    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int i = 0; i < 60; ++i) {
        const QString dir = QStringLiteral("bloat/p%1/node_modules").arg(i);
        root.mkpath(dir);
        QFile f(root.filePath(dir + "/index.js"));
        if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(4096 * (i + 1), 'x'));
    }

    AppModel model;
    tidewell::QuickCleanModel quickClean;
    tidewell::UpdateChecker updates(QUrl(), QVersionNumber(0, 1, 0));
    QQmlEngine engine;
    tidewell::WindowHub hub(engine, model, quickClean, updates);
    QQuickWindow* window = hub.openWindow();
    if (window == nullptr) return 1;
    Frames frames(*window);
    frames.next();

    model.startScan(root.path());
    if (!wait([&] { return model.screen() == AppModel::Screen::results; })) return 1;
    model.openSmartCleanup();
    model.openTopFiles();
    if (!wait([&] { return !model.isAnalyzingSmart() && !model.isAnalyzingTop(); })) return 1;
    model.setShowSmartCleanup(false);
    model.setShowTopFiles(false);
    std::printf("tree: %lld entries under %s\n", static_cast<long long>(model.progress().fileCount),
                qPrintable(root.path()));
    std::printf("smart cleanup: %zu categories; top files: %zu\n", model.smartResults()->size(),
                model.topFiles()->size());

    std::printf("medians of %d, ms (target: 50)\n", kRounds);
    const double smart =
        frames.time([&] { model.openSmartCleanup(); }, [&] { model.setShowSmartCleanup(false); });
    std::printf("  %-44s %8.1f\n", "open smart cleanup sheet", smart);
    const double top =
        frames.time([&] { model.openTopFiles(); }, [&] { model.setShowTopFiles(false); });
    std::printf("  %-44s %8.1f\n", "open top files sheet", top);

    // The card with the most items, opened.
    model.openSmartCleanup();
    frames.next();
    QQuickItem* card = cardWithMostItems(window->contentItem());
    if (card == nullptr) return 1;
    const double expand = frames.time([&] { card->setProperty("expanded", true); },
                                      [&] { card->setProperty("expanded", false); });
    std::printf("  %-44s %8.1f\n", "open a card of 50 rows", expand);
    model.setShowSmartCleanup(false);

    constexpr int kEntries = 10000;
    const QDir downloads(base.filePath("Downloads"));
    for (int i = 0; i < kEntries; ++i)
        touch(downloads.filePath(QStringLiteral("indirilen-%1.bin").arg(i)),
              static_cast<qint64>(i % 400) * 86400);
    model.setShowDownloads(true);
    std::vector<double> scans;
    for (int r = 0; r < kRounds; ++r) {
        frames.next();
        QElapsedTimer timer;
        timer.start();
        model.scanDownloads(downloads.path());
        if (!wait([&] { return !model.isScanningDownloads(); })) return 1;
        frames.next();
        scans.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("  %-44s %8.1f\n", "scan 10,000 Downloads entries to the list", median(scans));
    model.setShowDownloads(false);
    const double open =
        frames.time([&] { model.setShowDownloads(true); }, [&] { model.setShowDownloads(false); });
    std::printf("  %-44s %8.1f\n", "open Downloads sheet (10,000 entries)", open);
    model.setShowDownloads(true);
    const double filter =
        frames.time([&] { model.setDownloadsFilter(AppModel::DownloadsFilter::days90); },
                    [&] { model.setDownloadsFilter(AppModel::DownloadsFilter::all); });
    std::printf("  %-44s %8.1f\n", "switch filter Tümü → 90 gün+", filter);
    const double back =
        frames.time([&] { model.setDownloadsFilter(AppModel::DownloadsFilter::all); },
                    [&] { model.setDownloadsFilter(AppModel::DownloadsFilter::days90); });
    std::printf("  %-44s %8.1f\n", "switch filter 90 gün+ → Tümü", back);
    model.setDownloadsFilter(AppModel::DownloadsFilter::all);
    const double tick = frames.time([&] { model.toggleAllVisibleDownloads(); },
                                    [&] { model.toggleAllVisibleDownloads(); });
    std::printf("  %-44s %8.1f\n", "select all 10,000", tick);
    if (model.downloadsTree()->childCount() != kEntries) return 1;
    return 0;
}
