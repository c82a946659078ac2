// The treemap as a painted Qt Quick item: one rounded cell per child of the
// model's focus, drawn from treemapCells(), with hover, zoom, basket and
// context-menu input written back to the model.
#pragma once

#include <QFont>
#include <QPointF>
#include <QPointer>
#include <QQuickPaintedItem>
#include <cstdint>
#include <memory>
#include <vector>

#include "icon_font.h"
#include "label_atlas.h"
#include "map_item.h"
#include "map_text.h"
#include "node_value.h"
#include "treemap_cells.h"

class QTextLayout;
class QVariantAnimation;

namespace tidewell {

class TreemapView : public MapItem {
    Q_OBJECT

  public:
    explicit TreemapView(QQuickItem* parent = nullptr);

    void paint(QPainter* painter) override;

    // The cells of the current layout, rebuilt first if anything they
    // depend on changed.
    const std::vector<TreemapCell>& cells();
    // How many times the layout was rebuilt; a hover must not add to it.
    std::int64_t layoutPasses() const { return layoutPasses_; }
    // True when the last paint had no cells and drew the empty-state text.
    bool drawsEmptyState() const { return drewEmpty_; }
    // Index into cells() of the cell under `pos`, or -1 (the gaps between
    // cells belong to none).
    int cellAt(QPointF pos);

  protected:
    void hoverMoveEvent(QHoverEvent* event) override;
    void hoverEnterEvent(QHoverEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct CellState {
        bool inBasket = false;
        bool greyed = false;
        bool hovered = false;
        bool undimmed = true;
    };

    void shapesChanged() override;
    void ensureLayout();
    CellState stateOf(const TreemapCell& cell) const;
    static double targetOpacity(const CellState& s);
    double shownOpacity(std::size_t i) const;
    // Starts the dimming fade from what is on screen now towards the new states.
    void looksChanged() override;
    bool showsButton(const TreemapCell& cell, const CellState& s) const;
    static QRectF buttonRect(const TreemapCell& cell);
    void paintCells(QPainter* p);
    struct LabelText {
        std::unique_ptr<QTextLayout> title;  // shaped and elided to the cell
        std::unique_ptr<QTextLayout> size;
        QSizeF box;
    };
    LabelText labelText(const TreemapCell& cell, bool struck) const;
    void ensureLabels(double scale);
    // Top of a label's second line, and the label's height, from its fonts.
    double sizeLineTop() const;
    double labelHeight() const;
    void paintLabel(QPainter* p, std::size_t i);
    void paintButton(QPainter* p, const TreemapCell& cell, const CellState& s);
    void hoverAt(QPointF pos);
    void activate(int index, QPointF pos);

    std::vector<TreemapCell> cells_;
    bool layoutDirty_ = true;
    std::int64_t layoutPasses_ = 0;
    bool drewEmpty_ = false;

    // Per-cell opacity at the start and end of the current fade.
    std::vector<double> fadeFrom_;
    std::vector<double> fadeTo_;
    QVariantAnimation* fade_ = nullptr;  // parent-owned

    // The labels of the labelled cells, baked with their shadows.
    LabelAtlas labels_;
    bool labelsValid_ = false;
    std::vector<bool> labelStruck_;  // per cell, as baked
    std::vector<int> labelIndex_;    // per cell, into labels_, or -1
    QFont titleFont_ = uiFont(13, QFont::DemiBold);
    QFont struckFont_ = uiFont(13, QFont::DemiBold);
    QFont sizeFont_ = digitsFont(11.5);
    QFont buttonFont_ = iconFont(15);

    int pressedCell_ = -1;
    bool pressedButton_ = false;
};

}  // namespace tidewell
