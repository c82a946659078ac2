#include "feedback.h"

#include <QUrlQuery>

namespace tidewell {

QUrl feedbackMailUrl(const QString& address, const QString& version, const QString& build,
                     const QString& systemVersion) {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address);
    QUrlQuery query;
    // Spaces and line breaks are percent-encoded; "+" would reach the mail
    // program as a plus.
    const auto encode = [](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    query.addQueryItem(QStringLiteral("subject"), encode(QStringLiteral("Tidewell Geri Bildirim")));
    query.addQueryItem(
        QStringLiteral("body"),
        encode(QStringLiteral("Merhaba Quillon,\n\n\n—\nSürüm: ") + version + QStringLiteral(" (") +
               build + QStringLiteral(") · ") + systemVersion));
    url.setQuery(query);
    return url;
}

}  // namespace tidewell
