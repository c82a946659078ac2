// Text labels baked into one image: each label's text over its soft shadow,
// drawn once when the labels change, so a repaint puts each label on screen
// with a single image copy.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <vector>

class QPainter;

namespace tidewell {

struct ShadowStyle {
    double radius = 2;   // blur, logical pixels
    double offsetY = 1;  // logical pixels down
    double opacity = 0.7;
};

class LabelAtlas {
  public:
    // Paints label `i`'s text with its top-left at (0, 0) in logical pixels.
    // `shadow` asks for the shape that casts the shadow: the same text in
    // opaque black.
    using Draw = std::function<void(std::size_t i, QPainter& painter, bool shadow)>;

    // Bakes the labels of `sizes` (logical pixels).
    void build(const std::vector<QSizeF>& sizes, double devicePixelRatio, const ShadowStyle& style,
               const Draw& draw);
    double devicePixelRatio() const { return ratio_; }
    // Puts label `i` on `painter` with its text's top-left at `origin`.
    void paint(QPainter* painter, std::size_t i, QPointF origin) const;

  private:
    std::vector<QRect> places_;  // each label's box in the image, shadow room included
    QImage alpha_;               // the shadows' shapes, before blurring
    QImage image_;               // rows past the last shelf are left over from earlier builds
    double ratio_ = 1;
    int pad_ = 0;  // device pixels of shadow room left of and above the text
};

}  // namespace tidewell
