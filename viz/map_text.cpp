#include "map_text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

namespace tidewell {

namespace {

// Inter is the interface's face (Debian's fonts-inter); without it the
// desktop's own UI font.
QString chosenUiFamily() {
    const QString inter = QStringLiteral("Inter");
    if (QFontDatabase::hasFamily(inter)) return inter;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

bool digitsEqual(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QLatin1Char(d)) != zero) return false;
    return true;
}

// Inter's default digits are proportional. Qt 6.6 can turn on its tabular
// digits (the "tnum" feature); older Qt cannot, so sizes use Noto Sans,
// whose default digits all have one width, at the same size and weight.
QString chosenDigitsFamily() {
    const QString ui = chosenUiFamily();
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (ui == QLatin1String("Inter")) return ui;
#endif
    QFont probe(ui);
    probe.setPixelSize(40);
    if (digitsEqual(probe)) return ui;
    const QString noto = QStringLiteral("Noto Sans");
    if (QFontDatabase::hasFamily(noto)) return noto;
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QFont sized(const QString& family, double pixels, QFont::Weight weight) {
    QFont font(family);
    // Point sizes at 96 dpi keep fractions such as 11.5 that pixel sizes drop.
    font.setPointSizeF(pixels * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

}  // namespace

const QString& uiFontFamily() {
    static const QString family = chosenUiFamily();
    return family;
}

const QString& digitsFontFamily() {
    static const QString family = chosenDigitsFamily();
    return family;
}

QFont uiFont(double pixels, QFont::Weight weight) {
    return sized(uiFontFamily(), pixels, weight);
}

QFont digitsFont(double pixels, QFont::Weight weight) {
    QFont font = sized(digitsFontFamily(), pixels, weight);
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (digitsFontFamily() == QLatin1String("Inter")) font.setFeature(QFont::Tag("tnum"), 1);
#endif
    return font;
}

void paintEmptyState(QPainter* painter, const QRectF& area) {
    painter->setFont(uiFont(13));
    painter->setPen(kSecondaryTextColor);
    painter->drawText(area, Qt::AlignCenter, QStringLiteral("Görselleştirilecek içerik yok"));
}

}  // namespace tidewell
