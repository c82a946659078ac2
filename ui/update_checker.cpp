#include "update_checker.h"

#include <QDesktopServices>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QXmlStreamReader>

namespace tidewell {

namespace {

constexpr char kSparkleNs[] = "http://www.andymatuschak.org/xml-namespaces/sparkle";

QVersionNumber itemVersion(const AppcastItem& item) {
    return QVersionNumber::fromString(item.shortVersion.isEmpty() ? item.version
                                                                  : item.shortVersion);
}

}  // namespace

std::optional<AppcastItem> newestAppcastItem(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::optional<AppcastItem> newest;
    std::optional<AppcastItem> item;
    const QString sparkle = QString::fromLatin1(kSparkleNs);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == QLatin1String("item")) {
                item = AppcastItem{};
            } else if (item && reader.namespaceUri() == sparkle &&
                       name == QLatin1String("version")) {
                item->version = reader.readElementText().trimmed();
            } else if (item && reader.namespaceUri() == sparkle &&
                       name == QLatin1String("shortVersionString")) {
                item->shortVersion = reader.readElementText().trimmed();
            } else if (item && name == QLatin1String("link") && reader.namespaceUri().isEmpty()) {
                if (item->downloadUrl.isEmpty())
                    item->downloadUrl = QUrl(reader.readElementText().trimmed());
            } else if (item && name == QLatin1String("enclosure")) {
                const auto attrs = reader.attributes();
                item->downloadUrl = QUrl(attrs.value(QLatin1String("url")).toString());
                if (attrs.hasAttribute(sparkle, QLatin1String("version")))
                    item->version = attrs.value(sparkle, QLatin1String("version")).toString();
                if (attrs.hasAttribute(sparkle, QLatin1String("shortVersionString")))
                    item->shortVersion =
                        attrs.value(sparkle, QLatin1String("shortVersionString")).toString();
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && item) {
            if (!itemVersion(*item).isNull() &&
                (!newest || itemVersion(*item) > itemVersion(*newest)))
                newest = item;
            item.reset();
        }
    }
    if (reader.hasError()) return std::nullopt;
    return newest;
}

UpdateChecker::UpdateChecker(QUrl feed, QVersionNumber currentVersion, QObject* parent,
                             int timeoutMs)
    : QObject(parent),
      feed_(std::move(feed)),
      current_(std::move(currentVersion)),
      timeoutMs_(timeoutMs) {
    schedule_.setSingleShot(true);
    connect(&schedule_, &QTimer::timeout, this, [this] {
        schedule_.start(kCheckIntervalMs);
        if (!reply_) check(false);
    });
}

QUrl UpdateChecker::configuredFeed() {
    QSettings settings;
    const QString fromSettings = settings.value(QStringLiteral("updateFeedURL")).toString();
    if (!fromSettings.isEmpty()) return QUrl(fromSettings);
#ifdef TIDEWELL_APPCAST_URL
    return QUrl(QStringLiteral(TIDEWELL_APPCAST_URL));
#else
    return {};
#endif
}

void UpdateChecker::startSchedule() {
    if (configured()) schedule_.start(kFirstCheckDelayMs);
}

void UpdateChecker::checkForUpdates() {
    if (canCheckForUpdates()) check(true);
}

void UpdateChecker::openDownload(const QUrl& url) {
    if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        QDesktopServices::openUrl(url);
}

void UpdateChecker::check(bool userInitiated) {
    if (!configured() || reply_) return;
    userInitiated_ = userInitiated;
    tooLarge_ = false;
    received_.clear();
    QNetworkRequest request(feed_);
    request.setTransferTimeout(timeoutMs_);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        received_ += reply_->readAll();
        if (received_.size() > kMaxFeedBytes) {
            tooLarge_ = true;
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::finish);
    emit canCheckForUpdatesChanged();
}

void UpdateChecker::finish() {
    QNetworkReply* reply = reply_;
    reply_.clear();
    reply->deleteLater();
    const bool user = userInitiated_;
    std::optional<QString> failure;
    std::optional<AppcastItem> newest;
    if (tooLarge_) {
        failure = QStringLiteral("Güncelleme bilgisi beklenenden büyük; denetim durduruldu.");
    } else if (reply->error() != QNetworkReply::NoError) {
        failure = QStringLiteral("Güncelleme bilgisi alınamadı: ") + reply->errorString();
    } else {
        received_ += reply->readAll();
        if (received_.size() > kMaxFeedBytes) {
            failure = QStringLiteral("Güncelleme bilgisi beklenenden büyük; denetim durduruldu.");
        } else {
            newest = newestAppcastItem(received_);
            if (!newest) failure = QStringLiteral("Güncelleme bilgisi okunamadı.");
        }
    }
    received_.clear();
    emit canCheckForUpdatesChanged();
    if (failure) {
        if (user) emit checkFailed(*failure);
        return;
    }
    const QVersionNumber offered = QVersionNumber::fromString(
        newest->shortVersion.isEmpty() ? newest->version : newest->shortVersion);
    if (offered > current_)
        emit updateAvailable(
            newest->shortVersion.isEmpty() ? newest->version : newest->shortVersion,
            newest->downloadUrl);
    else if (user)
        emit upToDate();
}

}  // namespace tidewell
