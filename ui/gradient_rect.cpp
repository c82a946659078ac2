#include "gradient_rect.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace tidewell {

GradientRect::GradientRect(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &GradientRect::appearanceChanged, this, [this] { update(); });
}

void GradientRect::setColors(const QVariantList& colors) {
    if (colors == colorValues_) return;
    colorValues_ = colors;
    colors_.clear();
    for (const QVariant& c : colors) colors_.push_back(c.value<QColor>());
    emit appearanceChanged();
}

void GradientRect::paint(QPainter* painter) {
    if (colors_.isEmpty()) return;
    const QRectF box(0, 0, width(), height());
    QGradient gradient;
    if (radial_) {
        gradient =
            QRadialGradient(QPointF(start_.x() * box.width(), start_.y() * box.height()), radius_);
    } else {
        gradient = QLinearGradient(QPointF(start_.x() * box.width(), start_.y() * box.height()),
                                   QPointF(end_.x() * box.width(), end_.y() * box.height()));
    }
    const qsizetype n = colors_.size();
    for (qsizetype i = 0; i < n; ++i)
        gradient.setColorAt(n == 1 ? 0.0 : static_cast<double>(i) / static_cast<double>(n - 1),
                            colors_[i]);
    gradient.setSpread(QGradient::PadSpread);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(gradient);
    painter->drawRoundedRect(box, cornerRadius_, cornerRadius_);
    if (borderColor_.alpha() > 0) {
        // An inner border: the one-pixel line lies inside the shape.
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(borderColor_, 1));
        const QRectF inner = box.adjusted(0.5, 0.5, -0.5, -0.5);
        const double r = std::max(0.0, cornerRadius_ - 0.5);
        painter->drawRoundedRect(inner, r, r);
    }
}

}  // namespace tidewell
