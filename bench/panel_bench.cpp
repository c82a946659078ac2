// The quick-clean panel from a tray click to its first frame, as the running
// application shows it: from the call a tray click makes (toggleBeside) to
// the frame the window then draws.
//
//   - the first showing, with the view made on the spot (the QML loaded);
//   - the first showing of a view prepared ahead, as tidewell does after its
//     window's first frame;
//   - later showings (median and worst of 20).
//
// Offscreen with the software renderer, in a throw-away home with ten cache
// folders; settings, caches and the Trash go to throw-away folders too.
//
// usage: tidewell-panel-bench
#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>
#include <QVersionNumber>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "quick_clean_window.h"
#include "scratch_home.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace {

const QRect kTrayIcon(1890, 2, 24, 24);

// Milliseconds from the tray click to the panel's first frame.
double clickToFrame(tidewell::QuickCleanWindow& panel) {
    QElapsedTimer timer;
    bool drawn = false;
    double ms = 0;
    const auto connection = QObject::connect(&panel, &tidewell::QuickCleanWindow::shown, [&] {
        ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        drawn = true;
    });
    timer.start();
    panel.toggleBeside(kTrayIcon);
    const bool inTime = QTest::qWaitFor([&] { return drawn; }, 10000);
    QObject::disconnect(connection);
    if (!inTime) ms = -1;  // never drawn
    panel.hide();
    QTest::qWait(50);  // let the hide settle, as between two real clicks
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const tidewell::ScratchHome scratch;
    if (!scratch.isValid()) return 1;
    const QDir root = scratch.root();
    root.mkpath(QStringLiteral("data/Trash/files"));
    for (const char* cache :
         {".npm", ".cache/pip", ".cache/yarn", ".gradle/caches", ".cargo/registry/cache",
          ".m2/repository", ".cache/go-build", ".cache/thumbnails", "Library/Caches/Homebrew"}) {
        const QString dir = root.filePath(QStringLiteral("home/") + QString::fromLatin1(cache));
        root.mkpath(dir);
        QFile f(dir + QStringLiteral("/blob"));
        if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(200000, 'x'));
    }

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));
    tidewell::prepareInterface(app);

    tidewell::AppModel model;
    tidewell::QuickCleanModel quickClean(root.filePath(QStringLiteral("home")));
    tidewell::UpdateChecker updates(QUrl(), QVersionNumber(0, 1, 0));
    QQmlEngine engine;
    tidewell::WindowHub hub(engine, model, quickClean, updates);
    // The running application: its main window is up.
    if (hub.openWindow() == nullptr) return 1;
    QTest::qWait(300);

    std::printf("quick-clean panel, tray click to first frame (%zu rows)\n",
                quickClean.rows().size());
    {
        tidewell::QuickCleanWindow panel(engine, quickClean, hub);
        std::printf("  first showing, view made on the click:   %7.1f ms\n", clickToFrame(panel));
    }
    tidewell::QuickCleanWindow panel(engine, quickClean, hub);
    if (!panel.prepare()) return 1;
    QTest::qWait(100);
    std::printf("  first showing, view prepared ahead:      %7.1f ms\n", clickToFrame(panel));
    std::vector<double> later;
    for (int i = 0; i < 20; ++i) later.push_back(clickToFrame(panel));
    std::sort(later.begin(), later.end());
    std::printf("  later showings, median of 20:            %7.1f ms\n", later[later.size() / 2]);
    std::printf("  later showings, worst of 20:             %7.1f ms\n", later.back());
    return 0;
}
