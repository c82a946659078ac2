#include "sunburst_view.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>

#include "colors.h"
#include "map_text.h"
#include "size_format.h"

namespace tidewell {

namespace {

const QColor kTextColor(236, 236, 238);
constexpr double kDimmedOpacity = 0.32;
constexpr double kGreyedOpacity = 0.55;
constexpr double kStrokeWidth = 1.0;
constexpr double kHoverStrokeWidth = 2.0;

// The number and the unit of a formatted size ("1,5 GB").
std::pair<QString, QString> splitSize(std::int64_t bytes) {
    const QString text = QString::fromStdString(formatBytes(bytes));
    const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
    if (space < 0) return {text, QString()};
    return {text.left(space), text.mid(space + 1)};
}

// Lays `text` out in at most `maxLines` lines of `width`, the last one
// elided, each centred on `centreX`; returns the height used.
qreal drawCentredLines(QPainter* painter, const QString& text, const QFont& font, qreal centreX,
                       qreal top, qreal width, int maxLines) {
    QTextLayout layout(text, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            lines.push_back(text.mid(line.textStart()));
            break;
        }
        lines.push_back(text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    const QFontMetricsF metrics(font);
    painter->setFont(font);
    qreal y = top;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        if (i == lines.size() - 1) line = metrics.elidedText(line, Qt::ElideRight, width);
        const qreal w = metrics.horizontalAdvance(line);
        painter->drawText(QPointF(centreX - w / 2, y + metrics.ascent()), line);
        y += metrics.height();
    }
    return y - top;
}

QRect toQRect(const PixelBox& b) {
    return b.empty() ? QRect() : QRect(QPoint(b.x0, b.y0), QPoint(b.x1, b.y1));
}

// A picture's pixels from (0, 0), put with their top-left at `at`.
ScenePiece wholePiece(std::uint64_t picture, const QRect& at) {
    return {picture, QRect(QPoint(0, 0), at.size()), at.topLeft()};
}

}  // namespace

SunburstView::SunburstView(QQuickItem* parent) : MapItem(parent) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
}

void SunburstView::shapesChanged() {
    sectorsDirty_ = true;
    refresh();
}

const std::vector<SunburstSector>& SunburstView::sectors() {
    if (sectorsDirty_) {
        sectors_.clear();
        if (model_ && model_->focus() != nullptr)
            sectors_ = sunburstSectors(NodeRef(model_->focus()));
        sectorsDirty_ = false;
        pixelsValid_ = false;
    }
    return sectors_;
}

void SunburstView::refreshStates() {
    const std::size_t n = sectors_.size();
    greyed_.assign(n, false);
    inHovered_.assign(n, false);
    hovered_ = nullptr;
    if (!model_) return;
    const FileNode* focus = model_->focus();
    hovered_ = model_->hovered();
    // One set per refresh; the walks below stop at the focus, whose own
    // chain up to the root is looked at once.
    std::unordered_set<const FileNode*> basket;
    for (const NodeRef& node : model_->basket()) basket.insert(node.get());
    bool focusGreyed = false;
    bool focusHovered = false;
    for (const FileNode* a = focus; a != nullptr; a = a->parent()) {
        focusGreyed = focusGreyed || basket.contains(a);
        focusHovered = focusHovered || a == hovered_;
    }
    for (std::size_t i = 0; i < n; ++i) {
        bool grey = focusGreyed;
        bool under = focusHovered;
        for (const FileNode* a = sectors_[i].node.get(); a != nullptr && a != focus;
             a = a->parent()) {
            grey = grey || basket.contains(a);
            under = under || a == hovered_;
        }
        greyed_[i] = grey;
        inHovered_[i] = under;
    }
}

std::vector<SunburstView::Look> SunburstView::looksOf(bool dimmed) const {
    std::vector<Look> looks(sectors_.size());
    for (std::size_t i = 0; i < looks.size(); ++i) looks[i] = {greyed_[i], dimmed, false};
    return looks;
}

std::vector<SunburstView::Look> SunburstView::shownLooks() const {
    std::vector<Look> looks(sectors_.size());
    for (std::size_t i = 0; i < looks.size(); ++i)
        looks[i] = {greyed_[i], hovered_ != nullptr && !inHovered_[i],
                    sectors_[i].node.get() == hovered_};
    return looks;
}

void SunburstView::resetPixels() {
    for (const Layer* layer : {&plain_, &dimmed_}) dropPicture(layer->picture);
    plain_ = {};
    dimmed_ = {};
    dropPicture(overlay_);
    overlay_ = 0;
    overlayLooks_.clear();
    dropPicture(label_);
    label_ = 0;
    dropPicture(empty_);
    empty_ = 0;
    pixelsValid_ = false;
}

SectorPaint SunburstView::paintOf(std::size_t i, const Look& look) const {
    const SunburstSector& s = sectors_[i];
    const SunburstGeometry g = geometry();
    const double k = ratio_;
    Rgb8 rgb;
    double opacity = 1.0;
    if (look.greyed) {
        rgb = hslColor(0, 0, 0.26);
        opacity = kGreyedOpacity;
    } else {
        rgb = hslColor(s.hue, s.level == 1 ? 0.66 : 0.6, s.lightness);
    }
    if (look.dimmed) opacity = kDimmedOpacity;
    SectorPaint paint;
    paint.inner = std::max(g.innerRadius(s.level), 0.0) * k;
    paint.outer = g.outerRadiusOf(s.level) * k;
    paint.start = s.start;
    paint.end = s.end;
    paint.fill = PremulColor::of(rgb, opacity);
    paint.stroke = look.hovered ? PremulColor::of(Rgb8{255, 255, 255}, 0.9)
                                : PremulColor::of(Rgb8{0, 0, 0}, opacity * 0.35);
    paint.strokeWidth = (look.hovered ? kHoverStrokeWidth : kStrokeWidth) * k;
    return paint;
}

// Paints the sectors that reach `region` (device pixels of the view) at
// `looks` into `image`, whose pixel (0, 0) is the view's `origin`: each
// pixel there gets what a drawing of all sectors gives it.
void SunburstView::paintRegion(QImage& image, const QRect& region, const QPoint& origin,
                               const std::vector<Look>& looks) {
    const QRect area = region.translated(-origin);
    PixelCanvas canvas = canvasOf(image, area);
    for (int y = 0; y < canvas.height(); ++y)
        std::fill(canvas.row(y), canvas.row(y) + canvas.width(), 0U);
    paints_.clear();
    for (std::size_t i = 0; i < sectors_.size(); ++i)
        if (reach_[i].intersects(region)) paints_.push_back(paintOf(i, looks[i]));
    paintSectors(canvas, centreX_ - region.x(), centreY_ - region.y(), paints_);
}

// The pixels of the sectors whose looks differ.
QRect SunburstView::differing(const std::vector<Look>& a, const std::vector<Look>& b) const {
    QRect box;
    for (std::size_t i = 0; i < sectors_.size(); ++i)
        if (!(a[i] == b[i])) box |= reach_[i];
    return box & canvas_;
}

void SunburstView::bringUpToDate(Layer& layer, const std::vector<Look>& looks) {
    if (!layer.valid) {
        ++bakes_;
        QImage image = freshImage(canvas_.size(), false);  // cleared by paintRegion
        paintRegion(image, canvas_, QPoint(0, 0), looks);
        layer.picture = addPicture(std::move(image));
        layer.looks = looks;
        layer.valid = true;
        return;
    }
    const QRect changed = differing(layer.looks, looks);
    layer.looks = looks;
    if (changed.isEmpty()) return;
    // Taken out and put back under a new id, so the render thread makes a
    // new texture; a texture still sharing the old pixels keeps them.
    QImage image = takePicture(layer.picture);
    paintRegion(image, changed, QPoint(0, 0), looks);
    layer.picture = addPicture(std::move(image));
}

// The dimmed picture is needed from the first hover on; made while the
// view is idle, that hover does not wait for it.
void SunburstView::bakeDimmedWhenIdle() {
    if (dimmed_.valid || dimmedScheduled_) return;
    dimmedScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        dimmedScheduled_ = false;
        if (!pixelsValid_ || sectorsDirty_ || dimmed_.valid) return;
        bringUpToDate(dimmed_, looksOf(true));
    });
}

void SunburstView::addRingPieces(std::vector<ScenePiece>& out) {
    const std::vector<Look> shown = shownLooks();
    const Layer* base = &plain_;
    QRect region;
    if (hovered_ != nullptr) {
        // Whichever picture is closer to what is shown lies under it.
        bringUpToDate(dimmed_, looksOf(true));
        const QRect fromPlain = differing(plain_.looks, shown);
        const QRect fromDimmed = differing(dimmed_.looks, shown);
        const auto area = [](const QRect& r) {
            return static_cast<std::int64_t>(r.width()) * r.height();
        };
        if (area(fromDimmed) < area(fromPlain)) base = &dimmed_;
        region = base == &dimmed_ ? fromDimmed : fromPlain;
    }
    if (region.isEmpty()) {
        dropPicture(overlay_);
        overlay_ = 0;
        overlayLooks_.clear();
    } else if (overlay_ == 0 || overlayBase_ != base->picture || overlayRect_ != region ||
               overlayLooks_ != shown) {
        dropPicture(overlay_);
        QImage image = freshImage(region.size(), false);  // cleared by paintRegion
        paintRegion(image, region, region.topLeft(), shown);
        overlay_ = addPicture(std::move(image));
        overlayBase_ = base->picture;
        overlayRect_ = region;
        overlayLooks_ = shown;
    }
    // The layer around the region, then the region.
    const QRect all = inked_;
    const QRect cut = region & all;
    if (cut.isEmpty()) {
        out.push_back({base->picture, all, all.topLeft()});
    } else {
        const QRect around[4] = {
            QRect(QPoint(all.left(), all.top()), QPoint(all.right(), cut.top() - 1)),
            QRect(QPoint(all.left(), cut.bottom() + 1), QPoint(all.right(), all.bottom())),
            QRect(QPoint(all.left(), cut.top()), QPoint(cut.left() - 1, cut.bottom())),
            QRect(QPoint(cut.right() + 1, cut.top()), QPoint(all.right(), cut.bottom()))};
        for (const QRect& r : around)
            if (!r.isEmpty()) out.push_back({base->picture, r, r.topLeft()});
    }
    if (overlay_ != 0) out.push_back(wholePiece(overlay_, region));
}

void SunburstView::prepare(double ratio) {
    sectors();
    if (ratio != ratio_ || view_ != QSizeF(width(), height())) pixelsValid_ = false;
    if (!pixelsValid_) {
        resetPixels();
        ratio_ = ratio;
        view_ = QSizeF(width(), height());
        canvas_ = QRect(0, 0, std::max(0, static_cast<int>(std::ceil(width() * ratio))),
                        std::max(0, static_cast<int>(std::ceil(height() * ratio))));
        const SunburstGeometry g = geometry();
        centreX_ = g.centreX * ratio;
        centreY_ = g.centreY * ratio;
        reach_.resize(sectors_.size());
        inked_ = QRect();
        // Reach at the widest stroke, so it holds for every look.
        for (std::size_t i = 0; i < sectors_.size(); ++i) {
            reach_[i] = toQRect(sectorPixels(centreX_, centreY_, paintOf(i, {false, false, true})));
            inked_ |= reach_[i];
        }
        inked_ &= canvas_;
        pixelsValid_ = true;
    }
    scene_.clear();
    if (sectors_.empty() || canvas_.isEmpty()) {
        prepareEmptyState();
        return;
    }
    refreshStates();
    bringUpToDate(plain_, looksOf(false));
    SceneGroup rings;
    addRingPieces(rings.pieces);
    scene_.push_back(std::move(rings));
    SceneGroup label;
    prepareCentreLabel(label.pieces);
    scene_.push_back(std::move(label));
    if (hovered_ == nullptr) bakeDimmedWhenIdle();
}

void SunburstView::prepareEmptyState() {
    if (empty_ == 0) {
        const double k = ratio_;
        // Only the band of rows the line can reach is drawn.
        const int top =
            std::clamp(static_cast<int>(std::floor((height() / 2 - 20) * k)), 0, canvas_.height());
        const int bottom =
            std::clamp(static_cast<int>(std::ceil((height() / 2 + 20) * k)), top, canvas_.height());
        emptyBand_ = QRect(0, top, canvas_.width(), bottom - top);
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
    scene_.push_back({1.0, {wholePiece(empty_, emptyBand_)}});
}

void SunburstView::prepareCentreLabel(std::vector<ScenePiece>& out) {
    // The label names the hovered node while one of its sectors is shown,
    // else it gives the focus's size.
    const auto shown = std::find_if(sectors_.begin(), sectors_.end(),
                                    [this](const auto& s) { return s.node.get() == hovered_; });
    const FileNode* node = hovered_ != nullptr && shown != sectors_.end() ? hovered_ : nullptr;
    const FileNode* focus = model_ ? model_->focus() : nullptr;
    const std::int64_t bytes = node != nullptr ? node->size() : focus ? focus->size() : -1;
    if (label_ == 0 || labelNode_ != node || labelBytes_ != bytes) {
        dropPicture(label_);
        label_ = 0;
        labelNode_ = node;
        labelBytes_ = bytes;
        const SunburstGeometry g = geometry();
        const double k = ratio_;
        // The hole, or room for a few words where the hole is small.
        const double halfWidth = std::max(g.holeRadius, 90.0);
        const double halfHeight = std::max(g.holeRadius, 60.0);
        labelRect_ = QRect(QPoint(static_cast<int>(std::floor((g.centreX - halfWidth) * k)),
                                  static_cast<int>(std::floor((g.centreY - halfHeight) * k))),
                           QPoint(static_cast<int>(std::ceil((g.centreX + halfWidth) * k)),
                                  static_cast<int>(std::ceil((g.centreY + halfHeight) * k)))) &
                     canvas_;
        if (labelRect_.isEmpty()) return;
        QImage image = freshImage(labelRect_.size(), true);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setRenderHint(QPainter::TextAntialiasing, true);
            p.setTransform(QTransform::fromTranslate(-labelRect_.x(), -labelRect_.y()).scale(k, k));
            paintCentreLabel(&p, g);
        }
        label_ = addPicture(std::move(image));
    }
    if (label_ != 0) out.push_back(wholePiece(label_, labelRect_));
}

void SunburstView::paintCentreLabel(QPainter* painter, const SunburstGeometry& g) {
    // The hovered node is reached through its sector, which holds it alive.
    const auto shown = std::find_if(sectors_.begin(), sectors_.end(),
                                    [this](const auto& s) { return s.node.get() == hovered_; });
    const bool hoveredShown = hovered_ != nullptr && shown != sectors_.end();
    // The label stays inside the hole, clear of ring 1.
    const qreal labelWidth = std::max(g.holeRadius * 1.6, 1.0);
    if (hoveredShown) {
        const FileNode* hovered = shown->node.get();
        const QFont nameFont = uiFont(13, QFont::DemiBold);
        const QFont sizeFont = digitsFont(12, QFont::Normal);
        const QString name = NodeValue(shown->node).name();
        const QFontMetricsF nameMetrics(nameFont);
        const QFontMetricsF sizeMetrics(sizeFont);
        // Centre the block vertically whether the name takes one line or two.
        const int nameLines = nameMetrics.horizontalAdvance(name) > labelWidth ? 2 : 1;
        const qreal blockHeight = nameLines * nameMetrics.height() + 2 + sizeMetrics.height();
        qreal top = g.centreY - blockHeight / 2;
        painter->setPen(kTextColor);
        top += drawCentredLines(painter, name, nameFont, g.centreX, top, labelWidth, 2) + 2;
        painter->setFont(sizeFont);
        painter->setPen(kSecondaryTextColor);
        const QString size = QString::fromStdString(formatBytes(hovered->size()));
        painter->drawText(QPointF(g.centreX - sizeMetrics.horizontalAdvance(size) / 2,
                                  top + sizeMetrics.ascent()),
                          size);
        return;
    }
    const FileNode* focus = model_ ? model_->focus() : nullptr;
    if (focus == nullptr) return;
    const auto [number, unit] = splitSize(focus->size());
    const QFont numberFont = digitsFont(28, QFont::Bold);
    const QFont unitFont = uiFont(13, QFont::Medium);
    const QFontMetricsF numberMetrics(numberFont);
    const QFontMetricsF unitMetrics(unitFont);
    const qreal top = g.centreY - (numberMetrics.height() + unitMetrics.height()) / 2;
    painter->setFont(numberFont);
    painter->setPen(kTextColor);
    painter->drawText(QPointF(g.centreX - numberMetrics.horizontalAdvance(number) / 2,
                              top + numberMetrics.ascent()),
                      number);
    painter->setFont(unitFont);
    painter->setPen(kSecondaryTextColor);
    painter->drawText(QPointF(g.centreX - unitMetrics.horizontalAdvance(unit) / 2,
                              top + numberMetrics.height() + unitMetrics.ascent()),
                      unit);
}

FileNode* SunburstView::sectorNodeAt(QPointF position) {
    const std::vector<SunburstSector>& list = sectors();
    const SunburstHit hit = sunburstHitTest(list, geometry(), position.x(), position.y());
    return hit.sector ? list[*hit.sector].node.get() : nullptr;
}

void SunburstView::hoverAt(QPointF position) {
    if (!model_) return;
    FileNode* node = sectorNodeAt(position);
    // Written only on change so observers are not woken for every pixel moved.
    if (node != model_->hovered()) model_->setHovered(node);
}

void SunburstView::hoverEnterEvent(QHoverEvent* event) {
    hoverAt(event->position());
}

void SunburstView::hoverMoveEvent(QHoverEvent* event) {
    hoverAt(event->position());
}

void SunburstView::hoverLeaveEvent(QHoverEvent* /*event*/) {
    if (model_ && model_->hovered() != nullptr) model_->setHovered(nullptr);
}

void SunburstView::mousePressEvent(QMouseEvent* event) {
    pressedButton_ = event->button();
    event->accept();
}

void SunburstView::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and release of the same button inside the view.
    const bool click = event->button() == pressedButton_ &&
                       QRectF(0, 0, width(), height()).contains(event->position());
    pressedButton_ = Qt::NoButton;
    event->accept();
    if (!click || !model_) return;
    if (event->button() == Qt::RightButton) {
        FileNode* node = sectorNodeAt(event->position());
        if (node != nullptr)
            emit contextMenuRequested(NodeValue(node), node->isDirectory(),
                                      model_->isInBasket(node), event->position());
        return;
    }
    if (event->button() == Qt::LeftButton) clickAt(event->position());
}

void SunburstView::clickAt(QPointF position) {
    const std::vector<SunburstSector>& list = sectors();
    const SunburstHit hit = sunburstHitTest(list, geometry(), position.x(), position.y());
    if (hit.inCentre) {
        model_->goUp();
        return;
    }
    if (!hit.sector) return;
    // Copy: setPath below rebuilds the sector list this points into.
    const NodeRef node = list[*hit.sector].node;
    if (node->childCount() > 0) {
        QList<NodeRef> chain;
        for (FileNode* n = node.get(); n != nullptr; n = n->parent()) chain.prepend(NodeRef(n));
        model_->setPath(std::move(chain));
        if (model_->hovered() != nullptr) model_->setHovered(nullptr);
        return;
    }
    // A node that cannot be deleted is refused without a message.
    if (model_->canDelete(node.get())) model_->toggleBasket(node.get());
}

}  // namespace tidewell
