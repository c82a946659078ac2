// What the QML screens need from C++, in one singleton (`Ui` in QML): the
// fonts, icon glyphs by symbol name, the texts made from numbers and dates,
// the node context menu's items, file URLs, the reveal and the feedback mail.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QDateTime>
#include <QFont>
#include <QObject>
#include <QUrl>
#include <QVariant>

#include "app_model.h"
#include "node_value.h"

namespace tidewell {

class UiSupport : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Ui)
    QML_SINGLETON
    Q_PROPERTY(QString iconFamily READ iconFamily CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString build READ build CONSTANT)
    Q_PROPERTY(QString localeName READ localeName CONSTANT)
    Q_PROPERTY(QString licence READ licence CONSTANT)

  public:
    explicit UiSupport(QObject* parent = nullptr);

    // The interface face at `pixels` logical pixels (one design point each).
    // Letter spacing in logical pixels.
    Q_INVOKABLE QFont font(double pixels, int weight = QFont::Normal, double letterSpacing = 0,
                           bool underline = false) const;
    // The same size and weight with digits of equal width.
    Q_INVOKABLE QFont digitsFont(double pixels, int weight = QFont::Normal) const;
    Q_INVOKABLE QString glyph(const QString& symbol) const;
    QString iconFamily() const;

    Q_INVOKABLE QString relativeDate(const QDateTime& when, const QDateTime& now) const;
    Q_PROPERTY(QString startupDiskName READ startupDiskName CONSTANT)
    QString startupDiskName() const;
    Q_INVOKABLE QString countLine(double fileCount, double byteCount) const;
    Q_INVOKABLE QString locationLine(const QVariant& pickedFolderName) const;
    Q_INVOKABLE QString pathLine(const QString& currentPath) const;

    // The node context menu's items as {kind, title, symbol}; kind is
    // "preview", "reveal", "separator" or "toggleBasket".
    Q_INVOKABLE QVariantList nodeMenu(tidewell::AppModel* model, const tidewell::NodeValue& node,
                                      bool enabled, bool inBasket) const;
    Q_INVOKABLE QUrl fileUrl(const QString& path, bool isDirectory) const;
    Q_INVOKABLE void reveal(const QString& path) const;
    // The first local folder among dropped URLs, or an empty URL.
    Q_INVOKABLE QUrl droppedFolder(const QList<QUrl>& urls) const;

    // "select", "scanning" or "results": the screen the root view shows.
    Q_INVOKABLE QString screenName(int screen) const;

    Q_INVOKABLE QUrl feedbackUrl() const;
    Q_INVOKABLE void openFeedbackMail() const;

    QString version() const;
    QString build() const;
    QString licence() const;
    QString localeName() const { return locale_; }

  private:
    QString locale_;
};

}  // namespace tidewell
