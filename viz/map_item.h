// What the two map views share: the model they draw, the notifications that
// rebuild their shapes or only their look, and the context-menu request.
#pragma once

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QQuickPaintedItem>

#include "app_model.h"
#include "node_value.h"
#include "pixel_canvas.h"

class QPainter;

namespace tidewell {

class MapItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(tidewell::AppModel* model READ model WRITE setModel NOTIFY modelChanged)

  public:
    explicit MapItem(QQuickItem* parent = nullptr) : QQuickPaintedItem(parent) {}

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
    virtual void looksChanged() { update(); }
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

    // How many device pixels one logical pixel of `painter` covers.
    static double deviceScale(const QPainter* painter);
    // The view's shapes are drawn by our own rasteriser into one image the
    // size of the item in device pixels, cleared here, then put on the
    // painter whole by showLayer.
    PixelCanvas clearedLayer(double scale);
    void showLayer(QPainter* painter);

    QPointer<AppModel> model_;

  private:
    QImage layer_;
};

}  // namespace tidewell
