// A map view alone in an offscreen Qt Quick window whose frames are drawn on
// demand by the software scene graph, at any device pixel ratio, into an
// image the tests read. Also the reference the views' pictures must match:
// every cell or sector rasterised in one pass, as the views once repainted
// themselves on every frame.
#pragma once

#include <QColor>
#include <QImage>
#include <QQuickRenderControl>
#include <QQuickRenderTarget>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "map_item.h"

namespace tidewell::test {

class MapStage {
  public:
    // `view` is owned by the stage's window from here on.
    MapStage(MapItem* view, QSize size, double ratio, QColor background)
        : window_(&control_),
          target_(static_cast<int>(std::ceil(size.width() * ratio)),
                  static_cast<int>(std::ceil(size.height() * ratio)),
                  QImage::Format_ARGB32_Premultiplied),
          view_(view) {
        target_.setDevicePixelRatio(ratio);
        QQuickRenderTarget rt = QQuickRenderTarget::fromPaintDevice(&target_);
        rt.setDevicePixelRatio(ratio);
        window_.setRenderTarget(rt);
        window_.setGeometry(0, 0, size.width(), size.height());
        window_.setColor(background);
        view_->setParentItem(window_.contentItem());
        view_->setParent(window_.contentItem());
        view_->setSize(QSizeF(size));
    }

    // Once per process, before the first window: the software renderer
    // needs no graphics device.
    static void useSoftwareRenderer() {
        static const bool once = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return true;
        }();
        (void)once;
    }

    // Draws a frame and returns it, in device pixels.
    QImage frame() {
        control_.polishItems();
        control_.beginFrame();
        control_.sync();
        control_.render();
        control_.endFrame();
        QImage copy = target_.copy();
        copy.setDevicePixelRatio(1);
        return copy;
    }

  private:
    QQuickRenderControl control_;
    QQuickWindow window_;
    QImage target_;
    MapItem* view_;
};

// The largest difference of any colour component.
inline int colourDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// A premultiplied ARGB pixel of a reference canvas over an opaque background.
inline QRgb over(std::uint32_t premultiplied, QColor background) {
    const int a = static_cast<int>(premultiplied >> 24);
    const auto channel = [&](int shift, int below) {
        return std::min(
            255, static_cast<int>(premultiplied >> shift & 0xff) + (below * (255 - a) + 127) / 255);
    };
    return qRgb(channel(16, background.red()), channel(8, background.green()),
                channel(0, background.blue()));
}

}  // namespace tidewell::test
