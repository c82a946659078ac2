// The sunburst map view: the focused folder as up to three rings of sectors
// around a centre label, drawn from the geometry in sunburst_geometry.h and
// driving the model's hover, navigation and basket.
//
// The rings are rasterised into two pictures per layout: every sector plain
// and every sector dimmed (the second while the view is idle after the
// first frame). A hover shows the one of them that differs from the hovered
// look in fewer places, and only the box around the sectors that differ is
// rasterised again, over it. A basket change redraws, in both pictures,
// only the box around the sectors that turned grey or back.
#pragma once

#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <cstdint>
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

    // The sectors of the current focus, rebuilt only when the focus, the tree
    // or the size has changed since the last call.
    const std::vector<SunburstSector>& sectors();
    SunburstGeometry geometry() const { return sunburstGeometry(width(), height()); }
    // How many times all sectors were rasterised (plain or dimmed); a hover
    // or a basket change must not add to it once both are made.
    std::int64_t bakes() const { return bakes_; }
    // Whether the dimmed picture of the current layout is made.
    bool dimmedReady() const { return dimmed_.valid; }

  protected:
    void hoverEnterEvent(QHoverEvent* event) override;
    void hoverMoveEvent(QHoverEvent* event) override;
    void hoverLeaveEvent(QHoverEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Look {
        bool greyed = false;
        bool dimmed = false;
        bool hovered = false;
        friend bool operator==(const Look&, const Look&) = default;
    };
    // All sectors drawn at one look each.
    struct Layer {
        bool valid = false;
        std::uint64_t picture = 0;
        std::vector<Look> looks;
    };

    void shapesChanged() override;
    void prepare(double ratio) override;
    void hoverAt(QPointF position);
    void clickAt(QPointF position);
    FileNode* sectorNodeAt(QPointF position);

    // States from the model: which sectors are grey, which is hovered and
    // which are dimmed.
    void refreshStates();
    std::vector<Look> looksOf(bool dimmed) const;
    std::vector<Look> shownLooks() const;
    // Pixels.
    void resetPixels();
    SectorPaint paintOf(std::size_t i, const Look& look) const;
    void paintRegion(QImage& image, const QRect& region, const QPoint& origin,
                     const std::vector<Look>& looks);
    QRect differing(const std::vector<Look>& a, const std::vector<Look>& b) const;
    void bringUpToDate(Layer& layer, const std::vector<Look>& looks);
    void bakeDimmedWhenIdle();
    void addRingPieces(std::vector<ScenePiece>& out);
    void prepareCentreLabel(std::vector<ScenePiece>& out);
    void paintCentreLabel(QPainter* painter, const SunburstGeometry& g);
    void prepareEmptyState();

    std::vector<SunburstSector> sectors_;
    bool sectorsDirty_ = true;
    Qt::MouseButton pressedButton_ = Qt::NoButton;

    std::vector<bool> greyed_;
    std::vector<bool> inHovered_;  // the hovered node or one of its descendants
    const FileNode* hovered_ = nullptr;
    std::int64_t bakes_ = 0;

    // Pixels of the current layout at ratio_.
    bool pixelsValid_ = false;
    double ratio_ = 0;
    QSizeF view_;
    QRect canvas_;
    double centreX_ = 0;  // device pixels
    double centreY_ = 0;
    std::vector<QRect> reach_;  // per sector, the pixels it can touch in any look
    QRect inked_;               // all of them
    std::vector<SectorPaint> paints_;
    Layer plain_;
    Layer dimmed_;
    bool dimmedScheduled_ = false;
    // The sectors drawn again over a layer for the hover.
    std::uint64_t overlay_ = 0;
    std::uint64_t overlayBase_ = 0;
    QRect overlayRect_;
    std::vector<Look> overlayLooks_;
    // The centre label, and what it shows.
    std::uint64_t label_ = 0;
    QRect labelRect_;
    const FileNode* labelNode_ = nullptr;
    std::int64_t labelBytes_ = -1;
    std::uint64_t empty_ = 0;
    QRect emptyBand_;
};

}  // namespace tidewell
