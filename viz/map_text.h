// Text on the map views: the system UI font at the design's pixel sizes, a
// face with digits of equal width for sizes, the secondary text colour, the
// empty-state line.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace tidewell {

inline const QColor kSecondaryTextColor(139, 139, 147);

// The system UI font at `pixels` logical pixels (fractions kept).
QFont uiFont(double pixels, QFont::Weight weight = QFont::Normal);

// uiFont, or the system's fixed-width face when the UI font's digits differ
// in width, so a changing size does not jitter.
QFont digitsFont(double pixels, QFont::Weight weight = QFont::Normal);

// "Görselleştirilecek içerik yok", centred in `area`.
void paintEmptyState(QPainter* painter, const QRectF& area);

}  // namespace tidewell
