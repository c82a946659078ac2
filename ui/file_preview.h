// What the in-window preview shows of one file: the picture, the start of
// its text, or its facts (kind, size, date). Files are read on a pool thread,
// never on the window's: a huge, slow or blocking file cannot freeze it.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>

#include <cstdint>

namespace tidewell {

class FilePreview : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(Kind kind READ kind NOTIFY contentChanged)
    Q_PROPERTY(QString name READ name NOTIFY contentChanged)
    Q_PROPERTY(QString symbol READ symbol NOTIFY contentChanged)
    Q_PROPERTY(QString kindText READ kindText NOTIFY contentChanged)
    Q_PROPERTY(QString sizeText READ sizeText NOTIFY contentChanged)
    Q_PROPERTY(QString modifiedText READ modifiedText NOTIFY contentChanged)
    Q_PROPERTY(QString text READ text NOTIFY contentChanged)
    Q_PROPERTY(bool truncated READ truncated NOTIFY contentChanged)
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY contentChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY contentChanged)

  public:
    // Capitalised: QML reaches enum values only by names that start so.
    enum class Kind { None, Loading, Image, Text, Info };
    Q_ENUM(Kind)

    // The most of a text file that is read and shown.
    static constexpr std::int64_t kTextBytes = 64 * 1024;

    // Everything shown for one file; made on a pool thread.
    struct Content {
        Kind kind = Kind::Info;
        QString name;
        QString symbol;
        QString kindText;
        QString sizeText;
        QString modifiedText;
        QString text;
        bool truncated = false;
        QSize imageSize;
        QString problem;  // what could not be read, in the user's words
    };
    static Content read(const QString& path);

    explicit FilePreview(QObject* parent = nullptr);

    QUrl url() const { return url_; }
    void setUrl(const QUrl& url);

    Kind kind() const { return content_.kind; }
    QString name() const { return content_.name; }
    QString symbol() const { return content_.symbol; }
    QString kindText() const { return content_.kindText; }
    QString sizeText() const { return content_.sizeText; }
    QString modifiedText() const { return content_.modifiedText; }
    QString text() const { return content_.text; }
    bool truncated() const { return content_.truncated; }
    QSize imageSize() const { return content_.imageSize; }
    QString problem() const { return content_.problem; }

  signals:
    void urlChanged();
    void contentChanged();

  private:
    QUrl url_;
    Content content_{Kind::None, {}, {}, {}, {}, {}, {}, false, {}, {}};
    std::uint64_t generation_ = 0;  // results of an older url are dropped
};

}  // namespace tidewell
