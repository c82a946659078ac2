// The folders the user has scanned, remembered across runs: the whole disk
// (at most one) and the five most recent other folders.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class QSettings;

namespace tidewell {

struct SavedLocation {
    QString path;             // absolute; two entries with the same path are the same place
    QString name;             // shown to the user
    bool isFullDisk = false;  // the start-up disk "/"
    QDateTime lastScan;       // when its last scan started (UTC); invalid is stored as 2001-01-01
    QByteArray bookmark;      // from makeBookmark()
    bool operator==(const SavedLocation&) const = default;
};

// The settings key holding the encoded list; the suffix changes with the format.
inline constexpr char kSavedLocationsKey[] = "savedLocations.v1";

// One JSON array of {"path", "name", "isFullDisk", "lastScan", "bookmark"};
// "lastScan" is seconds since 2001-01-01 00:00:00 UTC, "bookmark" Base64.
QByteArray encodeSavedLocations(const QList<SavedLocation>& list);
// Nothing when any entry is malformed: a half-read list would silently drop places.
std::optional<QList<SavedLocation>> decodeSavedLocations(const QByteArray& data);

// Empty when the key is missing or does not decode.
QList<SavedLocation> loadSavedLocations(QSettings& settings);
void storeSavedLocations(QSettings& settings, const QList<SavedLocation>& list);

// `list` with `entry` at the front and any older entry for its path gone, cut
// to the first whole-disk entry followed by at most five others.
QList<SavedLocation> withLocation(QList<SavedLocation> list, SavedLocation entry);
QList<SavedLocation> withoutLocation(QList<SavedLocation> list, const QString& path);

// The first whole-disk entry.
std::optional<SavedLocation> wholeDiskLocation(const QList<SavedLocation>& list);
// The entries that are not the whole disk, in list order.
QList<SavedLocation> recentLocations(const QList<SavedLocation>& list);

// Linux has no sandbox, so access is always granted; a bookmark only records
// the path with the device and inode seen when it was made. Nothing when the
// path cannot be stat()ed.
std::optional<QByteArray> makeBookmark(const QString& path);
// The bookmarked path while it exists; nothing for a malformed token or a
// path that is gone.
std::optional<QString> resolveBookmark(const QByteArray& token);

}  // namespace tidewell
