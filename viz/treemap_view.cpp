#include "treemap_view.h"

#include <QEasingCurve>
#include <QFont>
#include <QFontMetricsF>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>

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

QColor toQColor(Rgb8 c, double alpha = 1.0) {
    QColor q(c.r, c.g, c.b);
    q.setAlphaF(static_cast<float>(alpha));
    return q;
}

QColor blackAt(double alpha) {
    return QColor(0, 0, 0, static_cast<int>(alpha * 255.0 + 0.5));
}

QColor whiteAt(double alpha) {
    return QColor(255, 255, 255, static_cast<int>(alpha * 255.0 + 0.5));
}

QRectF toQRect(const MapRect& r) {
    return {r.x, r.y, r.width, r.height};
}

// Sizes are given in logical pixels; point sizes at 96 dpi keep the
// fractional 11.5 that pixel sizes cannot carry.
QFont uiFont(double pixels, QFont::Weight weight = QFont::Normal) {
    QFont f;
    f.setPointSizeF(pixels * 72.0 / 96.0);
    f.setWeight(weight);
    return f;
}

// Text with a black shadow one pixel down; the shadow is drawn twice with a
// horizontal spread to stand in for its 2-pixel blur.
void shadowedText(QPainter* p, QPointF baseline, const QString& text, const QColor& color) {
    p->setPen(blackAt(0.35));
    p->drawText(baseline + QPointF(-0.5, 1.0), text);
    p->drawText(baseline + QPointF(0.5, 1.0), text);
    p->setPen(color);
    p->drawText(baseline, text);
}

}  // namespace

TreemapView::TreemapView(QQuickItem* parent) : MapItem(parent), fade_(new QVariantAnimation(this)) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
    setAntialiasing(true);
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

void TreemapView::paint(QPainter* p) {
    ensureLayout();
    drewEmpty_ = cells_.empty();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setRenderHint(QPainter::TextAntialiasing, true);
    if (drewEmpty_) {
        p->setFont(uiFont(13));
        p->setPen(QColor(139, 139, 147));
        p->drawText(QRectF(0, 0, width(), height()), Qt::AlignCenter,
                    QStringLiteral("Görselleştirilecek içerik yok"));
        return;
    }

    const QFont titleFont = uiFont(13, QFont::DemiBold);
    QFont struckFont = titleFont;
    struckFont.setStrikeOut(true);
    const QFont sizeFont = uiFont(11.5);
    const QFont buttonFont = uiFont(11, QFont::Bold);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF sizeMetrics(sizeFont);
    const Rgb8 aggregateFill{51, 51, 59};  // sRGB (0.2, 0.2, 0.231)
    const Rgb8 greyFill = hslColor(0.0, 0.0, 0.26);

    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const TreemapCell& cell = cells_[i];
        const CellState s = stateOf(cell);
        const QRectF r = toQRect(cell.rect);
        QPainterPath outline;
        outline.addRoundedRect(r, kCornerRadius, kCornerRadius);

        p->save();
        p->setOpacity(shownOpacity(i));
        const Rgb8 fill = cell.isAggregate ? aggregateFill
                          : s.greyed       ? greyFill
                                           : hslColor(cell.hue, 0.66, 0.5);
        // The border is the outline filled with the border colour blended
        // over the fill, then the fill inside it. The inside is written with
        // Source: cells never overlap and the item starts transparent, so
        // this gives the cell's opacity to fill and border as one group, at
        // the price of two plain fills rather than a stroke.
        const double lineWidth = s.hovered ? 2.0 : 1.0;
        const QColor ring = s.hovered ? whiteAt(0.9) : blackAt(0.35);
        const QColor fillColor = toQColor(fill);
        const double a = ring.alphaF();
        const QColor ringOverFill =
            QColor::fromRgbF(static_cast<float>(ring.redF() * a + fillColor.redF() * (1 - a)),
                             static_cast<float>(ring.greenF() * a + fillColor.greenF() * (1 - a)),
                             static_cast<float>(ring.blueF() * a + fillColor.blueF() * (1 - a)));
        const QRectF innerRect = r.adjusted(lineWidth, lineWidth, -lineWidth, -lineWidth);
        QPainterPath inner;
        // A cell thinner than its border is all border.
        if (innerRect.isValid())
            inner.addRoundedRect(innerRect, kCornerRadius - lineWidth, kCornerRadius - lineWidth);
        p->fillPath(outline, ringOverFill);
        p->setCompositionMode(QPainter::CompositionMode_Source);
        p->fillPath(inner, fillColor);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);

        if (!cell.subRects.empty()) {
            // Only cells with previews pay for a clip, to inside the border.
            p->save();
            p->setClipPath(inner);
            p->translate(r.topLeft());
            // The 1-pixel stroke inside each rectangle is drawn as a fill of
            // the stroke blended over the rectangle's colour, then the
            // rectangle's colour inside it: fills are far cheaper than strokes.
            for (const TreemapSubRect& sub : cell.subRects) {
                const QRectF sr = toQRect(sub.rect);
                const QColor c = toQColor(hslColor(cell.hue, 0.6, sub.lightness / 100.0));
                p->fillRect(sr,
                            QColor::fromRgbF(c.redF() * 0.7F, c.greenF() * 0.7F, c.blueF() * 0.7F));
                p->fillRect(sr.adjusted(1.0, 1.0, -1.0, -1.0), c);
            }
            p->restore();
        }

        if (cell.showLabel) {
            const double textWidth = std::max(0.0, r.width() - 18.0);
            const QString title = cell.isAggregate
                                      ? QStringLiteral("+%1 öğe").arg(cell.aggregateCount)
                                      : QString::fromStdString(repairUtf8(cell.node->name()));
            const QString shownTitle = titleMetrics.elidedText(title, Qt::ElideRight, textWidth);
            const double left = r.x() + 9.0;
            const double titleBaseline = r.y() + 7.0 + titleMetrics.ascent();
            p->save();
            p->setClipRect(r);
            p->setFont(s.inBasket ? struckFont : titleFont);
            if (s.inBasket) p->setOpacity(p->opacity() * 0.75);
            shadowedText(p, {left, titleBaseline}, shownTitle, Qt::white);
            p->restore();
            p->save();
            p->setClipRect(r);
            p->setFont(sizeFont);
            const double sizeBaseline =
                titleBaseline + titleMetrics.descent() + 1.0 + sizeMetrics.ascent();
            const QString sizeText = sizeMetrics.elidedText(
                QString::fromStdString(formatBytes(cell.sizeBytes)), Qt::ElideRight, textWidth);
            shadowedText(p, {left, sizeBaseline}, sizeText, whiteAt(0.9));
            p->restore();
        }

        if (showsButton(cell, s)) {
            const QRectF b = buttonRect(cell);
            p->setPen(Qt::NoPen);
            p->setBrush(s.inBasket ? QColor(255, 91, 82) : blackAt(0.5));
            p->drawEllipse(b);
            p->setFont(buttonFont);
            p->setPen(Qt::white);
            p->drawText(b, Qt::AlignCenter,
                        s.inBasket ? QStringLiteral("\u2713") : QStringLiteral("+"));
        }
        p->restore();
    }
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
