// The C++ behind the screens' texts, the node menu, the feedback mail and
// the appcast reader, against fixed dates, locales and feeds.
#include <gtest/gtest.h>

#include <QUrlQuery>

#include "feedback.h"
#include "node_menu.h"
#include "size_format.h"
#include "text_format.h"
#include "update_checker.h"

namespace tidewell {
namespace {

TEST(TextFormat, RelativeDatesUseTheLocalesNamedWords) {
    const QDateTime now(QDate(2024, 5, 15), QTime(14, 0));
    const QString tr = QStringLiteral("tr_TR");
    EXPECT_EQ(relativeDate(now.addSecs(-2), now, tr), QStringLiteral("şimdi"));
    EXPECT_EQ(relativeDate(now.addSecs(-5 * 60), now, tr), QStringLiteral("5 dakika önce"));
    EXPECT_EQ(relativeDate(now.addSecs(-3 * 3600), now, tr), QStringLiteral("3 saat önce"));
    // The previous calendar day is "yesterday" even when less than a day ago.
    EXPECT_EQ(relativeDate(QDateTime(QDate(2024, 5, 14), QTime(23, 0)), now, tr),
              QStringLiteral("dün"));
    EXPECT_EQ(relativeDate(now.addDays(-3), now, tr), QStringLiteral("3 gün önce"));
    EXPECT_EQ(relativeDate(now.addDays(-14), now, tr), QStringLiteral("2 hafta önce"));
    EXPECT_EQ(relativeDate(now.addMonths(-2), now, tr), QStringLiteral("2 ay önce"));
    EXPECT_EQ(relativeDate(now.addYears(-3), now, tr), QStringLiteral("3 yıl önce"));
    // A clock set back: the future reads as now.
    EXPECT_EQ(relativeDate(now.addDays(2), now, tr), QStringLiteral("şimdi"));
    EXPECT_EQ(relativeDate(now.addDays(-1), now, QStringLiteral("en_US")),
              QStringLiteral("yesterday"));
    EXPECT_EQ(relativeDate(QDateTime(), now, tr), QString());
}

TEST(TextFormat, ScanningLines) {
    const QString tr = QStringLiteral("tr_TR");
    EXPECT_EQ(scanCountLine(0, 0, tr), QStringLiteral("başlatılıyor…"));
    EXPECT_EQ(scanCountLine(-1, 500, tr), QStringLiteral("başlatılıyor…"));
    EXPECT_EQ(scanCountLine(1234567, 5600000, tr),
              QStringLiteral("1.234.567 öğe · ") + QString::fromStdString(formatBytes(5600000)));
    EXPECT_EQ(scanCountLine(7, 0, QStringLiteral("en_US")),
              QStringLiteral("7 öğe · ") + QString::fromStdString(formatBytes(0)));
    EXPECT_EQ(formatCount(1234, QStringLiteral("en_US")), QStringLiteral("1,234"));
    EXPECT_EQ(scanLocationLine(QString()), QStringLiteral("Klasör"));
    EXPECT_EQ(scanLocationLine(QStringLiteral("Projeler")), QStringLiteral("Projeler"));
    EXPECT_EQ(scanPathLine(QString()), QStringLiteral("taranıyor…"));
    EXPECT_EQ(scanPathLine(QStringLiteral("/a/b")), QStringLiteral("/a/b"));
}

TEST(NodeMenu, ItemRules) {
    using Kind = NodeMenuEntry::Kind;
    bool asked = false;
    const auto deletable = [&] {
        asked = true;
        return true;
    };
    const auto protectedItem = [&] {
        asked = true;
        return false;
    };
    // Disabled: nothing, and nothing asked.
    EXPECT_TRUE(nodeMenuEntries(false, false, deletable).empty());
    EXPECT_FALSE(asked);
    // A protected item outside the basket: two items, no separator.
    auto entries = nodeMenuEntries(true, false, protectedItem);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, Kind::preview);
    EXPECT_EQ(entries[0].title, QStringLiteral("Önizle"));
    EXPECT_EQ(entries[0].symbol, QStringLiteral("eye"));
    EXPECT_EQ(entries[1].kind, Kind::reveal);
    EXPECT_EQ(entries[1].title, QStringLiteral("Dosya Yöneticisinde Göster"));
    EXPECT_TRUE(asked);
    // A deletable item: separator and "add".
    entries = nodeMenuEntries(true, false, deletable);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2].kind, Kind::separator);
    EXPECT_EQ(entries[3].title, QStringLiteral("Sepete Ekle"));
    EXPECT_EQ(entries[3].symbol, QStringLiteral("plus.circle"));
    // In the basket: "remove" without asking, so a basket entry always leaves.
    asked = false;
    entries = nodeMenuEntries(true, true, protectedItem);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[3].title, QStringLiteral("Sepetten Çıkar"));
    EXPECT_EQ(entries[3].symbol, QStringLiteral("minus.circle"));
    EXPECT_FALSE(asked);
}

TEST(Feedback, MailCarriesVersionBuildAndSystem) {
    const QUrl url = feedbackMailUrl(QStringLiteral("geri@example.org"), QStringLiteral("1.2.0"),
                                     QStringLiteral("34"), QStringLiteral("Debian GNU/Linux 12"));
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), QStringLiteral("geri@example.org"));
    const QUrlQuery query(url);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].first, QStringLiteral("subject"));
    EXPECT_EQ(items[0].second, QStringLiteral("Tidewell Geri Bildirim"));
    EXPECT_EQ(items[1].first, QStringLiteral("body"));
    EXPECT_EQ(items[1].second,
              QStringLiteral("Merhaba Quillon,\n\n\n—\nSürüm: 1.2.0 (34) · Debian GNU/Linux 12"));
    // Spaces and line breaks travel percent-encoded, never as "+" or raw.
    const QString text = url.toString(QUrl::FullyEncoded);
    EXPECT_TRUE(text.contains(QStringLiteral("Merhaba%20Quillon%2C%0A%0A%0A")));
    EXPECT_FALSE(text.contains(QLatin1Char(' ')));
    EXPECT_FALSE(text.contains(QLatin1Char('+')));
    // No address: a message with no recipient.
    const QUrl bare = feedbackMailUrl(QString(), QStringLiteral("1"), QStringLiteral("1"),
                                      QStringLiteral("Linux"));
    EXPECT_TRUE(bare.isValid());
    EXPECT_TRUE(bare.toString().startsWith(QStringLiteral("mailto:?subject=")));
}

TEST(Appcast, NewestItemByVersion) {
    const QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Tidewell</title>
<item><title>0.9</title><sparkle:version>90</sparkle:version>
  <sparkle:shortVersionString>0.9.0</sparkle:shortVersionString>
  <enclosure url="https://example.org/0.9.deb" length="1"/></item>
<item><title>0.10</title>
  <enclosure url="https://example.org/0.10.deb" sparkle:version="100"
             sparkle:shortVersionString="0.10.0" length="1"/></item>
<item><title>no version</title><link>https://example.org/x</link></item>
</channel></rss>)";
    const auto newest = newestAppcastItem(feed);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->shortVersion, QStringLiteral("0.10.0"));
    EXPECT_EQ(newest->version, QStringLiteral("100"));
    EXPECT_EQ(newest->downloadUrl, QUrl(QStringLiteral("https://example.org/0.10.deb")));
    EXPECT_FALSE(newestAppcastItem("<rss><channel><item><title>x</item></rss>"));
    EXPECT_FALSE(newestAppcastItem("<rss><channel></channel></rss>"));
    EXPECT_FALSE(newestAppcastItem("not xml at all"));
}

}  // namespace
}  // namespace tidewell
