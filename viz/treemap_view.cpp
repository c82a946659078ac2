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
#include <memory>

#include "cell_raster.h"
#include "colors.h"
#include "display_text.h"
#include "icon_font.h"
#include "label_atlas.h"
#include "map_text.h"
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

QRectF toQRect(const MapRect& r) {
    return {r.x, r.y, r.width, r.height};
}

MapRect scaledRect(double x, double y, double w, double h, double k) {
    return {x * k, y * k, w * k, h * k};
}

}  // namespace

TreemapView::TreemapView(QQuickItem* parent) : MapItem(parent), fade_(new QVariantAnimation(this)) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
    setAntialiasing(true);
    struckFont_.setStrikeOut(true);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(kFadeMs);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void TreemapView::shapesChanged() {
    layoutDirty_ = true;
    pressedCell_ = -1;
    update();
}

void TreemapView::ensureLayout() {
    if (!layoutDirty_) return;
    layoutDirty_ = false;
    ++layoutPasses_;
    FileNode* focus = model_ ? model_->focus() : nullptr;
    cells_ = treemapCells(NodeRef(focus), width(), height());
    labelsValid_ = false;
    // A new layout appears at its final look; only state changes fade.
    fade_->stop();
    fadeTo_.resize(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) fadeTo_[i] = targetOpacity(stateOf(cells_[i]));
    fadeFrom_ = fadeTo_;
}

const std::vector<TreemapCell>& TreemapView::cells() {
    ensureLayout();
    return cells_;
}

TreemapView::CellState TreemapView::stateOf(const TreemapCell& cell) const {
    CellState s;
    if (!model_) return s;
    FileNode* hovered = model_->hoveredNode();
    if (cell.isAggregate) {
        s.undimmed = hovered == nullptr;
        return s;
    }
    const FileNode* node = cell.node.get();
    s.inBasket = model_->isInBasket(node);
    s.greyed = s.inBasket;
    for (const FileNode* a = node->parent(); a != nullptr && !s.greyed; a = a->parent())
        s.greyed = model_->isInBasket(a);
    s.hovered = hovered == node;
    s.undimmed = hovered == nullptr || s.hovered;
    return s;
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
        bool changed = false;
        for (std::size_t i = 0; i < cells_.size(); ++i) {
            const double shown = shownOpacity(i);
            const double target = targetOpacity(stateOf(cells_[i]));
            fadeFrom_[i] = shown;
            fadeTo_[i] = target;
            changed = changed || shown != target;
        }
        fade_->stop();
        if (changed) fade_->start();
    }
    update();
}

bool TreemapView::showsButton(const TreemapCell& cell, const CellState& s) const {
    return !cell.isAggregate && cell.showLabel && (s.hovered || s.inBasket) && model_ &&
           model_->canDelete(cell.node.get());
}

QRectF TreemapView::buttonRect(const TreemapCell& cell) {
    return {cell.rect.x + cell.rect.width - kButtonPadding - kButtonSide,
            cell.rect.y + kButtonPadding, kButtonSide, kButtonSide};
}

void TreemapView::paintCells(QPainter* p) {
    const double k = deviceScale(p);
    PixelCanvas canvas = clearedLayer(k);
    const Rgb8 aggregateFill{51, 51, 59};  // sRGB (0.2, 0.2, 0.231)
    const Rgb8 greyFill = hslColor(0.0, 0.0, 0.26);
    std::vector<PreviewPaint> previews;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const TreemapCell& cell = cells_[i];
        const CellState s = stateOf(cell);
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
        paint.fill = cell.isAggregate ? aggregateFill
                     : s.greyed       ? greyFill
                                      : hslColor(cell.hue, 0.66, 0.5);
        paint.previews = previews;
        paint.previewRim = k;
        paint.previewRimAlpha = 0.3F;
        paint.border = s.hovered ? Rgb8{255, 255, 255} : Rgb8{0, 0, 0};
        paint.borderAlpha = s.hovered ? 0.9F : 0.35F;
        paint.borderWidth = (s.hovered ? 2.0 : 1.0) * k;
        paint.opacity = static_cast<float>(shownOpacity(i));
        paintCell(canvas, paint);
    }
    showLayer(p);
}

namespace {

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

TreemapView::LabelText TreemapView::labelText(const TreemapCell& cell, bool struck) const {
    const double textWidth = std::max(0.0, cell.rect.width - 2 * kLabelLeft);
    const QString title = cell.isAggregate ? QStringLiteral("+%1 öğe").arg(cell.aggregateCount)
                                           : QString::fromStdString(repairUtf8(cell.node->name()));
    LabelText t;
    t.title = shapedLine(title, struck ? struckFont_ : titleFont_, textWidth);
    t.size = shapedLine(QString::fromStdString(formatBytes(cell.sizeBytes)), sizeFont_, textWidth);
    // As wide as the longer line, so the shadow is blurred only where text is.
    const double used = std::max(lineWidth(*t.title), lineWidth(*t.size));
    t.box = QSizeF(std::min(std::ceil(used) + 1, textWidth), labelHeight());
    return t;
}

// The labels change with the layout and with the basket (a basket item's
// title is struck through); everything else reuses the baked images.
void TreemapView::ensureLabels(double scale) {
    std::vector<bool> struck(cells_.size(), false);
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i].showLabel) struck[i] = stateOf(cells_[i]).inBasket;
    if (labelsValid_ && struck == labelStruck_ && labels_.devicePixelRatio() == scale) return;
    labelsValid_ = true;
    labelStruck_ = struck;
    labelIndex_.assign(cells_.size(), -1);
    std::vector<LabelText> texts;
    std::vector<QSizeF> sizes;
    std::vector<std::size_t> cellOf;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (!cells_[i].showLabel) continue;
        labelIndex_[i] = static_cast<int>(texts.size());
        texts.push_back(labelText(cells_[i], struck[i]));
        sizes.push_back(texts.back().box);
        cellOf.push_back(i);
    }
    labels_.build(sizes, scale, ShadowStyle{}, [&](std::size_t n, QPainter& p, bool shadow) {
        const LabelText& t = texts[n];
        const bool inBasket = struck[cellOf[n]];
        p.setPen(shadow ? QColor(Qt::black) : QColor(255, 255, 255, inBasket ? 191 : 255));
        t.title->draw(&p, QPointF(0, 0));
        p.setPen(shadow ? QColor(Qt::black) : QColor(255, 255, 255, 230));
        t.size->draw(&p, QPointF(0, sizeLineTop()));
    });
}

double TreemapView::sizeLineTop() const {
    return QFontMetricsF(titleFont_).height() + kLabelSpacing;
}

double TreemapView::labelHeight() const {
    return sizeLineTop() + QFontMetricsF(sizeFont_).height();
}

void TreemapView::paintLabel(QPainter* p, std::size_t i) {
    const QRectF r = toQRect(cells_[i].rect);
    const QPointF origin(r.x() + kLabelLeft, r.y() + kLabelTop);
    // The smallest labelled cells are shorter than their label.
    const bool clip = origin.y() + labelHeight() > r.bottom();
    if (clip) {
        p->save();
        p->setClipRect(r);
    }
    labels_.paint(p, static_cast<std::size_t>(labelIndex_[i]), origin);
    if (clip) p->restore();
}

void TreemapView::paintButton(QPainter* p, const TreemapCell& cell, const CellState& s) {
    const QRectF b = buttonRect(cell);
    p->setPen(Qt::NoPen);
    p->setBrush(s.inBasket ? QColor(255, 91, 82) : QColor(0, 0, 0, 128));
    p->drawEllipse(b);
    p->setFont(buttonFont_);
    p->setPen(Qt::white);
    p->drawText(b, Qt::AlignCenter, iconGlyph(s.inBasket ? "checkmark" : "plus"));
}

void TreemapView::paint(QPainter* p) {
    ensureLayout();
    drewEmpty_ = cells_.empty();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setRenderHint(QPainter::TextAntialiasing, true);
    if (drewEmpty_) {
        paintEmptyState(p, QRectF(0, 0, width(), height()));
        return;
    }
    paintCells(p);
    ensureLabels(deviceScale(p));
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const TreemapCell& cell = cells_[i];
        if (!cell.showLabel) continue;
        const CellState s = stateOf(cell);
        p->setOpacity(shownOpacity(i));
        paintLabel(p, i);
        if (showsButton(cell, s)) paintButton(p, cell, s);
    }
    p->setOpacity(1.0);
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
    const TreemapCell& cell = cells_[static_cast<std::size_t>(pressedCell_)];
    if (event->button() == Qt::RightButton) {
        const CellState s = stateOf(cell);
        emit contextMenuRequested(cell.isAggregate ? NodeValue() : NodeValue(cell.node),
                                  !cell.isAggregate && cell.node->isDirectory(), s.inBasket,
                                  event->position());
        pressedCell_ = -1;
        event->accept();
        return;
    }
    pressedButton_ =
        showsButton(cell, stateOf(cell)) && buttonRect(cell).contains(event->position());
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
