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

QStringList paths(const QList<SavedLocation>& list) {
    QStringList out;
    for (const SavedLocation& l : list) out << l.path;
    return out;
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

TEST(SavedLocationsCodec, EmptyListRoundTrips) {
    EXPECT_EQ(encodeSavedLocations({}), QByteArray("[]"));
    const auto decoded = decodeSavedLocations("[]");
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(decoded->isEmpty());
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

TEST(SavedLocationsCodec, LastScanKeepsFractionsAndEarlierDates) {
    auto lastScanOf = [](const QDateTime& when) {
        const SavedLocation l{"/x", "x", false, when, {}};
        return QJsonDocument::fromJson(encodeSavedLocations({l}))
            .array()
            .at(0)
            .toObject()
            .value("lastScan")
            .toDouble();
    };
    EXPECT_EQ(lastScanOf(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10, 250), Qt::UTC)), 10.25);
    EXPECT_EQ(lastScanOf(QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59), Qt::UTC)), -1.0);
    // 2024-01-01T00:00:00Z is 725760000 s after the reference moment.
    EXPECT_EQ(lastScanOf(QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)), 725760000.0);
    // A local-time date stores the same instant.
    const QDateTime utc(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(lastScanOf(utc.toLocalTime()), lastScanOf(utc));

    QJsonObject o = validObject();
    o["lastScan"] = 725760000.5;
    const auto decoded = decodeSavedLocations(compact({o}));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->at(0).lastScan, QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0, 500), Qt::UTC));
}

TEST(SavedLocationsCodec, MissingBookmarkFailsTheWholeList) {
    QJsonObject broken = validObject();
    broken.remove("bookmark");
    EXPECT_FALSE(decodeSavedLocations(compact({validObject(), broken})).has_value());
    EXPECT_TRUE(decodeSavedLocations(compact({validObject(), validObject()})).has_value());
}

TEST(SavedLocationsCodec, EveryKeyIsRequiredWithItsType) {
    const QJsonValue wrong[] = {QJsonValue(1), QJsonValue(true), QJsonValue("x"), QJsonValue(),
                                QJsonValue(QJsonArray{})};
    for (const QString key : {"path", "name", "isFullDisk", "lastScan", "bookmark"}) {
        QJsonObject missing = validObject();
        missing.remove(key);
        EXPECT_FALSE(decodeSavedLocations(compact({missing})).has_value()) << key.toStdString();
        const QJsonValue right = validObject().value(key);
        for (const QJsonValue& w : wrong) {
            if (w.type() == right.type()) continue;
            QJsonObject o = validObject();
            o[key] = w;
            EXPECT_FALSE(decodeSavedLocations(compact({o})).has_value())
                << key.toStdString() << " as type " << w.type();
        }
    }
}

TEST(SavedLocationsCodec, RejectsInvalidBase64AndNonLists) {
    for (const char* bad : {"!!!!", "AQI*", "Çalış"}) {
        QJsonObject o = validObject();
        o["bookmark"] = QString::fromUtf8(bad);
        EXPECT_FALSE(decodeSavedLocations(compact({o})).has_value()) << bad;
    }
    EXPECT_FALSE(decodeSavedLocations("").has_value());
    EXPECT_FALSE(decodeSavedLocations("not json").has_value());
    EXPECT_FALSE(decodeSavedLocations(QJsonDocument(validObject()).toJson(QJsonDocument::Compact))
                     .has_value());
    EXPECT_FALSE(decodeSavedLocations(compact({validObject(), 5})).has_value());
    EXPECT_FALSE(decodeSavedLocations("[{\"path\":\"/a\"").has_value());
}

// ---- List rules ------------------------------------------------------------

TEST(SavedLocationsList, SevenFoldersKeepTheFiveNewest) {
    QList<SavedLocation> list;
    for (int i = 1; i <= 7; ++i) list = withLocation(list, folder(QString("/f%1").arg(i), at(i)));
    EXPECT_EQ(paths(list), (QStringList{"/f7", "/f6", "/f5", "/f4", "/f3"}));
    EXPECT_FALSE(wholeDiskLocation(list).has_value());
    EXPECT_EQ(recentLocations(list), list);
}

TEST(SavedLocationsList, WholeDiskAfterFiveFoldersComesFirst) {
    QList<SavedLocation> list;
    for (int i = 1; i <= 5; ++i) list = withLocation(list, folder(QString("/f%1").arg(i), at(i)));
    list = withLocation(list, wholeDisk(at(10)));
    EXPECT_EQ(paths(list), (QStringList{"/", "/f5", "/f4", "/f3", "/f2", "/f1"}));

    // The whole disk does not count against the five, and stays first.
    list = withLocation(list, folder("/f6", at(11)));
    EXPECT_EQ(paths(list), (QStringList{"/", "/f6", "/f5", "/f4", "/f3", "/f2"}));
    ASSERT_TRUE(wholeDiskLocation(list).has_value());
    EXPECT_EQ(wholeDiskLocation(list)->lastScan, at(10));
    EXPECT_EQ(paths(recentLocations(list)), (QStringList{"/f6", "/f5", "/f4", "/f3", "/f2"}));
}

TEST(SavedLocationsList, AddingTheWholeDiskAgainKeepsOneWithTheNewerDate) {
    QList<SavedLocation> list;
    list = withLocation(list, wholeDisk(at(1)));
    list = withLocation(list, folder("/a", at(2)));
    list = withLocation(list, wholeDisk(at(3)));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(std::ranges::count_if(list, &SavedLocation::isFullDisk), 1);
    EXPECT_EQ(list.front(), wholeDisk(at(3)));
    EXPECT_EQ(list.at(1).path, "/a");
}

TEST(SavedLocationsList, ReAddingMovesToTheFrontWithoutDuplicate) {
    QList<SavedLocation> list;
    for (int i = 1; i <= 4; ++i) list = withLocation(list, folder(QString("/f%1").arg(i), at(i)));
    SavedLocation again = folder("/f2", at(20));
    again.name = QStringLiteral("renamed");
    list = withLocation(list, again);
    EXPECT_EQ(paths(list), (QStringList{"/f2", "/f4", "/f3", "/f1"}));
    EXPECT_EQ(list.front(), again);
}

TEST(SavedLocationsList, OnlyTheFirstWholeDiskEntryIsKept) {
    // Hand-edited settings could hold two; withLocation tidies them.
    SavedLocation other = wholeDisk(at(2));
    other.path = QStringLiteral("/mnt/other-root");
    const QList<SavedLocation> list = withLocation({wholeDisk(at(1)), other}, folder("/a", at(3)));
    EXPECT_EQ(paths(list), (QStringList{"/", "/a"}));
}

TEST(SavedLocationsList, WithoutLocationRemovesEveryEntryForThePath) {
    const QList<SavedLocation> list = {wholeDisk(at(1)), folder("/a", at(2)), folder("/b", at(3)),
                                       folder("/a", at(4))};
    EXPECT_EQ(paths(withoutLocation(list, "/a")), (QStringList{"/", "/b"}));
    EXPECT_EQ(paths(withoutLocation(list, "/")), (QStringList{"/a", "/b", "/a"}));
    EXPECT_EQ(withoutLocation(list, "/missing"), list);
}

// ---- Settings --------------------------------------------------------------

class SavedLocationsSettings : public testing::Test {
  protected:
    void SetUp() override { QSettings().remove(kSavedLocationsKey); }
    void TearDown() override { QSettings().remove(kSavedLocationsKey); }
};

TEST_F(SavedLocationsSettings, TestRunUsesAThrowAwayConfigFolder) {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    EXPECT_EQ(config, QFile::decodeName(qgetenv("XDG_CONFIG_HOME")));
    EXPECT_NE(config, QDir::home().filePath(".config"));
}

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

TEST(SavedLocationsSettingsFile, StoreThenLoadThroughAFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("settings.conf");
    const QList<SavedLocation> list = {folder("/a", at(1)), folder("/b b", at(2))};
    {
        QSettings settings(file, QSettings::NativeFormat);
        EXPECT_TRUE(loadSavedLocations(settings).isEmpty());
        storeSavedLocations(settings, list);
    }
    ASSERT_TRUE(QFileInfo::exists(file));
    QSettings settings(file, QSettings::NativeFormat);
    EXPECT_EQ(loadSavedLocations(settings), list);

    storeSavedLocations(settings, {});
    settings.sync();
    QSettings emptied(file, QSettings::NativeFormat);
    EXPECT_TRUE(emptied.contains(kSavedLocationsKey));
    EXPECT_TRUE(loadSavedLocations(emptied).isEmpty());
}

TEST(SavedLocationsSettingsFile, UndecodableListLoadsAsEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("settings.conf");
    QJsonObject broken = validObject();
    broken.remove("bookmark");
    {
        QSettings settings(file, QSettings::NativeFormat);
        settings.setValue(kSavedLocationsKey, compact({validObject(), broken}));
    }
    QSettings settings(file, QSettings::NativeFormat);
    ASSERT_TRUE(settings.contains(kSavedLocationsKey));
    EXPECT_TRUE(loadSavedLocations(settings).isEmpty());

    settings.setValue(kSavedLocationsKey, QByteArray("\x01\x02 not json"));
    EXPECT_TRUE(loadSavedLocations(settings).isEmpty());
}

// ---- Bookmarks -------------------------------------------------------------

TEST(Bookmarks, RealFolderResolvesUntilRemoved) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath("Çalışma alanı");
    ASSERT_TRUE(QDir().mkpath(path));

    const std::optional<QByteArray> token = makeBookmark(path);
    ASSERT_TRUE(token.has_value());
    EXPECT_EQ(resolveBookmark(*token), std::optional<QString>(path));

    ASSERT_TRUE(QDir(path).removeRecursively());
    EXPECT_FALSE(resolveBookmark(*token).has_value());

    // A new folder of the same name: stale, but the path is still usable.
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(resolveBookmark(*token), std::optional<QString>(path));
}

TEST(Bookmarks, SurvivesTheStoredForm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::optional<QByteArray> token = makeBookmark(dir.path());
    ASSERT_TRUE(token.has_value());
    const SavedLocation l{dir.path(), "tmp", false, at(1), *token};
    const auto decoded = decodeSavedLocations(encodeSavedLocations({l}));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(resolveBookmark(decoded->at(0).bookmark), std::optional<QString>(dir.path()));
}

TEST(Bookmarks, MissingPathMakesNone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(makeBookmark(QDir(dir.path()).filePath("missing")).has_value());
    EXPECT_FALSE(makeBookmark(QString()).has_value());
}

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

TEST(PlatformInfo, VolumeUsageOfARealFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const VolumeUsage usage = volumeUsage(dir.path());
    ASSERT_TRUE(usage.total.has_value());
    ASSERT_TRUE(usage.free.has_value());
    EXPECT_GT(*usage.total, 0);
    EXPECT_GE(*usage.free, 0);
    EXPECT_LE(*usage.free, *usage.total);
}

TEST(PlatformInfo, VolumeUsageOfAMissingPathIsUnknown) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const VolumeUsage usage = volumeUsage(QDir(dir.path()).filePath("missing/deeper"));
    EXPECT_FALSE(usage.total.has_value());
    EXPECT_FALSE(usage.free.has_value());
    EXPECT_FALSE(volumeUsage(QString()).total.has_value());
}

TEST(PlatformInfo, StartupDiskLabel) {
    const QString label = startupDiskLabel();
    EXPECT_TRUE(label.endsWith(QStringLiteral("başlangıç diski"))) << label.toStdString();
    if (const auto total = volumeUsage("/").total)
        EXPECT_EQ(label, QString::fromStdString(formatBytes(*total)) + " başlangıç diski");
    else
        EXPECT_EQ(label, "başlangıç diski");
}

TEST(PlatformInfo, RealHomeDirectory) {
    const QString home = realHomeDirectory();
    EXPECT_FALSE(home.isEmpty());
    EXPECT_TRUE(QDir::isAbsolutePath(home)) << home.toStdString();
    EXPECT_EQ(realHomeDirectory(), home);
}

TEST(PlatformInfo, StartupDiskNameIsNeverEmpty) {
    EXPECT_FALSE(startupDiskName().trimmed().isEmpty());
    EXPECT_EQ(startupDiskName(), startupDiskName());
}

TEST(PlatformInfo, DecodesDiskLabels) {
    EXPECT_EQ(decodeDiskLabel("My\\x20Disk"), "My Disk");
    EXPECT_EQ(decodeDiskLabel("Yede\\xc4\\x9fi\\x2fEski"), QString::fromUtf8("Yedeği/Eski"));
    EXPECT_EQ(decodeDiskLabel("PLAIN"), "PLAIN");
    EXPECT_EQ(decodeDiskLabel("odd\\xZZ\\x2"), "odd\\xZZ\\x2");
}

TEST(PlatformInfo, ReadsNameFromOsRelease) {
    EXPECT_EQ(osReleaseName("PRETTY_NAME=\"Debian GNU/Linux 12\"\nNAME=\"Debian GNU/Linux\"\n"),
              "Debian GNU/Linux");
    EXPECT_EQ(osReleaseName("NAME=Fedora\nVERSION=40\n"), "Fedora");
    EXPECT_EQ(osReleaseName("NAME='Arch Linux'\n"), "Arch Linux");
    EXPECT_EQ(osReleaseName("NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
    EXPECT_EQ(osReleaseName("ID=arch\n# NAME=comment\n"), "");
    EXPECT_EQ(osReleaseName(""), "");
}

TEST(PlatformInfo, FindsTheRootMount) {
    const QByteArray mountinfo =
        "22 1 0:21 / / rw,relatime - tmpfs rootfs rw\n"
        "23 22 0:22 / /proc rw,nosuid shared:5 - proc proc rw\n"
        "30 22 8:2 / / rw,relatime shared:1 master:3 - ext4 /dev/disk\\040a rw\n"
        "31 30 8:1 / /home rw,relatime - ext4 /dev/sda1 rw\n"
        "broken line\n";
    const std::optional<RootMount> root = rootMount(mountinfo);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->deviceMajor, 8u);
    EXPECT_EQ(root->deviceMinor, 2u);
    EXPECT_EQ(root->source, "/dev/disk a");

    EXPECT_FALSE(rootMount("23 22 0:22 / /proc rw - proc proc rw\n").has_value());
    EXPECT_FALSE(rootMount("").has_value());

    QFile self("/proc/self/mountinfo");
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    EXPECT_TRUE(rootMount(self.readAll()).has_value());
}

TEST(PlatformInfo, FindsTheLabelLeadingToTheRootDevice) {
    // Any two block devices will do; udev's by-label links are plain symlinks.
    struct stat first {};
    struct stat second {};
    if (::stat("/dev/loop0", &first) != 0 || !S_ISBLK(first.st_mode) ||
        ::stat("/dev/loop1", &second) != 0 || !S_ISBLK(second.st_mode))
        GTEST_SKIP() << "needs /dev/loop0 and /dev/loop1";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir labels(dir.path());
    ASSERT_TRUE(QFile::link("/dev/loop0", labels.filePath("Other")));
    ASSERT_TRUE(QFile::link("/dev/loop1", labels.filePath("Veri\\x20Diski")));
    ASSERT_TRUE(QFile::link("/nowhere", labels.filePath("Dangling")));

    RootMount byNumber{major(second.st_rdev), minor(second.st_rdev), "/dev/mapper/x"};
    EXPECT_EQ(diskLabelIn(labels.path(), byNumber), "Veri Diski");

    // An anonymous device number, as btrfs reports, is matched by its source.
    RootMount bySource{0, 42, "/dev/loop1"};
    EXPECT_EQ(diskLabelIn(labels.path(), bySource), "Veri Diski");

    RootMount unknown{0, 42, "rootfs"};
    EXPECT_EQ(diskLabelIn(labels.path(), unknown), "");
    EXPECT_EQ(diskLabelIn(labels.filePath("missing"), byNumber), "");
}

}  // namespace
}  // namespace tidewell
