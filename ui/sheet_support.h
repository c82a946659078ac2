// The texts of the three sheets (`Sheets` in QML): the basket and selection
// summaries, the count lines, the hidden-items line and the Downloads ages,
// in the user's locale. Stateless: every answer follows from the arguments.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QDateTime>
#include <QObject>
#include <QVariant>

namespace tidewell {

class SheetSupport : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Sheets)
    QML_SINGLETON

  public:
    explicit SheetSupport(QObject* parent = nullptr);

    // "Sepet: 2 öğe · 1,5 MB".
    Q_INVOKABLE QString basketSummary(double count, double bytes) const;
    // "12 öğe · 3,4 GB".
    Q_INVOKABLE QString countAndSize(double count, double bytes) const;
    // "12 öğe · subtitle", under a category's title.
    Q_INVOKABLE QString categoryLine(double count, const QString& subtitle) const;
    // "+ 10 öğe daha (en büyükler gösteriliyor)".
    Q_INVOKABLE QString hiddenLine(double hidden) const;
    // "2 öğe seçili · 1,5 MB".
    Q_INVOKABLE QString selectionSummary(double count, double bytes) const;
    // A Downloads entry's age in the short relative wording ("3 gün önce"),
    // empty without a date.
    Q_INVOKABLE QString age(const QVariant& date, const QDateTime& now) const;

    // The Downloads filter chips in order: {title, filter}.
    Q_INVOKABLE QVariantList filterChips() const;

  private:
    QString locale_;
};

}  // namespace tidewell
