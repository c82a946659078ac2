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

}  // namespace

QUrl nodeFileUrl(const QString& path, bool isDirectory) {
    QString p = path;
    if (isDirectory && !p.endsWith(QLatin1Char('/'))) p += QLatin1Char('/');
    return QUrl::fromLocalFile(p);
}

void revealInFileManager(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openContainingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kRevealTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, path] {
        if (watcher->isError()) openContainingFolder(path);
        watcher->deleteLater();
    });
}

}  // namespace tidewell
