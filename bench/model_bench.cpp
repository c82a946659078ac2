// From startScan to the results screen on a large tree: a full scan, reopening
// the unchanged location, and reopening after one directory changed.
//
// usage: tidewell-model-bench TREE   (uses the XDG folders of the environment)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app_model.h"
#include "tree_cache.h"

using tidewell::AppModel;

namespace {

double openToResults(QCoreApplication& app, AppModel& model, const QString& path,
                     AppModel::RunReport* report) {
    model.resetToSelect();
    QElapsedTimer timer;
    timer.start();
    model.startScan(path);
    while (model.screen() == AppModel::Screen::scanning)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const double s = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (report != nullptr) *report = model.lastRunReport();
    model.waitForCacheSaves();
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TREE\n", argv[0]);
        return 2;
    }
    const std::string tree = argv[1];
    const QString path = QString::fromStdString(tree);
    AppModel model;
    std::vector<double> full, unchanged, oneDir;
    AppModel::RunReport report;
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove(*tidewell::TreeCache::filePath(tree));
        full.push_back(openToResults(app, model, path, &report));
        if (report.refreshed) std::fprintf(stderr, "expected a full scan\n");
        unchanged.push_back(openToResults(app, model, path, &report));
        if (!report.refreshed)
            std::fprintf(stderr, "unchanged: full scan (%s)\n",
                         report.fullScanReason.toUtf8().constData());
        // One directory changes: a file is added to it.
        std::ofstream(tree + "/bench-touch-" + std::to_string(round)) << "x";
        oneDir.push_back(openToResults(app, model, path, &report));
        if (!report.refreshed)
            std::fprintf(stderr, "one dir: full scan (%s)\n",
                         report.fullScanReason.toUtf8().constData());
        std::filesystem::remove(tree + "/bench-touch-" + std::to_string(round));
    }
    // A deletion run of 1,000 basket items to the Trash (XDG_DATA_HOME's).
    const std::string work = std::filesystem::temp_directory_path() / "tidewell-deletion-bench";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    for (int i = 0; i < 1000; ++i)
        std::ofstream(work + "/f" + std::to_string(i)) << std::string(5000, 'x');
    openToResults(app, model, QString::fromStdString(work), nullptr);
    for (tidewell::FileNode* c : model.root()->children()) model.toggleBasket(c);
    const qsizetype items = model.basket().size();
    QElapsedTimer deletion;
    deletion.start();
    bool finished = false;
    QObject::connect(&model, &AppModel::deletionFinished, [&] { finished = true; });
    model.deleteBasket(false);
    while (!finished) app.processEvents(QEventLoop::WaitForMoreEvents);
    const double deletionSeconds = static_cast<double>(deletion.nsecsElapsed()) / 1e9;
    std::filesystem::remove_all(work);

    std::printf("deletion run of %lld basket items to the Trash: %.3f s\n",
                static_cast<long long>(items), deletionSeconds);
    std::printf("startScan to results on %s (median of 3)\n", tree.c_str());
    std::printf("  full scan (no cache)          %.3f s\n", median(full));
    std::printf("  reopen, unchanged             %.3f s   %.3fx  (target <= 0.15x)\n",
                median(unchanged), median(unchanged) / median(full));
    std::printf("  reopen, one directory changed %.3f s   %.3fx  (target <= 0.20x)\n",
                median(oneDir), median(oneDir) / median(full));
    return 0;
}
