// tidewell: the desktop application. Makes the application's three
// long-lived objects in order (the model, the quick-clean model, the update
// checker) and opens the main window; the quick-clean panel opens from the
// tray icon, or from the window's menu where the desktop has no tray.
// `tidewell PATH` starts scanning PATH at once, `tidewell --version` prints
// the version and build.
#include <QtQml/qqmlextensionplugin.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVersionNumber>

#include <cstdio>
#include <optional>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "quick_clean_window.h"
#include "tray_icon.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace {

// `--startup-figure`: at the main window's first frame, prints the wall clock
// (milliseconds since the epoch, for a caller that noted the launch) and the
// time since main() began, then quits. bench/run-startup-bench uses it.
void reportFirstFrame(QQuickWindow& window, const QElapsedTimer& sinceMain) {
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [&sinceMain] {
            std::printf("first frame at %lld ms since the epoch, %lld ms after main()\n",
                        static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                        static_cast<long long>(sinceMain.elapsed()));
            std::fflush(stdout);
            QCoreApplication::quit();
        },
        Qt::SingleShotConnection);
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version" || arg == "-v") {
            std::printf("tidewell %s (build %s)\n", TIDEWELL_VERSION, TIDEWELL_BUILD);
            return 0;
        }
    }

    QApplication app(argc, argv);  // the tray icon's menu is a widget
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TIDEWELL_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tidewell"));
    // The desktop entry's name, so that Wayland compositors find its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillon.Tidewell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tidewell: where the space on a disk goes"));
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("Print the version and build, then exit.")});
    QCommandLineOption startupFigure(
        QStringLiteral("startup-figure"),
        QStringLiteral("Print when the first frame was drawn, then quit."));
    startupFigure.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(startupFigure);
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("A folder to scan at once (optional)."));
    parser.process(app);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "tidewell: give at most one folder to scan\n");
        return 2;
    }
    QString scanPath;
    if (!positional.isEmpty()) {
        const QFileInfo info(positional.front());
        if (!info.exists()) {
            std::fprintf(stderr, "tidewell: %s: no such file or folder\n",
                         qPrintable(positional.front()));
            return 2;
        }
        scanPath = info.absoluteFilePath();
    }

    tidewell::prepareInterface(app);

    // The three objects of the process, in this order, for its whole life.
    tidewell::AppModel model;
    tidewell::QuickCleanModel quickClean;
    tidewell::UpdateChecker updates(tidewell::UpdateChecker::configuredFeed(),
                                    QVersionNumber::fromString(QStringLiteral(TIDEWELL_VERSION)));

    QQmlEngine engine;
    QObject::connect(&engine, &QQmlEngine::quit, &app, &QApplication::quit);
    tidewell::WindowHub hub(engine, model, quickClean, updates);
    tidewell::QuickCleanWindow quickCleanWindow(engine, quickClean, hub);
    std::optional<tidewell::TrayIcon> tray;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray.emplace(quickCleanWindow, hub);
        // Closing the last window leaves Tidewell in the tray.
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        hub.setOffersQuickClean(true);
        QObject::connect(&hub, &tidewell::WindowHub::quickCleanRequested, &quickCleanWindow,
                         &tidewell::QuickCleanWindow::showAsWindow);
    }
    if (!scanPath.isEmpty()) model.startScan(scanPath);
    QQuickWindow* window = hub.openWindow();
    if (window == nullptr) return 1;
    if (parser.isSet(startupFigure)) reportFirstFrame(*window, sinceMain);
    if (tray) {
        // Loading the panel's view takes about 0.2 s: done once the window is
        // up, a tray click shows the panel at its next frame.
        QObject::connect(
            window, &QQuickWindow::frameSwapped, &quickCleanWindow,
            [&quickCleanWindow] {
                QTimer::singleShot(0, &quickCleanWindow,
                                   [&quickCleanWindow] { quickCleanWindow.prepare(); });
            },
            Qt::SingleShotConnection);
    }
    updates.startSchedule();
    return QApplication::exec();
}
