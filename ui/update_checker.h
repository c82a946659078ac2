// Our own small update checker: reads an appcast (RSS items carrying a
// version, a short version and a download link) from a feed URL, after
// launch and then daily, and on request. Without a feed it never checks and
// the menu command stays disabled.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVersionNumber>

#include <optional>

namespace tidewell {

struct AppcastItem {
    QString version;       // the build ("sparkle:version")
    QString shortVersion;  // shown to the user ("sparkle:shortVersionString")
    QUrl downloadUrl;      // the enclosure, else the item's link
};

// The newest item of an appcast, by short version (else version); nothing
// when the text is not well-formed XML or has no item with a version.
std::optional<AppcastItem> newestAppcastItem(const QByteArray& xml);

class UpdateChecker : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the one update checker is made in C++")
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool configured READ configured CONSTANT)

  public:
    // Feeds larger than this are refused: an appcast is a few kilobytes.
    static constexpr qint64 kMaxFeedBytes = 1 << 20;
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr int kFirstCheckDelayMs = 10000;
    static constexpr int kCheckIntervalMs = 24 * 60 * 60 * 1000;

    UpdateChecker(QUrl feed, QVersionNumber currentVersion, QObject* parent = nullptr,
                  int timeoutMs = kDefaultTimeoutMs);

    // The feed of the settings ("updateFeedURL"), else the one set at build time.
    static QUrl configuredFeed();

    bool configured() const { return feed_.isValid() && !feed_.isEmpty(); }
    bool canCheckForUpdates() const { return configured() && !reply_; }

    // Starts the scheduled checks: one after launch, then daily.
    void startSchedule();
    // A check the user asked for: every outcome is reported.
    Q_INVOKABLE void checkForUpdates();
    // Opens a download link (http or https only).
    Q_INVOKABLE void openDownload(const QUrl& url);

  signals:
    void canCheckForUpdatesChanged();
    // Scheduled checks report only a newer version.
    void updateAvailable(const QString& version, const QUrl& downloadUrl);
    void upToDate();
    void checkFailed(const QString& message);

  private:
    void check(bool userInitiated);
    void finish();

    QUrl feed_;
    QVersionNumber current_;
    int timeoutMs_;
    QNetworkAccessManager network_;
    QPointer<QNetworkReply> reply_;
    QByteArray received_;
    bool userInitiated_ = false;
    bool tooLarge_ = false;
    QTimer schedule_;
};

}  // namespace tidewell
