#include "map_text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

namespace tidewell {

QFont uiFont(double pixels, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // Point sizes at 96 dpi keep fractions such as 11.5 that pixel sizes drop.
    font.setPointSizeF(pixels * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

QFont digitsFont(double pixels, QFont::Weight weight) {
    QFont font = uiFont(pixels, weight);
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(QLatin1Char('1')) !=
        metrics.horizontalAdvance(QLatin1Char('0'))) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(pixels * 72.0 / 96.0);
        font.setWeight(weight);
    }
    return font;
}

void paintEmptyState(QPainter* painter, const QRectF& area) {
    painter->setFont(uiFont(13));
    painter->setPen(kSecondaryTextColor);
    painter->drawText(area, Qt::AlignCenter, QStringLiteral("Görselleştirilecek içerik yok"));
}

}  // namespace tidewell
