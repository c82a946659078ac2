// The Qt tests need a QCoreApplication with the production names for their
// event loop, and settings, caches and the Trash must only ever be throw-away
// folders. The variables are set here rather than by ctest because test
// discovery runs this binary at build time without ctest's environment.
#include <gtest/gtest.h>

#if defined(QT_WIDGETS_LIB)
#include <QApplication>
// The window's tray menu needs one; QtTest's events then take it for granted.
using TestApplication = QApplication;
#elif defined(TIDEWELL_GUI_TESTS)
#include <QGuiApplication>
using TestApplication = QGuiApplication;  // painted items need one
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder: %s\n",
                     qPrintable(scratch.errorString()));
        return 1;
    }
    const QDir root(scratch.path());
    for (const char* sub : {"config", "data", "cache", "state", "runtime"}) root.mkpath(sub);
    // QStandardPaths ignores a runtime folder that others can read.
    QFile::setPermissions(root.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath("cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root.filePath("state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root.filePath("runtime")));

    TestApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
