#include "treemap_view.h"

#include <QEasingCurve>
#include <QFont>
#include <QFontMetricsF>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <unordered_set>

#include "colors.h"
#include "display_text.h"
#include "size_format.h"

namespace tidewell {

namespace {

constexpr double kCornerRadius = 5.0;
constexpr double kDimmedOpacity = 0.32;
constexpr double kGreyedOpacity = 0.55;
constexpr int kFadeMs = 150;
constexpr double kButtonSide = 22.0;
constexpr double kButtonPadding = 6.0;
constexpr double kLabelLeft = 9.0;
constexpr double kLabelTop = 7.0;
constexpr double kLabelSpacing = 1.0;
constexpr double kBorderWidth = 1.0;
constexpr double kHoverBorderWidth = 2.0;
// Of the base picture's rows, the share painted on this thread, in percent:
// the labels' thread makes the labels first, then paints the rest.
constexpr int kUpperShare = 70;

// The parts of a cell an overlay picture can be.
constexpr int kWhole = 0;  // 1 to 4: the rim strips, top, bottom, left, right
constexpr int kButton = 5;

const Rgb8 kAggregateFill{51, 51, 59};  // sRGB (0.2, 0.2, 0.231)

QRectF toQRect(const MapRect& r) {
    return {r.x, r.y, r.width, r.height};
}

MapRect scaledRect(double x, double y, double w, double h, double k) {
    return {x * k, y * k, w * k, h * k};
}

QRect toQRect(const PixelBox& b) {
    return b.empty() ? QRect() : QRect(QPoint(b.x0, b.y0), QPoint(b.x1, b.y1));
}

// A picture's pixels from (0, 0), put with their top-left at `at`.
ScenePiece wholePiece(std::uint64_t picture, const QRect& at) {
    return {picture, QRect(QPoint(0, 0), at.size()), at.topLeft()};
}

// One line shaped once, elided to `width` if it is wider, and drawn from
// that shaping however often it is painted.
std::unique_ptr<QTextLayout> shapedLine(const QString& text, const QFont& font, double width) {
    auto layout = std::make_unique<QTextLayout>(text, font);
    const auto shape = [&layout] {
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid()) line.setLineWidth(1e6);
        layout->endLayout();
        return line.isValid() ? line.naturalTextWidth() : 0.0;
    };
    if (shape() > width) {
        layout->setText(QFontMetricsF(font).elidedText(text, Qt::ElideRight, width));
        shape();
    }
    return layout;
}

double lineWidth(const QTextLayout& layout) {
    return layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0.0;
}

}  // namespace

TreemapView::TreemapView(QQuickItem* parent) : MapItem(parent), fade_(new QVariantAnimation(this)) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
    labelThread_.setMaxThreadCount(1);
    labelThread_.setExpiryTimeout(-1);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(kFadeMs);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this] { refresh(); });
}

TreemapView::~TreemapView() = default;

void TreemapView::shapesChanged() {
    layoutDirty_ = true;
    pressedCell_ = -1;
    refresh();
}

void TreemapView::ensureLayout() {
    if (!layoutDirty_) return;
    layoutDirty_ = false;
    ++layoutPasses_;
    FileNode* focus = model_ ? model_->focus() : nullptr;
    cells_ = treemapCells(NodeRef(focus), width(), height());
    baked_ = false;
    labelsBaked_ = false;
    refreshStates();
    // A new layout appears at its final look; only state changes fade.
    fade_->stop();
    fadeTo_.resize(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) fadeTo_[i] = targetOpacity(states_[i]);
    fadeFrom_ = fadeTo_;
}

const std::vector<TreemapCell>& TreemapView::cells() {
    ensureLayout();
    return cells_;
}

void TreemapView::refreshStates() {
    states_.assign(cells_.size(), CellState{});
    if (!model_) return;
    // One set per refresh, so each cell costs a few lookups however full
    // the basket is.
    std::unordered_set<const FileNode*> basket;
    for (const NodeRef& n : model_->basket()) basket.insert(n.get());
    FileNode* hovered = model_->hoveredNode();
    // All cells share their parent, the focus: its chain is walked once.
    const FileNode* parent = nullptr;
    bool parentGreyed = false;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const TreemapCell& cell = cells_[i];
        CellState& s = states_[i];
        if (cell.isAggregate) {
            s.undimmed = hovered == nullptr;
            continue;
        }
        FileNode* node = cell.node.get();
        if (i == 0 || node->parent() != parent) {
            parent = node->parent();
            parentGreyed = false;
            for (const FileNode* a = parent; a != nullptr && !basket.empty(); a = a->parent()) {
                if (!basket.contains(a)) continue;
                parentGreyed = true;
                break;
            }
        }
        s.inBasket = basket.contains(node);
        s.greyed = s.inBasket || parentGreyed;
        s.hovered = hovered == node;
        s.undimmed = hovered == nullptr || s.hovered;
        s.button = cell.showLabel && (s.hovered || s.inBasket) && model_->canDelete(node);
    }
}

double TreemapView::targetOpacity(const CellState& s) {
    if (!s.undimmed) return kDimmedOpacity;
    return s.greyed ? kGreyedOpacity : 1.0;
}

double TreemapView::shownOpacity(std::size_t i) const {
    if (fade_->state() != QAbstractAnimation::Running) return fadeTo_[i];
    const double t = fade_->currentValue().toDouble();
    return fadeFrom_[i] + (fadeTo_[i] - fadeFrom_[i]) * t;
}

void TreemapView::looksChanged() {
    if (!layoutDirty_) {
        // The fade starts from what is on screen now towards the new states.
        std::vector<double> shown(cells_.size());
        for (std::size_t i = 0; i < cells_.size(); ++i) shown[i] = shownOpacity(i);
        refreshStates();
        bool changed = false;
        for (std::size_t i = 0; i < cells_.size(); ++i) {
            fadeFrom_[i] = shown[i];
            fadeTo_[i] = targetOpacity(states_[i]);
            changed = changed || fadeFrom_[i] != fadeTo_[i];
        }
        fade_->stop();
        if (changed) fade_->start();
    }
    refresh();
}

QRectF TreemapView::buttonRect(const TreemapCell& cell) {
    return {cell.rect.x + cell.rect.width - kButtonPadding - kButtonSide,
            cell.rect.y + kButtonPadding, kButtonSide, kButtonSide};
}

void TreemapView::dropPictures() {
    dropPicture(base_);
    base_ = 0;
    for (const auto& [key, id] : overlays_) dropPicture(id);
    for (const auto& [key, id] : overlaysUsed_) dropPicture(id);
    overlays_.clear();
    overlaysUsed_.clear();
    dropPicture(empty_);
    empty_ = 0;
}

CellPaint TreemapView::cellPaint(std::size_t i, bool greyed, bool hovered,
                                 std::vector<PreviewPaint>& previews) const {
    const TreemapCell& cell = cells_[i];
    const double k = ratio_;
    const MapRect& r = cell.rect;
    previews.clear();
    // Previews keep the cell's hue even when the cell is greyed.
    for (const TreemapSubRect& sub : cell.subRects)
        previews.push_back(
            {scaledRect(r.x + sub.rect.x, r.y + sub.rect.y, sub.rect.width, sub.rect.height, k),
             hslColor(cell.hue, 0.6, sub.lightness / 100.0)});
    CellPaint paint;
    paint.rect = scaledRect(r.x, r.y, r.width, r.height, k);
    paint.radius = kCornerRadius * k;
    paint.fill = cell.isAggregate ? kAggregateFill
                 : greyed         ? hslColor(0.0, 0.0, 0.26)
                                  : hslColor(cell.hue, 0.66, 0.5);
    paint.previews = previews;
    paint.previewRim = k;
    paint.previewRimAlpha = 0.3F;
    paint.border = hovered ? Rgb8{255, 255, 255} : Rgb8{0, 0, 0};
    paint.borderAlpha = hovered ? 0.9F : 0.35F;
    paint.borderWidth = (hovered ? kHoverBorderWidth : kBorderWidth) * k;
    // The cell's opacity is the scene's to apply.
    paint.opacity = 1.0F;
    return paint;
}

QImage TreemapView::rasterCell(std::size_t i, bool greyed, bool hovered, const QRect& window) {
    QImage image = clearImage(window.size());
    PixelCanvas canvas = canvasOf(image);
    paintCell(canvas, cellPaint(i, greyed, hovered, previews_), window.x(), window.y());
    return image;
}

// Every cell as it looks with nothing hovered and nothing in the basket. The
// labels' thread paints the lower rows once the labels are made, this one
// the upper rows meanwhile; each cell is painted clipped to each band it meets.
void TreemapView::bake() {
    dropPictures();
    ++bakes_;
    canvasSize_ = QSize(std::max(0, static_cast<int>(std::ceil(width() * ratio_))),
                        std::max(0, static_cast<int>(std::ceil(height() * ratio_))));
    const QSize size = canvasSize_;
    QImage image = freshImage(size, true);
    boxes_.resize(cells_.size());
    rim_ = cellRimPixels(kCornerRadius * ratio_, kHoverBorderWidth * ratio_);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const MapRect& r = cells_[i].rect;
        boxes_[i] = toQRect(cellPixels(scaledRect(r.x, r.y, r.width, r.height, ratio_),
                                       size.width(), size.height()));
    }
    // The canvases are taken here: QImage::bits() is not for two threads.
    const int split = size.height() * kUpperShare / 100;
    PixelCanvas upper = canvasOf(image, QRect(0, 0, size.width(), split));
    PixelCanvas lower = canvasOf(image, QRect(0, split, size.width(), size.height() - split));
    std::future<void> lowerDone =
        onLabelThread([this, lower, split]() mutable { paintRows(lower, split); });
    paintRows(upper, 0);
    lowerDone.get();
    base_ = addPicture(std::move(image));
    baked_ = true;
}

void TreemapView::paintRows(PixelCanvas& canvas, int top) const {
    std::vector<PreviewPaint> previews;
    const int bottom = top + canvas.height();
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const QRect& box = boxes_[i];
        if (box.isEmpty() || box.bottom() < top || box.top() >= bottom) continue;
        paintCell(canvas, cellPaint(i, false, false, previews), 0, top);
    }
}

std::future<void> TreemapView::onLabelThread(std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    labelThread_.start([work = std::move(work), done] {
        try {
            work();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    return finished;
}

std::uint64_t TreemapView::overlay(const OverlayKey& key, const std::function<QImage()>& make) {
    if (const auto it = overlaysUsed_.find(key); it != overlaysUsed_.end()) return it->second;
    std::uint64_t id = 0;
    if (const auto it = overlays_.find(key); it != overlays_.end()) {
        id = it->second;
        overlays_.erase(it);
    } else {
        id = addPicture(make());
    }
    overlaysUsed_.emplace(key, id);
    return id;
}

std::uint64_t TreemapView::cellOverlay(std::size_t i, bool greyed, bool hovered, int part,
                                       const QRect& window) {
    return overlay({i, greyed, hovered, part},
                   [&] { return rasterCell(i, greyed, hovered, window); });
}

void TreemapView::addBodyPieces(std::size_t i, std::vector<ScenePiece>& out) {
    const QRect& box = boxes_[i];
    if (box.isEmpty()) return;
    const CellState& s = states_[i];
    if (!s.greyed && !s.hovered) {
        out.push_back({base_, box, box.topLeft()});
        return;
    }
    const QRect inside = box.adjusted(rim_, rim_, -rim_, -rim_);
    if (!s.hovered || inside.isEmpty()) {
        out.push_back(wholePiece(cellOverlay(i, s.greyed, s.hovered, kWhole, box), box));
        return;
    }
    // A hovered cell differs from its plain look only on its rim: the
    // inside comes from the plain picture, the rim is drawn again.
    if (s.greyed) {
        const std::uint64_t grey = cellOverlay(i, true, false, kWhole, box);
        out.push_back({grey, inside.translated(-box.topLeft()), inside.topLeft()});
    } else {
        out.push_back({base_, inside, inside.topLeft()});
    }
    const QRect strips[4] = {{box.left(), box.top(), box.width(), rim_},
                             {box.left(), box.bottom() - rim_ + 1, box.width(), rim_},
                             {box.left(), inside.top(), rim_, inside.height()},
                             {inside.right() + 1, inside.top(), rim_, inside.height()}};
    for (int part = 0; part < 4; ++part)
        out.push_back(
            wholePiece(cellOverlay(i, s.greyed, true, part + 1, strips[part]), strips[part]));
}

QRect TreemapView::buttonBox(std::size_t i) const {
    const QRectF b = buttonRect(cells_[i]);
    const double k = ratio_;
    return {QPoint(static_cast<int>(std::floor(b.left() * k)) - 1,
                   static_cast<int>(std::floor(b.top() * k)) - 1),
            QPoint(static_cast<int>(std::ceil(b.right() * k)) + 1,
                   static_cast<int>(std::ceil(b.bottom() * k)) + 1)};
}

// Drawn where it lands on the device pixels, so it needs no resampling.
QImage TreemapView::buttonImage(std::size_t i, const QRect& box) const {
    const bool inBasket = states_[i].inBasket;
    const QRectF b = buttonRect(cells_[i]);
    const double k = ratio_;
    QImage image = clearImage(box.size());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setTransform(QTransform::fromTranslate(-box.x(), -box.y()).scale(k, k));
    p.setPen(Qt::NoPen);
    p.setBrush(inBasket ? QColor(255, 91, 82) : QColor(0, 0, 0, 128));
    p.drawEllipse(b);
    p.setFont(buttonFont_);
    p.setPen(Qt::white);
    p.drawText(b, Qt::AlignCenter, iconGlyph(inBasket ? "checkmark" : "plus"));
    return image;
}

void TreemapView::prepareEmptyState() {
    scene_.clear();
    const QSizeF view(width(), height());
    if (empty_ == 0 || emptyView_ != view) {
        dropPictures();
        emptyView_ = view;
        const double k = ratio_;
        // Only the band of rows the line can reach is drawn.
        const int fullHeight = std::max(0, static_cast<int>(std::ceil(height() * k)));
        const int top =
            std::clamp(static_cast<int>(std::floor((height() / 2 - 20) * k)), 0, fullHeight);
        const int bottom =
            std::clamp(static_cast<int>(std::ceil((height() / 2 + 20) * k)), top, fullHeight);
        emptyBand_ =
            QRect(0, top, std::max(0, static_cast<int>(std::ceil(width() * k))), bottom - top);
        if (emptyBand_.isEmpty()) return;
        QImage image = clearImage(emptyBand_.size());
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setRenderHint(QPainter::TextAntialiasing, true);
            p.setTransform(QTransform::fromTranslate(0, -top).scale(k, k));
            paintEmptyState(&p, QRectF(0, 0, width(), height()));
        }
        empty_ = addPicture(std::move(image));
    }
    if (empty_ != 0) scene_.push_back({1.0, {wholePiece(empty_, emptyBand_)}});
}

void TreemapView::prepare(double ratio) {
    ensureLayout();
    if (ratio != ratio_) {
        ratio_ = ratio;
        baked_ = false;
        labelsBaked_ = false;
        dropPicture(empty_);
        empty_ = 0;
    }
    drewEmpty_ = cells_.empty();
    if (drewEmpty_) {
        baked_ = false;
        prepareEmptyState();
        return;
    }
    // The plain labels of a new layout are made beside the cells.
    std::future<void> plainLabels = labelsBaked_ ? std::future<void>() : startPlainLabels();
    if (!baked_) bake();
    if (plainLabels.valid()) plainLabels.get();
    ensureLabels();

    // Overlays this frame does not use are dropped at its end.
    overlays_.merge(overlaysUsed_);
    overlaysUsed_.clear();
    scene_.clear();

    // Most cells look as baked and share one opacity: they are drawn as a
    // few large pieces of the layout's pictures around the other cells,
    // which are drawn one by one. Few pieces make a cheap frame for any
    // renderer, however many cells there are.
    const std::size_t n = cells_.size();
    std::vector<double> opacity(n);
    std::vector<bool> plain(n);
    std::map<double, double> areaAt;  // total box area of the plain cells by opacity
    for (std::size_t i = 0; i < n; ++i) {
        const CellState& s = states_[i];
        opacity[i] = shownOpacity(i);
        plain[i] = !s.greyed && !s.hovered && !s.button && !(cells_[i].showLabel && s.inBasket);
        if (plain[i])
            areaAt[opacity[i]] += static_cast<double>(boxes_[i].width()) * boxes_[i].height();
    }
    double common = -1;
    double commonArea = -1;
    for (const auto& [value, area] : areaAt) {
        if (area <= commonArea) continue;
        common = value;
        commonArea = area;
    }
    std::vector<std::size_t> apart;
    std::vector<QRect> holes;
    std::vector<std::size_t> together;
    for (std::size_t i = 0; i < n; ++i) {
        if (plain[i] && opacity[i] == common) {
            together.push_back(i);
        } else {
            apart.push_back(i);
            holes.push_back(boxes_[i]);
        }
    }
    // Around many holes the cells are put one by one instead.
    constexpr std::size_t kMaxHoles = 64;
    const QRect all(QPoint(0, 0), canvasSize_);
    std::vector<QRect> around;
    if (!together.empty()) {
        if (holes.size() <= kMaxHoles) {
            around = rectsAround(all, holes);
        } else {
            for (const std::size_t i : together) around.push_back(boxes_[i]);
        }
    }
    if (!around.empty()) {
        SceneGroup group{common, {}};
        for (const QRect& r : around)
            if (!r.isEmpty()) group.pieces.push_back({base_, r, r.topLeft()});
        scene_.push_back(std::move(group));
    }
    for (const std::size_t i : apart) {
        SceneGroup group{opacity[i], {}};
        addBodyPieces(i, group.pieces);
        scene_.push_back(std::move(group));
    }
    // Labels and buttons go over all cells, as a label's shadow may reach
    // past its cell; those of the common cells share their opacity.
    SceneGroup labels{common, {}};
    for (const std::size_t i : together)
        if (cells_[i].showLabel) addLabelPiece(i, labels.pieces);
    if (!labels.pieces.empty()) scene_.push_back(std::move(labels));
    for (const std::size_t i : apart) {
        SceneGroup group{opacity[i], {}};
        if (cells_[i].showLabel) addLabelPiece(i, group.pieces);
        if (states_[i].button) {
            const QRect box = buttonBox(i);
            const std::uint64_t id = overlay({i, states_[i].inBasket, false, kButton},
                                             [&] { return buttonImage(i, box); });
            group.pieces.push_back(wholePiece(id, box));
        }
        if (!group.pieces.empty()) scene_.push_back(std::move(group));
    }
    for (const auto& [key, id] : overlays_) dropPicture(id);
    overlays_.clear();
}

TreemapView::LabelText TreemapView::labelText(const TreemapCell& cell, bool struck,
                                              const LabelFonts& fonts) const {
    // Past the widest label the atlas holds, text is elided like text too
    // wide for its cell.
    const double textWidth =
        std::max(0.0, std::min(cell.rect.width - 2 * kLabelLeft,
                               LabelAtlas::maxLabelWidth(ratio_, ShadowStyle{})));
    const QString title = cell.isAggregate ? QStringLiteral("+%1 öğe").arg(cell.aggregateCount)
                                           : QString::fromStdString(repairUtf8(cell.node->name()));
    LabelText t;
    t.title = shapedLine(title, struck ? fonts.struck : fonts.title, textWidth);
    t.size = shapedLine(QString::fromStdString(formatBytes(cell.sizeBytes)), fonts.size, textWidth);
    // As wide as the longer line, so the shadow is blurred only where text is.
    const double used = std::max(lineWidth(*t.title), lineWidth(*t.size));
    t.box = QSizeF(std::min(std::ceil(used) + 1, textWidth), labelHeight(fonts));
    return t;
}

void TreemapView::bakeLabels(LabelAtlas& atlas, const std::vector<std::size_t>& cells, bool struck,
                             const LabelFonts& fonts, std::vector<QString>& titles) {
    std::vector<LabelText> texts;
    std::vector<QSizeF> sizes;
    titles.clear();
    for (const std::size_t i : cells) {
        texts.push_back(labelText(cells_[i], struck, fonts));
        sizes.push_back(texts.back().box);
        titles.push_back(texts.back().title->text());
    }
    atlas.build(sizes, ratio_, ShadowStyle{}, [&](std::size_t n, QPainter& p, bool shadow) {
        const LabelText& t = texts[n];
        p.setPen(shadow ? QColor(Qt::black) : QColor(255, 255, 255, struck ? 191 : 255));
        t.title->draw(&p, QPointF(0, 0));
        p.setPen(shadow ? QColor(Qt::black) : QColor(255, 255, 255, 230));
        t.size->draw(&p, QPointF(0, sizeLineTop(fonts)));
    });
}

// Plain labels change with the layout: their text is shaped and drawn on the
// view's own thread while the cells are painted (Qt 6 draws text on any
// thread). The thread lasts as long as the view, because Qt keeps its font
// caches per thread: a new thread each time shapes slower than none at all.
// Only the atlas and the titles are touched there, no picture.
std::future<void> TreemapView::startPlainLabels() {
    labelsBaked_ = true;
    std::vector<std::size_t> labelled;
    labelIndex_.assign(cells_.size(), -1);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (!cells_[i].showLabel) continue;
        labelIndex_[i] = static_cast<int>(labelled.size());
        labelled.push_back(i);
    }
    // Let go of the old picture first, so its image can be drawn over.
    dropPicture(labelsPicture_);
    labelsPicture_ = 0;
    labelsPending_ = true;
    return onLabelThread([this, labelled = std::move(labelled)] {
        bakeLabels(labels_, labelled, false, threadFonts_, titles_);
    });
}

// A basket item's title is struck through; only those are baked again
// when the basket changes.
void TreemapView::ensureLabels() {
    // A new layout's struck labels are made again with its plain ones.
    const bool newLayout = labelsPending_;
    if (labelsPending_) {
        labelsPending_ = false;
        if (!titles_.empty()) labelsPicture_ = addPicture(labels_.image());
    }
    std::vector<std::size_t> struck;
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i].showLabel && states_[i].inBasket) struck.push_back(i);
    if (!newLayout && struck == struckCells_) return;
    struckCells_ = std::move(struck);
    dropPicture(struckPicture_);
    struckPicture_ = 0;
    bakeLabels(struck_, struckCells_, true, fonts_, struckTitles_);
    if (!struckCells_.empty()) struckPicture_ = addPicture(struck_.image());
}

double TreemapView::sizeLineTop(const LabelFonts& fonts) {
    return QFontMetricsF(fonts.title).height() + kLabelSpacing;
}

double TreemapView::labelHeight(const LabelFonts& fonts) {
    return sizeLineTop(fonts) + QFontMetricsF(fonts.size).height();
}

std::pair<QRect, QPoint> TreemapView::labelPlace(std::size_t i, const LabelAtlas& atlas,
                                                 std::size_t index) const {
    const double k = ratio_;
    const MapRect& r = cells_[i].rect;
    const QPointF origin(r.x + kLabelLeft, r.y + kLabelTop);
    QRect source = atlas.place(index);
    const QPoint at(static_cast<int>(std::lround(origin.x() * k)) - atlas.pad(),
                    static_cast<int>(std::lround(origin.y() * k)) - atlas.pad());
    // The smallest labelled cells are shorter than their label, which is
    // cut at the cell's bottom.
    if (origin.y() + labelHeight(fonts_) > r.y + r.height) {
        const int bottom = static_cast<int>(std::lround((r.y + r.height) * k));
        source.setHeight(std::clamp(bottom - at.y(), 0, source.height()));
    }
    return {source, at};
}

void TreemapView::addLabelPiece(std::size_t i, std::vector<ScenePiece>& out) const {
    if (states_[i].inBasket) {
        const auto it = std::lower_bound(struckCells_.begin(), struckCells_.end(), i);
        if (it != struckCells_.end() && *it == i) {
            const auto [source, at] =
                labelPlace(i, struck_, static_cast<std::size_t>(it - struckCells_.begin()));
            if (!source.isEmpty()) out.push_back({struckPicture_, source, at});
            return;
        }
    }
    const auto [source, at] = labelPlace(i, labels_, static_cast<std::size_t>(labelIndex_[i]));
    if (!source.isEmpty()) out.push_back({labelsPicture_, source, at});
}

QString TreemapView::shownTitle(std::size_t i) const {
    if (i >= labelIndex_.size() || labelIndex_[i] < 0) return {};
    const auto it = std::lower_bound(struckCells_.begin(), struckCells_.end(), i);
    if (it != struckCells_.end() && *it == i)
        return struckTitles_[static_cast<std::size_t>(it - struckCells_.begin())];
    return titles_[static_cast<std::size_t>(labelIndex_[i])];
}

int TreemapView::cellAt(QPointF pos) {
    ensureLayout();
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (toQRect(cells_[i].rect).contains(pos)) return static_cast<int>(i);
    }
    return -1;
}

void TreemapView::hoverAt(QPointF pos) {
    if (!model_) return;
    const int i = cellAt(pos);
    // Leaving a cell keeps the hover; the results screen clears it.
    if (i < 0 || cells_[static_cast<std::size_t>(i)].isAggregate) return;
    FileNode* node = cells_[static_cast<std::size_t>(i)].node.get();
    if (model_->hoveredNode() != node) model_->setHovered(node);
}

void TreemapView::hoverEnterEvent(QHoverEvent* event) {
    hoverAt(event->position());
}

void TreemapView::hoverMoveEvent(QHoverEvent* event) {
    hoverAt(event->position());
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    pressedCell_ = cellAt(event->position());
    pressedButton_ = false;
    if (pressedCell_ < 0) {
        event->ignore();
        return;
    }
    const auto index = static_cast<std::size_t>(pressedCell_);
    const TreemapCell& cell = cells_[index];
    if (event->button() == Qt::RightButton) {
        emit contextMenuRequested(cell.isAggregate ? NodeValue() : NodeValue(cell.node),
                                  !cell.isAggregate && cell.node->isDirectory(),
                                  states_[index].inBasket, event->position());
        pressedCell_ = -1;
        event->accept();
        return;
    }
    pressedButton_ = states_[index].button && buttonRect(cell).contains(event->position());
    event->accept();
}

void TreemapView::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = pressedCell_;
    pressedCell_ = -1;
    if (event->button() != Qt::LeftButton || pressed < 0 || cellAt(event->position()) != pressed)
        return;
    const TreemapCell& cell = cells_[static_cast<std::size_t>(pressed)];
    if (pressedButton_ && buttonRect(cell).contains(event->position())) {
        model_->toggleBasket(cell.node.get());
        return;
    }
    activate(pressed, event->position());
}

void TreemapView::activate(int index, QPointF) {
    if (!model_) return;
    const TreemapCell& cell = cells_[static_cast<std::size_t>(index)];
    if (cell.isAggregate) return;
    FileNode* node = cell.node.get();
    if (node->childCount() == 0) {
        // The model refuses undeletable items and shows its own message.
        model_->toggleBasket(node);
        return;
    }
    QList<NodeRef> chain;
    for (FileNode* a = node; a != nullptr; a = a->parent()) chain.prepend(NodeRef(a));
    model_->setPath(std::move(chain));
    if (model_->hoveredNode() != nullptr) model_->setHovered(nullptr);
}

}  // namespace tidewell
