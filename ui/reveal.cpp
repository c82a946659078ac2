#include "reveal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

namespace tidewell {

namespace {

// Long enough for a file manager that D-Bus has to start; the fallback
// still follows on its own when nothing answers.
constexpr int kRevealTimeoutMs = 3000;

void openContainingFolder(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void openFolder(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// Asks the file manager's `method` for `path`; `fallback` when it cannot answer.
void askFileManager(const QString& method, const QString& path, void (*fallback)(const QString&)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback(path);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kRevealTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, path, fallback] {
                         if (watcher->isError()) fallback(path);
                         watcher->deleteLater();
                     });
}

}  // namespace

QUrl nodeFileUrl(const QString& path, bool isDirectory) {
    QString p = path;
    if (isDirectory && !p.endsWith(QLatin1Char('/'))) p += QLatin1Char('/');
    return QUrl::fromLocalFile(p);
}

void revealInFileManager(const QString& path) {
    askFileManager(QStringLiteral("ShowItems"), path, &openContainingFolder);
}

void openFolderInFileManager(const QString& path) {
    askFileManager(QStringLiteral("ShowFolders"), path, &openFolder);
}

}  // namespace tidewell
