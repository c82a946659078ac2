// The treemap as a Qt Quick item: one rounded cell per child of the model's
// focus, drawn from treemapCells(), with hover, zoom, basket and
// context-menu input written back to the model.
//
// Each layout is rasterised once into one picture (every cell as it looks
// with nothing hovered and nothing in the basket, previews included) and
// its labels into one atlas. What changes with the hover and the basket is
// drawn over that: opacities (dimming and its fade) are node properties,
// the cells that look as baked and share one opacity being a few large
// pieces of the layout's picture; a hovered cell gets only its rim drawn
// again with the white border; a greyed cell gets a picture of its own;
// struck titles and the basket buttons are small pictures of their own.
#pragma once

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "cell_raster.h"
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
    ~TreemapView() override;

    // The cells of the current layout, rebuilt first if anything they
    // depend on changed.
    const std::vector<TreemapCell>& cells();
    // How many times the layout was rebuilt; a hover must not add to it.
    std::int64_t layoutPasses() const { return layoutPasses_; }
    // How many times the whole layout was rasterised; a hover, a fade or a
    // basket change must not add to it.
    std::int64_t bakes() const { return bakes_; }
    // True when the last frame had no cells and showed the empty-state text.
    bool drawsEmptyState() const { return drewEmpty_; }
    // Index into cells() of the cell under `pos`, or -1 (the gaps between
    // cells belong to none).
    int cellAt(QPointF pos);
    // The opacity cell `i` is drawn at now, a fade's current step included.
    double cellOpacity(std::size_t i) const { return shownOpacity(i); }
    // The title line of cell `i`'s label as the last frame showed it
    // (elided to fit), or an empty string when the cell has no label.
    QString shownTitle(std::size_t i) const;

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
        bool button = false;  // shows the basket button
    };
    struct LabelFonts {
        QFont title = uiFont(13, QFont::DemiBold);
        QFont struck = struckThrough(uiFont(13, QFont::DemiBold));
        QFont size = digitsFont(11.5);
        static QFont struckThrough(QFont font) {
            font.setStrikeOut(true);
            return font;
        }
    };
    struct LabelText {
        std::unique_ptr<QTextLayout> title;  // shaped and elided to the cell
        std::unique_ptr<QTextLayout> size;
        QSizeF box;
    };
    // A picture drawn over the layout's picture for one cell: which cell,
    // which look (greyed, hovered) and which part (0 whole, 1-4 rim strips,
    // 5 basket button).
    using OverlayKey = std::tuple<std::size_t, bool, bool, int>;

    void shapesChanged() override;
    void looksChanged() override;
    void prepare(double ratio) override;

    void ensureLayout();
    // The drawing states of every cell, from the model.
    void refreshStates();
    static double targetOpacity(const CellState& s);
    double shownOpacity(std::size_t i) const;
    static QRectF buttonRect(const TreemapCell& cell);

    // Pixels.
    void dropPictures();
    CellPaint cellPaint(std::size_t i, bool greyed, bool hovered,
                        std::vector<PreviewPaint>& previews) const;
    void paintRows(PixelCanvas& canvas, int top) const;
    std::future<void> onLabelThread(std::function<void()> work);
    QImage rasterCell(std::size_t i, bool greyed, bool hovered, const QRect& window);
    void bake();
    // The picture of `key` this frame: kept from the last frame, or made.
    std::uint64_t overlay(const OverlayKey& key, const std::function<QImage()>& make);
    std::uint64_t cellOverlay(std::size_t i, bool greyed, bool hovered, int part,
                              const QRect& window);
    void addBodyPieces(std::size_t i, std::vector<ScenePiece>& out);
    QRect buttonBox(std::size_t i) const;
    QImage buttonImage(std::size_t i, const QRect& box) const;
    void prepareEmptyState();

    // Labels.
    LabelText labelText(const TreemapCell& cell, bool struck, const LabelFonts& fonts) const;
    void bakeLabels(LabelAtlas& atlas, const std::vector<std::size_t>& cells, bool struck,
                    const LabelFonts& fonts, std::vector<QString>& titles);
    std::future<void> startPlainLabels();
    void ensureLabels();
    static double sizeLineTop(const LabelFonts& fonts);
    static double labelHeight(const LabelFonts& fonts);
    // Where cell `i`'s label, number `index` in `atlas`, is put: its pixels
    // there, cut at the cell's bottom, and their top-left in the view.
    std::pair<QRect, QPoint> labelPlace(std::size_t i, const LabelAtlas& atlas,
                                        std::size_t index) const;
    void addLabelPiece(std::size_t i, std::vector<ScenePiece>& out) const;

    void hoverAt(QPointF pos);
    void activate(int index, QPointF pos);

    std::vector<TreemapCell> cells_;
    std::vector<CellState> states_;
    bool layoutDirty_ = true;
    std::int64_t layoutPasses_ = 0;
    std::int64_t bakes_ = 0;
    bool drewEmpty_ = false;

    // Per-cell opacity at the start and end of the current fade.
    std::vector<double> fadeFrom_;
    std::vector<double> fadeTo_;
    QVariantAnimation* fade_ = nullptr;  // parent-owned

    // The layout's pixels, at ratio_, and each cell's box of them.
    double ratio_ = 0;
    bool baked_ = false;
    std::uint64_t base_ = 0;
    QSize canvasSize_;
    std::vector<QRect> boxes_;
    int rim_ = 0;  // device pixels of a cell's box that its border can change
    std::vector<PreviewPaint> previews_;
    // Overlay pictures: those the last frame used, which the next may take
    // over, and those this frame uses.
    std::map<OverlayKey, std::uint64_t> overlays_;
    std::map<OverlayKey, std::uint64_t> overlaysUsed_;
    std::uint64_t empty_ = 0;  // the empty-state line, for a view of emptyView_
    QSizeF emptyView_;
    QRect emptyBand_;

    // The labels of the labelled cells, baked with their shadows: all plain,
    // and apart those struck through for the basket.
    bool labelsBaked_ = false;
    bool labelsPending_ = false;  // the plain atlas is made, its picture not yet
    QThreadPool labelThread_;     // one thread, kept: makes the plain labels
    LabelAtlas labels_;
    std::uint64_t labelsPicture_ = 0;
    std::vector<QString> titles_;  // per labelled cell in labels_
    LabelAtlas struck_;
    std::uint64_t struckPicture_ = 0;
    std::vector<std::size_t> struckCells_;  // the cells in struck_, in order
    std::vector<QString> struckTitles_;
    std::vector<int> labelIndex_;  // per cell, into labels_, or -1
    // Qt caches a font's glyphs per font object and thread: the labels'
    // thread has fonts of its own, made apart from the ones used here.
    LabelFonts fonts_;
    LabelFonts threadFonts_;
    QFont buttonFont_ = iconFont(15);

    int pressedCell_ = -1;
    bool pressedButton_ = false;
};

}  // namespace tidewell
