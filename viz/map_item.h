// What the two map views share: the model they draw, the notifications that
// rebuild their shapes or only their look, the context-menu request, and the
// way their pixels reach the screen.
//
// A view draws with our own rasterisers into pictures (images in device
// pixels) on the GUI thread, during polish. The scene it shows is a list of
// groups, each an opacity over pieces of those pictures placed on whole
// device pixels. The render thread only turns new pictures into textures and
// updates the nodes that changed, so a frame that moves the hover or steps a
// fade re-uses every picture it can.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QQuickItem>
#include <QRect>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "app_model.h"
#include "node_value.h"
#include "pixel_canvas.h"

namespace tidewell {

// Part of a picture put on the view: `source` (device pixels of the
// picture) with its top-left at `at` (device pixels of the view).
struct ScenePiece {
    std::uint64_t picture = 0;
    QRect source;
    QPoint at;
    friend bool operator==(const ScenePiece&, const ScenePiece&) = default;
};

// Pieces drawn in order at one opacity.
struct SceneGroup {
    double opacity = 1.0;
    std::vector<ScenePiece> pieces;
};

// A pixel canvas over the whole of `image` (premultiplied ARGB32).
PixelCanvas canvasOf(QImage& image);
// A pixel canvas over `area` of `image`, which must lie inside it.
PixelCanvas canvasOf(QImage& image, const QRect& area);
// A transparent premultiplied ARGB32 image of `size` device pixels.
QImage clearImage(QSize size);

// `area` less `holes`, which must not overlap one another, as few
// rectangles: bands between the holes' top and bottom edges, each cut at
// the holes it crosses, and merged with the band above where they line up.
std::vector<QRect> rectsAround(const QRect& area, const std::vector<QRect>& holes);

class MapItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(tidewell::AppModel* model READ model WRITE setModel NOTIFY modelChanged)

  public:
    explicit MapItem(QQuickItem* parent = nullptr);

    AppModel* model() const { return model_; }
    void setModel(AppModel* model);

  signals:
    void modelChanged();
    void contextMenuRequested(tidewell::NodeValue node, bool isDirectory, bool inBasket,
                              QPointF position);

  protected:
    // The focus, the tree or the size changed: what is drawn where must be rebuilt.
    virtual void shapesChanged() = 0;
    // Hover or basket changed: only how things look.
    virtual void looksChanged() { refresh(); }
    // Brings the pictures and the scene up to date for the next frame, at
    // `ratio` device pixels per logical pixel. Runs on the GUI thread.
    virtual void prepare(double ratio) = 0;

    // Asks for prepare() and a new frame.
    void refresh();
    // Device pixels per logical pixel of the window the view is in.
    double pixelRatio() const;

    // The pictures the scene draws from, by id; ids are never re-used, so a
    // changed picture gets a new id (and the render thread a new texture).
    std::uint64_t addPicture(QImage image);
    void dropPicture(std::uint64_t id);
    const QImage* picture(std::uint64_t id) const;
    // Takes a picture out of the store to change it; add it back afterwards.
    // Its pixels are the caller's alone: a texture still showing them keeps
    // its own.
    QImage takePicture(std::uint64_t id);
    // A premultiplied ARGB32 image of `size`, cleared when `clear`. It re-uses
    // the memory of a large dropped picture that no texture shares any more:
    // fresh memory costs a page fault per 4 KiB, more than drawing on it.
    QImage freshImage(QSize size, bool clear);

    // What the next frame shows, from back to front.
    std::vector<SceneGroup> scene_;
    QPointer<AppModel> model_;

    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;
    void updatePolish() override;
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;

  private:
    void keepSpare(QImage image);

    std::unordered_map<std::uint64_t, QImage> pictures_;
    std::uint64_t nextPicture_ = 1;
    std::vector<QImage> spare_;  // dropped large pictures
    double sceneRatio_ = 1;      // the ratio scene_ was prepared for
};

}  // namespace tidewell
