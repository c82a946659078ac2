// Text on the map views: the UI font at the design's pixel sizes, a
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

// The one choice of faces for every view, painted or QML: Inter, else the
// desktop's UI font; for digits of equal width Inter with tabular digits
// where Qt can ask for them, else Noto Sans. Decided once per process.
const QString& uiFontFamily();
const QString& digitsFontFamily();

// The UI face at `pixels` logical pixels (fractions kept).
QFont uiFont(double pixels, QFont::Weight weight = QFont::Normal);

// The face for changing numbers, whose digits all have one width so a
// changing size does not jitter.
QFont digitsFont(double pixels, QFont::Weight weight = QFont::Normal);

// "Görselleştirilecek içerik yok", centred in `area`.
void paintEmptyState(QPainter* painter, const QRectF& area);

}  // namespace tidewell
