// tidewell: the desktop application. Makes the application's three
// long-lived objects in order (the model, the quick-clean model, the update
// checker) and opens the main window; `tidewell PATH` starts scanning PATH
// at once, `tidewell --version` prints the version and build.
#include <QtQml/qqmlextensionplugin.h>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QVersionNumber>

#include <cstdio>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version" || arg == "-v") {
            std::printf("tidewell %s (build %s)\n", TIDEWELL_VERSION, TIDEWELL_BUILD);
            return 0;
        }
    }

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TIDEWELL_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tidewell"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tidewell"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tidewell: where the space on a disk goes"));
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("Print the version and build, then exit.")});
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
    QObject::connect(&engine, &QQmlEngine::quit, &app, &QGuiApplication::quit);
    tidewell::WindowHub hub(engine, model, quickClean, updates);
    if (!scanPath.isEmpty()) model.startScan(scanPath);
    if (hub.openWindow() == nullptr) return 1;
    updates.startSchedule();
    return QGuiApplication::exec();
}
