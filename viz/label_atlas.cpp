#include "label_atlas.h"

#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace tidewell {

namespace {

// Labels are put on shelves this wide, or as wide as the widest label, up
// to the largest width every graphics stack takes for a texture.
constexpr int kAtlasWidth = 1024;
constexpr int kMaxAtlasWidth = 4096;

int padOf(double ratio, const ShadowStyle& style) {
    return static_cast<int>(std::ceil(style.radius * ratio));
}

// Sums of a box of samples divided by its width, looked up rather than
// divided: a division per pixel was most of a blur's time.
class BoxMean {
  public:
    explicit BoxMean(int across) : quotient_(static_cast<std::size_t>(255 * across + 1)) {
        for (std::size_t sum = 0; sum < quotient_.size(); ++sum)
            quotient_[sum] = static_cast<std::uint8_t>(sum / static_cast<std::size_t>(across));
    }
    std::uint8_t operator()(int sum) const { return quotient_[static_cast<std::size_t>(sum)]; }

  private:
    std::vector<std::uint8_t> quotient_;
};

// One box-blur pass of half-width `r` over `count` samples `step` apart.
void boxPass(std::uint8_t* data, int count, std::ptrdiff_t step, int r, const BoxMean& mean,
             std::vector<int>& line) {
    line.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) line[static_cast<std::size_t>(i)] = data[i * step];
    int sum = 0;
    for (int i = 0; i < std::min(r, count); ++i) sum += line[static_cast<std::size_t>(i)];
    for (int i = 0; i < count; ++i) {
        const int add = i + r;
        const int drop = i - r - 1;
        if (add < count) sum += line[static_cast<std::size_t>(add)];
        if (drop >= 0) sum -= line[static_cast<std::size_t>(drop)];
        data[i * step] = mean(sum);
    }
}

// The same pass down each of the `width` columns of a block of `count`
// rows, all columns at once, so that memory is read in order.
void boxPassDown(std::uint8_t* data, int width, int count, std::ptrdiff_t stride, int r,
                 const BoxMean& mean, std::vector<std::uint8_t>& rows, std::vector<int>& sums) {
    const auto w = static_cast<std::size_t>(width);
    rows.resize(w * static_cast<std::size_t>(count));
    for (int y = 0; y < count; ++y)
        std::memcpy(rows.data() + static_cast<std::size_t>(y) * w, data + y * stride, w);
    const auto row = [&](int y) { return rows.data() + static_cast<std::size_t>(y) * w; };
    sums.assign(w, 0);
    for (int y = 0; y < std::min(r, count); ++y)
        for (std::size_t x = 0; x < w; ++x) sums[x] += row(y)[x];
    for (int y = 0; y < count; ++y) {
        if (y + r < count)
            for (std::size_t x = 0; x < w; ++x) sums[x] += row(y + r)[x];
        if (y - r - 1 >= 0)
            for (std::size_t x = 0; x < w; ++x) sums[x] -= row(y - r - 1)[x];
        std::uint8_t* out = data + y * stride;
        for (std::size_t x = 0; x < w; ++x) out[x] = mean(sums[x]);
    }
}

// Two box passes each way of half the radius come close to a Gaussian.
void blur(QImage& alpha, const QRect& box, int radius, const BoxMean& mean) {
    const int r = std::max(1, radius / 2);
    const std::ptrdiff_t stride = alpha.bytesPerLine();
    std::uint8_t* origin = alpha.bits() + box.y() * stride + box.x();
    std::vector<int> line;
    std::vector<std::uint8_t> rows;
    for (int round = 0; round < 2; ++round) {
        for (int y = 0; y < box.height(); ++y)
            boxPass(origin + y * stride, box.width(), 1, r, mean, line);
        boxPassDown(origin, box.width(), box.height(), stride, r, mean, rows, line);
    }
}

}  // namespace

double LabelAtlas::maxLabelWidth(double devicePixelRatio, const ShadowStyle& style) {
    // One pixel spare for the rounding up of the label's size.
    return (kMaxAtlasWidth - 2 * padOf(devicePixelRatio, style) - 1) / devicePixelRatio;
}

void LabelAtlas::build(const std::vector<QSizeF>& sizes, double devicePixelRatio,
                       const ShadowStyle& style, const Draw& draw) {
    ratio_ = devicePixelRatio;
    pad_ = padOf(ratio_, style);
    const int drop = static_cast<int>(std::lround(style.offsetY * ratio_));
    places_.clear();
    int width = kAtlasWidth;
    for (const QSizeF& size : sizes)
        width = std::max(width, static_cast<int>(std::ceil(size.width() * ratio_)) + 2 * pad_);
    width = std::min(width, kMaxAtlasWidth);
    // Shelves of labels, left to right, top to bottom.
    int x = 0;
    int y = 0;
    int shelf = 0;
    for (const QSizeF& size : sizes) {
        const int w =
            std::min(width, static_cast<int>(std::ceil(size.width() * ratio_)) + 2 * pad_);
        const int h = static_cast<int>(std::ceil(size.height() * ratio_)) + 2 * pad_ + drop;
        if (x + w > width) {
            x = 0;
            y += shelf;
            shelf = 0;
        }
        places_.emplace_back(x, y, w, h);
        x += w;
        shelf = std::max(shelf, h);
    }
    if (places_.empty()) return;
    const int height = y + shelf;

    // The images are kept from build to build while no texture shares them:
    // fresh ones would cost a page fault per 4 KiB on every layout.
    if (alpha_.width() != width || alpha_.height() < height) {
        const int rows = (height + 127) / 128 * 128;
        alpha_ = QImage(width, rows, QImage::Format_Alpha8);
    }
    if (image_.width() != width || image_.height() < height || !image_.isDetached())
        image_ = QImage(width, alpha_.height(), QImage::Format_ARGB32_Premultiplied);
    std::memset(alpha_.bits(), 0,
                static_cast<std::size_t>(alpha_.bytesPerLine()) * static_cast<std::size_t>(height));
    const auto drawAll = [&](QImage& target, bool shadow) {
        QPainter p(&target);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        for (std::size_t i = 0; i < places_.size(); ++i) {
            // Labels are elided to their boxes, so no clip is needed.
            p.setTransform(QTransform::fromTranslate(places_[i].x() + pad_,
                                                     places_[i].y() + pad_ + (shadow ? drop : 0))
                               .scale(ratio_, ratio_));
            draw(i, p, shadow);
        }
    };
    drawAll(alpha_, true);
    const BoxMean mean(2 * std::max(1, pad_ / 2) + 1);
    for (const QRect& box : places_) blur(alpha_, box, pad_, mean);

    const auto k = static_cast<std::uint32_t>(style.opacity * 256.0 + 0.5);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* in = alpha_.constScanLine(row);
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(row));
        for (int col = 0; col < width; ++col) out[col] = (in[col] * k >> 8) << 24;
    }
    drawAll(image_, false);
}

}  // namespace tidewell
