#include "sunburst_view.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <string>
#include <unordered_set>

#include "colors.h"
#include "map_text.h"
#include "sector_raster.h"
#include "size_format.h"

namespace tidewell {

namespace {

const QColor kTextColor(236, 236, 238);

bool isSelfOrDescendantOf(const FileNode* node, const FileNode* ancestor) {
    for (const FileNode* n = node; n != nullptr; n = n->parent())
        if (n == ancestor) return true;
    return false;
}

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

}  // namespace

SunburstView::SunburstView(QQuickItem* parent) : MapItem(parent) {
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
    setAntialiasing(true);
}

void SunburstView::shapesChanged() {
    sectorsDirty_ = true;
    update();
}

const std::vector<SunburstSector>& SunburstView::sectors() {
    if (sectorsDirty_) {
        sectors_.clear();
        if (model_ && model_->focus() != nullptr)
            sectors_ = sunburstSectors(NodeRef(model_->focus()));
        sectorsDirty_ = false;
    }
    return sectors_;
}

void SunburstView::paint(QPainter* painter) {
    const std::vector<SunburstSector>& list = sectors();
    const SunburstGeometry g = geometry();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);

    if (list.empty()) {
        paintEmptyState(painter, QRectF(0, 0, width(), height()));
        return;
    }

    // One set per paint: the ancestor walk below asks it for every level.
    std::unordered_set<const FileNode*> basket;
    for (const NodeRef& n : model_->basket()) basket.insert(n.get());
    const auto inBasket = [&basket](const FileNode* node) {
        if (basket.empty()) return false;
        for (const FileNode* n = node; n != nullptr; n = n->parent())
            if (basket.contains(n)) return true;
        return false;
    };
    const FileNode* hovered = model_->hovered();

    const double k = deviceScale(painter);
    paints_.clear();
    for (const SunburstSector& s : list) {
        const FileNode* node = s.node.get();
        Rgb8 rgb;
        double opacity = 1.0;
        if (inBasket(node)) {
            rgb = hslColor(0, 0, 0.26);
            opacity = 0.55;
        } else {
            rgb = hslColor(s.hue, s.level == 1 ? 0.66 : 0.6, s.lightness);
        }
        if (hovered != nullptr && !isSelfOrDescendantOf(node, hovered)) opacity = 0.32;
        SectorPaint paint;
        paint.inner = std::max(g.innerRadius(s.level), 0.0) * k;
        paint.outer = g.outerRadiusOf(s.level) * k;
        paint.start = s.start;
        paint.end = s.end;
        paint.fill = PremulColor::of(rgb, opacity);
        paint.stroke = node == hovered ? PremulColor::of(Rgb8{255, 255, 255}, 0.9)
                                       : PremulColor::of(Rgb8{0, 0, 0}, opacity * 0.35);
        paint.strokeWidth = (node == hovered ? 2.0 : 1.0) * k;
        paints_.push_back(paint);
    }
    PixelCanvas canvas = clearedLayer(k);
    paintSectors(canvas, g.centreX * k, g.centreY * k, paints_);
    showLayer(painter);
    paintCentreLabel(painter, g);
}

void SunburstView::paintCentreLabel(QPainter* painter, const SunburstGeometry& g) {
    // The hovered node is reached through its sector, which holds it alive.
    const FileNode* hoveredId = model_->hovered();
    const auto shown = std::find_if(sectors_.begin(), sectors_.end(), [hoveredId](const auto& s) {
        return s.node.get() == hoveredId;
    });
    const bool hoveredShown = hoveredId != nullptr && shown != sectors_.end();
    const FileNode* hovered = hoveredShown ? shown->node.get() : nullptr;
    // The label stays inside the hole, clear of ring 1.
    const qreal labelWidth = std::max(g.holeRadius * 1.6, 1.0);
    if (hoveredShown) {
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
    const FileNode* focus = model_->focus();
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
