#include "file_preview.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QMimeDatabase>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>

#include <cerrno>
#include <cstring>
#include <optional>

#include "size_format.h"
#include "unique_fd.h"

namespace tidewell {

namespace {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Text is what decodes as UTF-8 without a NUL; a character cut at the end of
// what was read is left out rather than counted against it.
std::optional<QString> decodedText(QByteArray head, bool cut) {
    if (head.contains('\0')) return std::nullopt;
    if (cut) {
        // Continuation bytes at the end, then the lead byte they belong to.
        qsizetype back = 0;
        auto at = [&](qsizetype fromEnd) {
            return static_cast<unsigned char>(head.at(head.size() - 1 - fromEnd));
        };
        while (back < 3 && back < head.size() && (at(back) & 0xC0) == 0x80) ++back;
        if (back < head.size() && (at(back) & 0x80) != 0) head.chop(back + 1);
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(head);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

}  // namespace

FilePreview::Content FilePreview::read(const QString& path) {
    Content c;
    const QByteArray native = QFile::encodeName(path);
    c.name = QFileInfo(path).fileName();
    if (c.name.isEmpty()) c.name = path;
    c.symbol = QStringLiteral("doc.fill");
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        c.problem = QStringLiteral("Okunamadı: ") + errnoText(errno);
        return c;
    }
    c.modifiedText = QLocale(QLocale::Turkish)
                         .toString(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec),
                                   QStringLiteral("d MMMM yyyy HH:mm"));
    if (S_ISDIR(st.st_mode)) {
        c.symbol = QStringLiteral("folder");
        c.kindText = QStringLiteral("Klasör");
        return c;
    }
    c.sizeText = QString::fromStdString(formatBytes(static_cast<std::int64_t>(st.st_size)));
    if (S_ISLNK(st.st_mode)) {
        c.kindText = QStringLiteral("Sembolik bağlantı");
        return c;
    }
    if (!S_ISREG(st.st_mode)) {
        // A FIFO or a device is never opened: reading it could wait forever.
        c.kindText = QStringLiteral("Özel dosya");
        return c;
    }
    const UniqueFd fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    QByteArray head;
    if (!fd) {
        c.problem = QStringLiteral("İçeriği okunamadı: ") + errnoText(errno);
    } else {
        head.resize(kTextBytes);
        qsizetype got = 0;
        while (got < head.size()) {
            const ssize_t n =
                ::read(fd.get(), head.data() + got, static_cast<size_t>(head.size() - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                c.problem = QStringLiteral("İçeriği okunamadı: ") + errnoText(errno);
                break;
            }
            if (n == 0) break;
            got += n;
        }
        head.truncate(got);
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFileNameAndData(path, head);
    c.kindText = mime.comment().isEmpty() ? mime.name() : mime.comment();
    if (!c.problem.isEmpty()) return c;

    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    if (!QImageReader::imageFormat(&buffer).isEmpty()) {
        // Only the header is read here; the picture itself is decoded by the
        // view, asynchronously and scaled down.
        QImageReader reader(path);
        c.imageSize = reader.size();
        if (reader.canRead()) {
            c.kind = Kind::Image;
            c.symbol = QStringLiteral("photo");
            return c;
        }
    }
    const bool cut = st.st_size > kTextBytes;
    if (std::optional<QString> text = decodedText(head, cut)) {
        c.kind = Kind::Text;
        c.symbol = QStringLiteral("doc.text");
        c.text = std::move(*text);
        c.truncated = cut;
    }
    return c;
}

FilePreview::FilePreview(QObject* parent) : QObject(parent) {}

void FilePreview::setUrl(const QUrl& url) {
    if (url == url_) return;
    url_ = url;
    emit urlChanged();
    const std::uint64_t generation = ++generation_;
    if (url.isEmpty() || !url.isLocalFile()) {
        content_ = Content{Kind::None, {}, {}, {}, {}, {}, {}, false, {}, {}};
        emit contentChanged();
        return;
    }
    const QString path = url.toLocalFile();
    content_ =
        Content{Kind::Loading, QFileInfo(path).fileName(), {}, {}, {}, {}, {}, false, {}, {}};
    emit contentChanged();
    QPointer<FilePreview> self(this);
    QThreadPool::globalInstance()->start([self, path, generation] {
        Content read;
        try {
            read = FilePreview::read(path);
        } catch (...) {
            read.problem = QStringLiteral("Okunamadı");
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, read = std::move(read)]() mutable {
                if (!self || self->generation_ != generation) return;
                self->content_ = std::move(read);
                emit self->contentChanged();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace tidewell
