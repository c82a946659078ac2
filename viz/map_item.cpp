#include "map_item.h"

#include <QQuickWindow>
#include <QSGNode>
#include <QSGOpacityNode>
#include <QSGSimpleTextureNode>
#include <QSGTexture>
#include <algorithm>
#include <cstring>
#include <memory>

namespace tidewell {

namespace {

// The root of a view's nodes: one opacity node per scene group, one texture
// node per piece, and the textures they use, which live as long as a piece
// shows them.
// An opacity node (always 1) rather than a plain one: Qt Quick's software
// renderer keeps the position of opacity and transform nodes only, and
// places groups added later under a plain node at the window's corner.
class SceneRoot : public QSGOpacityNode {
  public:
    std::unordered_map<std::uint64_t, std::unique_ptr<QSGTexture>> textures;
    std::vector<std::vector<ScenePiece>> shown;  // the pieces each group's nodes show
    double ratio = 0;
};

void deleteChildren(QSGNode* node) {
    while (QSGNode* child = node->firstChild()) {
        node->removeChildNode(child);
        delete child;
    }
}

}  // namespace

PixelCanvas canvasOf(QImage& image) {
    return canvasOf(image, image.rect());
}

PixelCanvas canvasOf(QImage& image, const QRect& area) {
    const std::ptrdiff_t stride = image.bytesPerLine() / 4;
    auto* first = reinterpret_cast<std::uint32_t*>(image.bits()) + area.y() * stride + area.x();
    const auto count =
        area.isEmpty() ? 0 : static_cast<std::size_t>((area.height() - 1) * stride + area.width());
    return {{first, count}, area.width(), area.height(), stride};
}

QImage clearImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

std::vector<QRect> rectsAround(const QRect& area, const std::vector<QRect>& holes) {
    std::vector<QRect> cut;
    std::vector<int> edges{area.top(), area.bottom() + 1};
    for (const QRect& hole : holes) {
        const QRect c = hole & area;
        if (c.isEmpty()) continue;
        cut.push_back(c);
        edges.push_back(c.top());
        edges.push_back(c.bottom() + 1);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<QRect> out;
    std::vector<std::size_t> open;  // rectangles that reach the band above
    std::vector<std::pair<int, int>> covered;
    for (std::size_t b = 0; b + 1 < edges.size(); ++b) {
        const int top = edges[b];
        const int bottom = edges[b + 1] - 1;
        covered.clear();
        for (const QRect& c : cut)
            if (c.top() <= top && c.bottom() >= bottom) covered.emplace_back(c.left(), c.right());
        std::sort(covered.begin(), covered.end());
        std::vector<std::size_t> next;
        const auto addSpan = [&](int left, int right) {
            if (left > right) return;
            for (const std::size_t i : open) {
                if (out[i].left() == left && out[i].right() == right) {
                    out[i].setBottom(bottom);
                    next.push_back(i);
                    return;
                }
            }
            next.push_back(out.size());
            out.emplace_back(QPoint(left, top), QPoint(right, bottom));
        };
        int x = area.left();
        for (const auto& [left, right] : covered) {
            addSpan(x, left - 1);
            x = std::max(x, right + 1);
        }
        addSpan(x, area.right());
        open = std::move(next);
    }
    return out;
}

MapItem::MapItem(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents, true);
}

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

void MapItem::refresh() {
    polish();
    update();
}

double MapItem::pixelRatio() const {
    const double k = window() != nullptr ? window()->effectiveDevicePixelRatio() : 1.0;
    return k > 0 ? k : 1.0;
}

std::uint64_t MapItem::addPicture(QImage image) {
    const std::uint64_t id = nextPicture_++;
    pictures_.emplace(id, std::move(image));
    return id;
}

namespace {

// Pictures at least this large are kept for re-use when dropped, at most
// three: the sunburst's two layers and its centre label.
constexpr qsizetype kSpareBytes = 256 * 1024;
constexpr std::size_t kSpares = 3;

}  // namespace

void MapItem::keepSpare(QImage image) {
    if (image.sizeInBytes() < kSpareBytes) return;
    spare_.push_back(std::move(image));
    if (spare_.size() <= kSpares) return;
    // The smallest goes: the large ones are the costly ones to make.
    const auto smallest = std::min_element(
        spare_.begin(), spare_.end(),
        [](const QImage& a, const QImage& b) { return a.sizeInBytes() < b.sizeInBytes(); });
    spare_.erase(smallest);
}

void MapItem::dropPicture(std::uint64_t id) {
    const auto it = pictures_.find(id);
    if (it == pictures_.end()) return;
    keepSpare(std::move(it->second));
    pictures_.erase(it);
}

QImage MapItem::freshImage(QSize size, bool clear) {
    QImage image;
    for (auto it = spare_.begin(); it != spare_.end(); ++it) {
        // A texture that still shows the pixels shares them.
        if (it->size() != size || !it->isDetached()) continue;
        image = std::move(*it);
        spare_.erase(it);
        break;
    }
    if (image.isNull()) image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (clear) image.fill(0);
    return image;
}

const QImage* MapItem::picture(std::uint64_t id) const {
    const auto it = pictures_.find(id);
    return it == pictures_.end() ? nullptr : &it->second;
}

QImage MapItem::takePicture(std::uint64_t id) {
    const auto it = pictures_.find(id);
    if (it == pictures_.end()) return {};
    QImage image = std::move(it->second);
    pictures_.erase(it);
    if (image.isDetached()) return image;
    // Copied into spare memory rather than detached into fresh memory.
    QImage own = freshImage(image.size(), false);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(own.scanLine(y), image.constScanLine(y),
                    static_cast<std::size_t>(image.width()) * 4);
    keepSpare(std::move(image));
    return own;
}

void MapItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) shapesChanged();
}

void MapItem::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    // Another window, or another screen, may have another pixel ratio.
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged) refresh();
}

void MapItem::updatePolish() {
    sceneRatio_ = pixelRatio();
    prepare(sceneRatio_);
}

// On the render thread, the GUI thread waiting: only pictures and the scene
// are read here, never the model.
QSGNode* MapItem::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* root = static_cast<SceneRoot*>(old);
    if (root == nullptr) root = new SceneRoot;
    const double k = sceneRatio_;
    const bool rebuilt = root->ratio != k || root->shown.size() != scene_.size();
    if (rebuilt) {
        deleteChildren(root);
        root->shown.assign(scene_.size(), {});
        root->ratio = k;
        for (std::size_t g = 0; g < scene_.size(); ++g) root->appendChildNode(new QSGOpacityNode);
    }

    std::unordered_map<std::uint64_t, std::unique_ptr<QSGTexture>> used;
    const auto textureOf = [&](std::uint64_t id) -> QSGTexture* {
        if (const auto it = used.find(id); it != used.end()) return it->second.get();
        std::unique_ptr<QSGTexture> texture;
        if (const auto it = root->textures.find(id); it != root->textures.end()) {
            texture = std::move(it->second);
            root->textures.erase(it);
        } else if (const QImage* image = picture(id); image != nullptr && window() != nullptr) {
            texture.reset(
                window()->createTextureFromImage(*image, QQuickWindow::TextureHasAlphaChannel));
        }
        if (!texture) return nullptr;
        texture->setFiltering(QSGTexture::Nearest);
        return used.emplace(id, std::move(texture)).first->second.get();
    };

    QSGNode* node = root->firstChild();
    for (std::size_t g = 0; g < scene_.size(); ++g, node = node->nextSibling()) {
        const SceneGroup& group = scene_[g];
        auto* opacity = static_cast<QSGOpacityNode*>(node);
        if (opacity->opacity() != group.opacity) opacity->setOpacity(group.opacity);
        if (!rebuilt && root->shown[g] == group.pieces) {
            for (const ScenePiece& p : group.pieces) textureOf(p.picture);
            continue;
        }
        deleteChildren(opacity);
        for (const ScenePiece& p : group.pieces) {
            QSGTexture* texture = textureOf(p.picture);
            if (texture == nullptr || p.source.isEmpty()) continue;
            auto* piece = new QSGSimpleTextureNode;
            piece->setTexture(texture);
            piece->setFiltering(QSGTexture::Nearest);
            piece->setSourceRect(p.source);
            piece->setRect(p.at.x() / k, p.at.y() / k, p.source.width() / k, p.source.height() / k);
            opacity->appendChildNode(piece);
        }
        root->shown[g] = group.pieces;
    }
    // What no piece shows any more goes; its nodes went above.
    root->textures = std::move(used);
    return root;
}

}  // namespace tidewell
