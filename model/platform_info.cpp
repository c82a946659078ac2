#include "platform_info.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "size_format.h"
#include "user_dirs.h"

namespace tidewell {

namespace {

constexpr char kLabelFolder[] = "/dev/disk/by-label";

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// mountinfo writes space, tab, newline and backslash in paths as "\ooo".
QByteArray unescapeOctal(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 3 < field.size() && field.at(i + 1) >= '0' && field.at(i + 1) <= '3' &&
            field.at(i + 2) >= '0' && field.at(i + 2) <= '7' && field.at(i + 3) >= '0' &&
            field.at(i + 3) <= '7') {
            out.append(static_cast<char>(((field.at(i + 1) - '0') << 6) |
                                         ((field.at(i + 2) - '0') << 3) | (field.at(i + 3) - '0')));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray canonical(const QByteArray& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

// The label of the file system mounted at "/"; empty without one.
QString rootLabel() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    // readAll() reads to the end even though proc files report a size of 0.
    const std::optional<RootMount> root = rootMount(file.readAll());
    if (!root) return {};
    return diskLabelIn(QString::fromLatin1(kLabelFolder), *root);
}

QString systemName() {
    // os-release(5): /etc first, /usr/lib when /etc has none.
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly)) continue;
        return osReleaseName(file.readAll());
    }
    return {};
}

}  // namespace

QString realHomeDirectory() {
    // The one home lookup of the program, so that every part agrees on it.
    static const QString home = [] {
        const std::optional<std::string> dir = homeDirectory();
        return dir ? QFile::decodeName(QByteArray::fromStdString(*dir)) : QStringLiteral("/");
    }();
    return home;
}

QString startupDiskName() {
    static const QString name = [] {
        if (QString label = rootLabel(); !label.isEmpty()) return label;
        if (QString system = systemName(); !system.isEmpty()) return system;
        return QStringLiteral("Linux");
    }();
    return name;
}

VolumeUsage volumeUsage(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty()) return {};
    struct statvfs vfs {};
    int rc = 0;
    do {
        rc = ::statvfs(native.constData(), &vfs);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return {};
    // f_frsize is the unit of the block counts; a few old drivers leave it 0.
    const auto unit = static_cast<qint64>(vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize);
    // f_bavail already leaves out the root reserve, so it serves for both the
    // plain and the "important usage" free figure.
    return {static_cast<qint64>(vfs.f_blocks) * unit, static_cast<qint64>(vfs.f_bavail) * unit};
}

QString startupDiskLabel() {
    const QString suffix = QStringLiteral("başlangıç diski");
    if (const std::optional<qint64> total = volumeUsage(QStringLiteral("/")).total)
        return QString::fromStdString(formatBytes(*total)) + u' ' + suffix;
    return suffix;
}

QString diskLabelIn(const QString& labelFolder, const RootMount& mount) {
    const dev_t device = makedev(mount.deviceMajor, mount.deviceMinor);
    // File systems such as btrfs report an anonymous device number, so the
    // mount source is compared too.
    const QByteArray source = mount.source.startsWith(QLatin1String("/dev/"))
                                  ? canonical(QFile::encodeName(mount.source))
                                  : QByteArray();
    const QByteArray folder = QFile::encodeName(labelFolder);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir) return {};
    while (const dirent* e = ::readdir(dir.get())) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..") continue;
        const QByteArray full = folder + '/' + name;
        struct stat st {};
        if (::stat(full.constData(), &st) != 0 || !S_ISBLK(st.st_mode)) continue;
        if (st.st_rdev == device || (!source.isEmpty() && canonical(full) == source)) {
            QString label = decodeDiskLabel(QFile::decodeName(name));
            if (!label.trimmed().isEmpty()) return label;
        }
    }
    return {};
}

QString decodeDiskLabel(const QString& entryName) {
    const QByteArray in = QFile::encodeName(entryName);
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) == '\\' && i + 3 < in.size() && in.at(i + 1) == 'x') {
            const int hi = hexDigit(in.at(i + 2));
            const int lo = hexDigit(in.at(i + 3));
            if (hi >= 0 && lo >= 0) {
                out.append(static_cast<char>((hi << 4) | lo));
                i += 3;
                continue;
            }
        }
        out.append(in.at(i));
    }
    return QString::fromUtf8(out);
}

QString osReleaseName(const QByteArray& contents) {
    QString name;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("NAME=")) continue;
        QByteArray value = line.sliced(5);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            const bool doubleQuoted = value.front() == '"';
            value = value.sliced(1, value.size() - 2);
            if (doubleQuoted) {
                // Shell rules inside double quotes: a backslash escapes the next character.
                QByteArray plain;
                plain.reserve(value.size());
                for (qsizetype i = 0; i < value.size(); ++i) {
                    if (value.at(i) == '\\' && i + 1 < value.size()) ++i;
                    plain.append(value.at(i));
                }
                value = plain;
            }
        }
        // A later assignment overrides an earlier one, as when the file is sourced.
        name = QString::fromUtf8(value).trimmed();
    }
    return name;
}

std::optional<RootMount> rootMount(const QByteArray& mountinfo) {
    std::optional<RootMount> found;
    for (const QByteArray& line : mountinfo.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // id parent major:minor root mountpoint options [optional...] - type source super
        if (fields.size() < 10 || fields.at(4) != "/") continue;
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (dash < 0 || dash + 2 >= fields.size()) continue;
        const QList<QByteArray> numbers = fields.at(2).split(':');
        if (numbers.size() != 2) continue;
        bool okMajor = false;
        bool okMinor = false;
        const uint deviceMajor = numbers.at(0).toUInt(&okMajor);
        const uint deviceMinor = numbers.at(1).toUInt(&okMinor);
        if (!okMajor || !okMinor) continue;
        // Later lines are mounted over earlier ones at the same place.
        found = RootMount{deviceMajor, deviceMinor,
                          QFile::decodeName(unescapeOctal(fields.at(dash + 2)))};
    }
    return found;
}

}  // namespace tidewell
