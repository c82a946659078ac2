#include "saved_locations.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSettings>
#include <QtEndian>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tidewell {

namespace {

// Stored dates count seconds from 2001-01-01 00:00:00 UTC; this is that
// moment in milliseconds since the Unix epoch.
constexpr qint64 kReferenceMs = 978'307'200'000;

constexpr int kMaxRecent = 5;

double toStoredSeconds(const QDateTime& when) {
    if (!when.isValid()) return 0.0;
    return static_cast<double>(when.toMSecsSinceEpoch() - kReferenceMs) / 1000.0;
}

std::optional<QDateTime> fromStoredSeconds(double seconds) {
    // Beyond this a millisecond count would overflow; no real scan date gets near it.
    constexpr double kLimit = 9.0e12;
    if (!std::isfinite(seconds) || std::abs(seconds) > kLimit) return std::nullopt;
    const auto ms = static_cast<qint64>(std::llround(seconds * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ms + kReferenceMs, Qt::UTC);
}

std::optional<SavedLocation> decodeEntry(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject o = value.toObject();
    const QJsonValue path = o.value(QLatin1String("path"));
    const QJsonValue name = o.value(QLatin1String("name"));
    const QJsonValue isFullDisk = o.value(QLatin1String("isFullDisk"));
    const QJsonValue lastScan = o.value(QLatin1String("lastScan"));
    const QJsonValue bookmark = o.value(QLatin1String("bookmark"));
    // A missing key reads as Undefined, so the type checks also catch it.
    if (!path.isString() || !name.isString() || !isFullDisk.isBool() || !lastScan.isDouble() ||
        !bookmark.isString())
        return std::nullopt;

    const QString bookmarkText = bookmark.toString();
    // toLatin1 turns anything outside Latin-1 into '?', which the strict decode rejects.
    auto bytes = QByteArray::fromBase64Encoding(bookmarkText.toLatin1(),
                                                QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes) return std::nullopt;

    const std::optional<QDateTime> when = fromStoredSeconds(lastScan.toDouble());
    if (!when) return std::nullopt;

    return SavedLocation{path.toString(), name.toString(), isFullDisk.toBool(), *when,
                         std::move(bytes.decoded)};
}

// Bookmark token: "TWBK", a version byte, st_dev and st_ino as big-endian
// 64-bit numbers, the path's byte length as a big-endian 32-bit number, then
// the path bytes exactly as the file system names them.
constexpr char kBookmarkMagic[4] = {'T', 'W', 'B', 'K'};
constexpr char kBookmarkVersion = 1;
constexpr qsizetype kBookmarkHeader = 4 + 1 + 8 + 8 + 4;

template <typename T>
void appendBigEndian(QByteArray& out, T value) {
    char buf[sizeof(T)];
    qToBigEndian(value, buf);
    out.append(buf, sizeof(T));
}

template <typename T>
T readBigEndian(const QByteArray& in, qsizetype offset) {
    return qFromBigEndian<T>(in.constData() + offset);
}

}  // namespace

QByteArray encodeSavedLocations(const QList<SavedLocation>& list) {
    QJsonArray array;
    for (const SavedLocation& l : list) {
        QJsonObject o;
        o.insert(QLatin1String("path"), l.path);
        o.insert(QLatin1String("name"), l.name);
        o.insert(QLatin1String("isFullDisk"), l.isFullDisk);
        o.insert(QLatin1String("lastScan"), toStoredSeconds(l.lastScan));
        o.insert(QLatin1String("bookmark"), QString::fromLatin1(l.bookmark.toBase64()));
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<SavedLocation>> decodeSavedLocations(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) return std::nullopt;
    const QJsonArray array = doc.array();
    QList<SavedLocation> list;
    list.reserve(array.size());
    for (const QJsonValue& v : array) {
        std::optional<SavedLocation> entry = decodeEntry(v);
        if (!entry) return std::nullopt;
        list.append(std::move(*entry));
    }
    return list;
}

QList<SavedLocation> loadSavedLocations(QSettings& settings) {
    const QVariant value = settings.value(QLatin1String(kSavedLocationsKey));
    if (!value.isValid()) return {};
    return decodeSavedLocations(value.toByteArray()).value_or(QList<SavedLocation>{});
}

void storeSavedLocations(QSettings& settings, const QList<SavedLocation>& list) {
    settings.setValue(QLatin1String(kSavedLocationsKey), encodeSavedLocations(list));
}

QList<SavedLocation> withLocation(QList<SavedLocation> list, SavedLocation entry) {
    list.removeIf([&](const SavedLocation& l) { return l.path == entry.path; });
    list.prepend(std::move(entry));

    QList<SavedLocation> kept;
    kept.reserve(kMaxRecent + 1);
    if (auto disk = std::ranges::find_if(list, &SavedLocation::isFullDisk); disk != list.end())
        kept.append(std::move(*disk));
    int recent = 0;
    for (SavedLocation& l : list) {
        if (l.isFullDisk) continue;
        if (recent++ == kMaxRecent) break;
        kept.append(std::move(l));
    }
    return kept;
}

QList<SavedLocation> withoutLocation(QList<SavedLocation> list, const QString& path) {
    list.removeIf([&](const SavedLocation& l) { return l.path == path; });
    return list;
}

std::optional<SavedLocation> wholeDiskLocation(const QList<SavedLocation>& list) {
    const auto disk = std::ranges::find_if(list, &SavedLocation::isFullDisk);
    if (disk == list.end()) return std::nullopt;
    return *disk;
}

QList<SavedLocation> recentLocations(const QList<SavedLocation>& list) {
    QList<SavedLocation> recent;
    std::ranges::copy_if(list, std::back_inserter(recent),
                         [](const SavedLocation& l) { return !l.isFullDisk; });
    return recent;
}

std::optional<QByteArray> makeBookmark(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0) return std::nullopt;

    QByteArray token;
    token.reserve(kBookmarkHeader + native.size());
    token.append(kBookmarkMagic, sizeof kBookmarkMagic);
    token.append(kBookmarkVersion);
    appendBigEndian(token, static_cast<quint64>(st.st_dev));
    appendBigEndian(token, static_cast<quint64>(st.st_ino));
    appendBigEndian(token, static_cast<quint32>(native.size()));
    token.append(native);
    return token;
}

std::optional<QString> resolveBookmark(const QByteArray& token) {
    if (token.size() < kBookmarkHeader || !token.startsWith(QByteArrayView(kBookmarkMagic, 4)) ||
        token.at(4) != kBookmarkVersion)
        return std::nullopt;
    const auto length = readBigEndian<quint32>(token, 5 + 8 + 8);
    if (length == 0 || static_cast<qint64>(length) != token.size() - kBookmarkHeader)
        return std::nullopt;
    const QByteArray native = token.sliced(kBookmarkHeader);
    if (native.contains('\0')) return std::nullopt;

    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return std::nullopt;
    // A different device or inode means the folder was replaced by another of
    // the same name: stale but usable, since the path is what gets scanned.
    return QFile::decodeName(native);
}

}  // namespace tidewell
