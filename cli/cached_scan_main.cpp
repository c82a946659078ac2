// tidewell-cli-cached: `tidewell-cli scan --cached PATH` runs here, so that the
// plain scanner stays free of Qt. It drives the application model's own scan
// path without a window: cache, change history, refresh or full scan, and a
// cache left up to date. `top --cached` and `smart --cached` come here too,
// with "--report=top" or "--report=smart" first, and print their report on
// the model's tree instead of the summary.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <charconv>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>

#include "app_model.h"
#include "display_text.h"
#include "paths.h"
#include "report_output.h"
#include "size_format.h"
#include "text_output.h"
#include "tree_summary.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void onInterrupt(int) {
    gInterrupted = 1;
}

int usage(std::optional<tidewell::cli::ReportKind> report) {
    if (!report)
        std::cerr << "Kullanım: tidewell-cli scan --cached YOL [--depth N]\n";
    else if (*report == tidewell::cli::ReportKind::topFiles)
        std::cerr << "Kullanım: tidewell-cli top --cached YOL [-n N]\n";
    else
        std::cerr << "Kullanım: tidewell-cli smart --cached YOL\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    int depth = 0;
    std::optional<tidewell::cli::ReportKind> reportKind;
    std::size_t limit = tidewell::cli::kDefaultTopFiles;
    int first = 1;
    if (argc > 1) {
        const std::string_view a = argv[1];
        if (a == "--report=top") reportKind = tidewell::cli::ReportKind::topFiles;
        if (a == "--report=smart") reportKind = tidewell::cli::ReportKind::smartCleanup;
        if (reportKind) first = 2;
    }
    for (int i = first; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-n" && reportKind == tidewell::cli::ReportKind::topFiles && i + 1 < argc) {
            const std::optional<std::size_t> n = tidewell::cli::parseFileLimit(argv[++i]);
            if (!n) return usage(reportKind);
            limit = *n;
        } else if (a == "--depth" && !reportKind && i + 1 < argc) {
            const std::optional<int> parsed = tidewell::cli::parseNumber<int>(argv[++i]);
            if (!parsed) return usage(reportKind);
            depth = *parsed;
        } else if (!a.starts_with("--") && path.empty()) {
            path = std::string(a);
        } else {
            return usage(reportKind);
        }
    }
    if (path.empty()) return usage(reportKind);
    // The model scans the real path of what was given and shows it by the given name.
    path = tidewell::absolutePath(path);
    if (!tidewell::realScanRoot(path)) {
        std::cerr << "tidewell-cli: " << tidewell::repairUtf8(path)
                  << " incelenemiyor: " << std::strerror(errno) << '\n';
        return 1;
    }

    QCoreApplication app(argc, argv);
    tidewell::AppModel model;
    const bool live = ::isatty(STDERR_FILENO) != 0;
    QObject::connect(&model, &tidewell::AppModel::progressChanged, [&] {
        if (!live) return;
        const tidewell::ScanProgress& p = model.progress();
        std::cerr << "\r\033[K" << tidewell::cli::formatCount(p.fileCount) << " öğe · "
                  << tidewell::formatBytes(p.byteCount) << " · "
                  << tidewell::repairUtf8(p.currentPath).substr(0, 60) << std::flush;
    });
    QObject::connect(&model, &tidewell::AppModel::screenChanged, &app, [&] {
        if (model.screen() != tidewell::AppModel::Screen::scanning) app.quit();
    });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer interruptWatch;
    QObject::connect(&interruptWatch, &QTimer::timeout, [&] {
        if (gInterrupted != 0) model.cancelScan();
    });
    interruptWatch.start(50);

    QElapsedTimer timer;
    timer.start();
    model.startScan(QString::fromStdString(path));
    if (model.screen() == tidewell::AppModel::Screen::scanning) app.exec();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (live) std::cerr << "\r\033[K" << std::flush;
    if (gInterrupted != 0) {
        std::cerr << "tidewell-cli: tarama iptal edildi\n";
        return 130;
    }
    if (model.screen() != tidewell::AppModel::Screen::results || !model.root()) {
        std::cerr << "tidewell-cli: " << tidewell::repairUtf8(path) << " incelenemiyor\n";
        return 1;
    }
    const tidewell::AppModel::RunReport& report = model.lastRunReport();
    if (report.refreshed)
        std::cout << "Önbellekten güncellendi: " << report.directoriesReread
                  << " klasör yeniden okundu · ";
    else
        std::cout << "Tam tarama (" << report.fullScanReason.toStdString() << ") · ";
    std::cout << tidewell::cli::formatSeconds(seconds) << '\n';

    const tidewell::FileNode* root = model.root().get();
    if (reportKind) {
        tidewell::cli::printReport(std::cout, *root, *reportKind, limit);
        std::cerr << tidewell::cli::unreadableLine(model.unreadableCount());
        model.waitForCacheSaves();
        return 0;
    }
    const auto counts = tidewell::cli::countSubtrees(root, depth);
    const tidewell::cli::SubtreeCounts total =
        root->isDirectory() ? counts.at(root) : tidewell::cli::SubtreeCounts{1, 0};
    std::cout << tidewell::repairUtf8(root->path()) << '\n'
              << "Toplam " << tidewell::formatBytes(root->size()) << " · "
              << tidewell::cli::formatCount(total.files + total.directories) << " öğe ("
              << tidewell::cli::formatCount(total.files) << " dosya, "
              << tidewell::cli::formatCount(total.directories) << " klasör)\n"
              << tidewell::cli::unreadableLine(model.unreadableCount());
    if (depth > 0) {
        std::cout << '\n';
        tidewell::cli::printTree(std::cout, root, depth);
    }
    // The cache is left up to date before the process ends.
    model.waitForCacheSaves();
    return 0;
}
