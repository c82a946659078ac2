// The sunburst map view: the focused folder as up to three rings of sectors
// around a centre label, painted from the geometry in sunburst_geometry.h and
// driving the model's hover, navigation and basket.
#pragma once

#include <QPointF>
#include <QPointer>
#include <QQuickPaintedItem>
#include <vector>

#include "file_node.h"
#include "map_item.h"
#include "node_value.h"
#include "sector_raster.h"
#include "sunburst_geometry.h"

class QPainter;

namespace tidewell {

class SunburstView : public MapItem {
    Q_OBJECT

  public:
    explicit SunburstView(QQuickItem* parent = nullptr);

    void paint(QPainter* painter) override;

    // The sectors of the current focus, rebuilt only when the focus, the tree
    // or the size has changed since the last call.
    const std::vector<SunburstSector>& sectors();
    SunburstGeometry geometry() const { return sunburstGeometry(width(), height()); }

  protected:
    void hoverEnterEvent(QHoverEvent* event) override;
    void hoverMoveEvent(QHoverEvent* event) override;
    void hoverLeaveEvent(QHoverEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void shapesChanged() override;
    void hoverAt(QPointF position);
    void clickAt(QPointF position);
    FileNode* sectorNodeAt(QPointF position);
    void paintCentreLabel(QPainter* painter, const SunburstGeometry& g);

    std::vector<SunburstSector> sectors_;
    std::vector<SectorPaint> paints_;  // reused from paint to paint
    bool sectorsDirty_ = true;
    Qt::MouseButton pressedButton_ = Qt::NoButton;
};

}  // namespace tidewell
