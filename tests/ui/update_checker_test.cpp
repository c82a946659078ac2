// The update checker against feeds served on the loopback address: a newer
// version, the same version, a malformed feed, a huge one and a server that
// never answers.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

#include "update_checker.h"

namespace tidewell {
namespace {

// Answers every request with `body` (or never, when `silent`).
class FeedServer {
  public:
    FeedServer(QByteArray body, bool silent = false) : body_(std::move(body)), silent_(silent) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n") || silent_) return;
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n"
                        "Connection: close\r\nContent-Length: " +
                        QByteArray::number(body_.size()) + "\r\n\r\n");
                    socket->write(body_);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(server_.serverPort()));
    }

  private:
    QTcpServer server_;
    QByteArray body_;
    bool silent_;
};

QByteArray appcast(const char* shortVersion) {
    return QByteArray(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><item><title>Tidewell</title>
<enclosure url="https://example.org/tidewell.deb" sparkle:version="7" sparkle:shortVersionString=")") +
           shortVersion + R"(" length="1"/></item></channel></rss>)";
}

struct Outcome {
    std::unique_ptr<QSignalSpy> available, current, failed;
};

Outcome check(UpdateChecker& checker) {
    Outcome o{std::make_unique<QSignalSpy>(&checker, &UpdateChecker::updateAvailable),
              std::make_unique<QSignalSpy>(&checker, &UpdateChecker::upToDate),
              std::make_unique<QSignalSpy>(&checker, &UpdateChecker::checkFailed)};
    EXPECT_TRUE(checker.canCheckForUpdates());
    checker.checkForUpdates();
    // While the check runs no other may start.
    EXPECT_FALSE(checker.canCheckForUpdates());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return o.available->size() + o.current->size() + o.failed->size() > 0; }, 20000));
    EXPECT_TRUE(checker.canCheckForUpdates());
    return o;
}

TEST(UpdateChecker, FeedsOnLoopback) {
    const QVersionNumber current(0, 1, 0);
    {
        FeedServer server(appcast("0.2.0"));
        UpdateChecker checker(server.url(), current);
        const Outcome o = check(checker);
        ASSERT_EQ(o.available->size(), 1);
        EXPECT_EQ(o.available->at(0).at(0).toString(), QStringLiteral("0.2.0"));
        EXPECT_EQ(o.available->at(0).at(1).toUrl(),
                  QUrl(QStringLiteral("https://example.org/tidewell.deb")));
    }
    {
        FeedServer server(appcast("0.1.0"));
        UpdateChecker checker(server.url(), current);
        const Outcome o = check(checker);
        EXPECT_EQ(o.current->size(), 1);
        EXPECT_EQ(o.available->size(), 0);
    }
    {
        FeedServer server("<rss><channel><item>");
        UpdateChecker checker(server.url(), current);
        const Outcome o = check(checker);
        ASSERT_EQ(o.failed->size(), 1);
        EXPECT_EQ(o.failed->at(0).at(0).toString(),
                  QStringLiteral("Güncelleme bilgisi okunamadı."));
    }
    {
        // Larger than the cap: refused, not read to the end.
        QByteArray huge = appcast("9.0.0");
        huge.append(QByteArray(UpdateChecker::kMaxFeedBytes + 4096, ' '));
        FeedServer server(huge);
        UpdateChecker checker(server.url(), current);
        const Outcome o = check(checker);
        EXPECT_EQ(o.failed->size(), 1);
        EXPECT_EQ(o.available->size(), 0);
    }
    {
        FeedServer server(QByteArray(), true);
        UpdateChecker checker(server.url(), current, nullptr, 300);
        const Outcome o = check(checker);
        ASSERT_EQ(o.failed->size(), 1);
        EXPECT_TRUE(o.failed->at(0).at(0).toString().startsWith(
            QStringLiteral("Güncelleme bilgisi alınamadı")));
    }
}

TEST(UpdateChecker, WithoutAFeedTheCommandStaysDisabled) {
    UpdateChecker checker(QUrl(), QVersionNumber(0, 1, 0));
    EXPECT_FALSE(checker.configured());
    EXPECT_FALSE(checker.canCheckForUpdates());
    QSignalSpy failed(&checker, &UpdateChecker::checkFailed);
    checker.checkForUpdates();
    QTest::qWait(50);
    EXPECT_EQ(failed.size(), 0);
}

}  // namespace
}  // namespace tidewell
