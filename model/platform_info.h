// Facts about this machine the interface shows: the user's home, the name of
// the start-up disk and how full a volume is.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tidewell {

// The user's home: $HOME when it is an absolute path, else the user
// database's entry ("/" when neither gives one); read once per process.
QString realHomeDirectory();

// The label of the file system mounted at "/", else the system's NAME from
// os-release, else "Linux"; read once per process.
QString startupDiskName();

struct VolumeUsage {
    std::optional<qint64> total;
    std::optional<qint64> free;  // what an unprivileged user can still write
};

// Both figures empty when the volume holding `path` cannot be queried.
VolumeUsage volumeUsage(const QString& path);

// "245,1 GB başlangıç diski", or "başlangıç diski" without a size.
QString startupDiskLabel();

// The pieces startupDiskName() is made of, separate so they can be checked
// against fixed text.

// A /dev/disk/by-label/ entry name with udev's "\xNN" escapes undone.
QString decodeDiskLabel(const QString& entryName);
// NAME from the text of an os-release file, quotes removed; empty when absent.
QString osReleaseName(const QByteArray& contents);
// Major and minor device numbers of the last mount at "/" in the text of
// /proc/self/mountinfo, with the mount's source (e.g. "/dev/sda2").
struct RootMount {
    unsigned deviceMajor = 0;
    unsigned deviceMinor = 0;
    QString source;
};
std::optional<RootMount> rootMount(const QByteArray& mountinfo);
// The decoded name of the entry in `labelFolder` (normally /dev/disk/by-label)
// that leads to the mount's block device; empty when none does.
QString diskLabelIn(const QString& labelFolder, const RootMount& mount);

}  // namespace tidewell
