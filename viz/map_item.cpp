#include "map_item.h"

#include <QPainter>
#include <cmath>

namespace tidewell {

void MapItem::setModel(AppModel* model) {
    if (model_ == model) return;
    if (model_) disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_) {
        connect(model_, &AppModel::pathChanged, this, [this] { shapesChanged(); });
        connect(model_, &AppModel::rootChanged, this, [this] { shapesChanged(); });
        connect(model_, &AppModel::treeVersionChanged, this, [this] { shapesChanged(); });
        connect(model_, &AppModel::hoveredChanged, this, [this] { looksChanged(); });
        connect(model_, &AppModel::basketChanged, this, [this] { looksChanged(); });
    }
    shapesChanged();
    emit modelChanged();
}

double MapItem::deviceScale(const QPainter* painter) {
    const double k = painter->deviceTransform().m11();
    return k > 0 ? k : 1.0;
}

PixelCanvas MapItem::clearedLayer(double scale) {
    const QSize pixels(static_cast<int>(std::ceil(width() * scale)),
                       static_cast<int>(std::ceil(height() * scale)));
    if (layer_.size() != pixels) layer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    layer_.setDevicePixelRatio(scale);
    layer_.fill(0);
    return {{reinterpret_cast<std::uint32_t*>(layer_.bits()),
             static_cast<std::size_t>(layer_.sizeInBytes() / 4)},
            layer_.width(),
            layer_.height(),
            layer_.bytesPerLine() / 4};
}

void MapItem::showLayer(QPainter* painter) {
    painter->drawImage(QPointF(0, 0), layer_);
}

void MapItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) shapesChanged();
}

}  // namespace tidewell
