#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "platform_info.h"
#include "saved_locations.h"
#include "size_format.h"

namespace tidewell {

// Readable failures for the value records.
void PrintTo(const SavedLocation& l, std::ostream* os) {
    *os << "{" << l.path.toStdString() << ", " << l.name.toStdString() << ", "
        << (l.isFullDisk ? "disk" : "folder") << ", "
        << l.lastScan.toString(Qt::ISODateWithMs).toStdString() << ", " << l.bookmark.size()
        << " bookmark bytes}";
}

namespace {

QDateTime at(int day, int second = 0) {
    return QDateTime(QDate(2024, 5, day), QTime(10, 0, second), Qt::UTC);
}

SavedLocation folder(const QString& path, const QDateTime& when) {
    return {path, QFileInfo(path).fileName(), false, when, path.toUtf8()};
}

SavedLocation wholeDisk(const QDateTime& when) {
    return {QStringLiteral("/"), QStringLiteral("Sistem"), true, when, QByteArray("disk")};
}

QByteArray compact(const QJsonArray& array) {
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QJsonObject validObject() {
    return QJsonObject{{"path", "/home/u/Belgeler"},
                       {"name", "Belgeler"},
                       {"isFullDisk", false},
                       {"lastScan", 10.0},
                       {"bookmark", "AQID"}};
}

// ---- Stored form -----------------------------------------------------------

TEST(SavedLocationsCodec, RoundTrip) {
    const QList<SavedLocation> list = {
        wholeDisk(at(1)),
        {QStringLiteral("/home/u/Çalışma alanı"), QStringLiteral("Çalışma alanı"), false,
         QDateTime(QDate(2024, 5, 2), QTime(8, 30, 15, 125), Qt::UTC),
         QByteArray("\x00\xff\x10 binary", 10)},
        {QStringLiteral("/srv/empty-bookmark"), QStringLiteral("empty"), false,
         QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC), QByteArray()},
    };
    const std::optional<QList<SavedLocation>> decoded =
        decodeSavedLocations(encodeSavedLocations(list));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, list);
    for (const SavedLocation& l : *decoded) EXPECT_EQ(l.lastScan.timeSpec(), Qt::UTC);
}

TEST(SavedLocationsCodec, JsonShape) {
    const SavedLocation l{QStringLiteral("/home/u/Belgeler"), QStringLiteral("Belgeler"), false,
                          QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10), Qt::UTC),
                          QByteArray("\x01\x02\x03", 3)};
    const QByteArray text = encodeSavedLocations({l});

    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    ASSERT_TRUE(doc.isArray());
    ASSERT_EQ(doc.array().size(), 1);
    const QJsonObject o = doc.array().at(0).toObject();
    QStringList keys = o.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"bookmark", "isFullDisk", "lastScan", "name", "path"}));
    EXPECT_EQ(o.value("path"), QJsonValue("/home/u/Belgeler"));
    EXPECT_EQ(o.value("name"), QJsonValue("Belgeler"));
    EXPECT_EQ(o.value("isFullDisk"), QJsonValue(false));
    ASSERT_TRUE(o.value("lastScan").isDouble());
    EXPECT_EQ(o.value("lastScan").toDouble(), 10.0);
    EXPECT_EQ(o.value("bookmark"), QJsonValue("AQID"));
    // Whole seconds are written as a plain integer-looking number.
    EXPECT_TRUE(text.contains("\"lastScan\":10,")) << text.toStdString();
}

TEST(SavedLocationsCodec, MissingBookmarkFailsTheWholeList) {
    QJsonObject broken = validObject();
    broken.remove("bookmark");
    EXPECT_FALSE(decodeSavedLocations(compact({validObject(), broken})).has_value());
    EXPECT_TRUE(decodeSavedLocations(compact({validObject(), validObject()})).has_value());
}

// ---- Settings --------------------------------------------------------------

class SavedLocationsSettings : public testing::Test {
  protected:
    void SetUp() override { QSettings().remove(kSavedLocationsKey); }
    void TearDown() override { QSettings().remove(kSavedLocationsKey); }
};

TEST_F(SavedLocationsSettings, StoreThenLoadThroughTheApplicationSettings) {
    const QList<SavedLocation> list = {wholeDisk(at(1)), folder("/home/u/Müzik", at(2))};
    {
        QSettings settings;
        storeSavedLocations(settings, list);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
        EXPECT_EQ(QFileInfo(settings.fileName()).absoluteFilePath(),
                  QDir(QFile::decodeName(qgetenv("XDG_CONFIG_HOME")))
                      .filePath("Quillon/Brackwater.conf"));
        EXPECT_TRUE(QFileInfo::exists(settings.fileName()));
    }
    QSettings reread;
    EXPECT_EQ(loadSavedLocations(reread), list);
    EXPECT_EQ(reread.value(kSavedLocationsKey).toByteArray(), encodeSavedLocations(list));
}

// ---- Bookmarks -------------------------------------------------------------

TEST(Bookmarks, MalformedTokensDoNotResolve) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::optional<QByteArray> token = makeBookmark(dir.path());
    ASSERT_TRUE(token.has_value());
    ASSERT_TRUE(resolveBookmark(*token).has_value());

    EXPECT_FALSE(resolveBookmark(QByteArray()).has_value());
    EXPECT_FALSE(resolveBookmark("garbage").has_value());
    EXPECT_FALSE(resolveBookmark(dir.path().toUtf8()).has_value());
    EXPECT_FALSE(resolveBookmark(token->first(token->size() - 1)).has_value());
    EXPECT_FALSE(resolveBookmark(token->first(10)).has_value());
    EXPECT_FALSE(resolveBookmark(*token + "/").has_value());

    QByteArray wrongMagic = *token;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(resolveBookmark(wrongMagic).has_value());

    QByteArray wrongVersion = *token;
    wrongVersion[4] = 2;
    EXPECT_FALSE(resolveBookmark(wrongVersion).has_value());

    // Same length, but a NUL inside the path would name a different file.
    QByteArray embeddedNul = *token;
    embeddedNul[embeddedNul.size() - 1] = '\0';
    EXPECT_FALSE(resolveBookmark(embeddedNul).has_value());
}

// ---- Platform --------------------------------------------------------------

TEST(PlatformInfo, StartupDiskLabel) {
    // The capacity of the file system at "/", as statvfs gives it.
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs("/", &vfs), 0);
    const auto total = static_cast<std::int64_t>(vfs.f_blocks * vfs.f_frsize);
    EXPECT_EQ(startupDiskLabel().toStdString(), formatBytes(total) + " başlangıç diski");
}

TEST(PlatformInfo, RealHomeDirectory) {
    const QString home = realHomeDirectory();
    EXPECT_FALSE(home.isEmpty());
    EXPECT_TRUE(QDir::isAbsolutePath(home)) << home.toStdString();
    EXPECT_EQ(realHomeDirectory(), home);
}

}  // namespace
}  // namespace tidewell
