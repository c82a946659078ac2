// Text labels baked into one image: each label's text over its soft shadow,
// drawn once when the labels change, so a frame puts each label on screen
// as a piece of that one image.
#pragma once

#include <QImage>
#include <QRect>
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

    // The widest label, in logical pixels, that fits at `devicePixelRatio`:
    // callers elide longer text to this, or it would be cut at the edge.
    static double maxLabelWidth(double devicePixelRatio, const ShadowStyle& style);

    // Bakes the labels of `sizes` (logical pixels).
    void build(const std::vector<QSizeF>& sizes, double devicePixelRatio, const ShadowStyle& style,
               const Draw& draw);
    double devicePixelRatio() const { return ratio_; }
    // The baked labels, premultiplied ARGB; rows past the last label are
    // left over from earlier builds.
    const QImage& image() const { return image_; }
    // Label `i`'s box in image(), shadow room included.
    QRect place(std::size_t i) const { return places_[i]; }
    // Device pixels of shadow room left of and above each label's text.
    int pad() const { return pad_; }

  private:
    std::vector<QRect> places_;
    QImage alpha_;  // the shadows' shapes, before blurring
    QImage image_;
    double ratio_ = 1;
    int pad_ = 0;
};

}  // namespace tidewell
