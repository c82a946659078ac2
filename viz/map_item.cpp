#include "map_item.h"

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

void MapItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) shapesChanged();
}

}  // namespace tidewell
