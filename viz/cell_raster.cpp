#include "cell_raster.h"

#include <cmath>
#include <vector>

namespace tidewell {

namespace {

// Every layer of a cell is opaque, so drawing one over another at some
// coverage is a blend between the two; and since that blend is linear, the
// cell's opacity is given to each colour up front (as its alpha).
std::uint32_t mix(std::uint32_t below, std::uint32_t above, float t) {
    if (t <= 0.0F) return below;
    if (t >= 1.0F) return above;
    const auto k = static_cast<std::uint32_t>(t * 256.0F + 0.5F);
    return scalePixel(below, 256 - k) + scalePixel(above, k);
}

std::uint32_t times(std::uint32_t p, float k) {
    if (k >= 1.0F) return p;
    if (k <= 0.0F) return 0;
    return scalePixel(p, static_cast<std::uint32_t>(k * 256.0F + 0.5F));
}

struct PixelBox {
    int x0, y0, x1, y1;  // inclusive; empty when x0 > x1 or y0 > y1
};

PixelBox pixelsOf(const MapRect& r, const PixelCanvas& canvas) {
    return {std::max(0, static_cast<int>(std::floor(r.x))),
            std::max(0, static_cast<int>(std::floor(r.y))),
            std::min(canvas.width() - 1, static_cast<int>(std::ceil(r.x + r.width)) - 1),
            std::min(canvas.height() - 1, static_cast<int>(std::ceil(r.y + r.height)) - 1)};
}

void paintPreview(PixelCanvas& canvas, const PreviewPaint& preview, const CellPaint& cell) {
    const MapRect& r = preview.rect;
    const PixelBox box = pixelsOf(r, canvas);
    if (box.x0 > box.x1 || box.y0 > box.y1) return;
    const PremulColor body = PremulColor::of(preview.color, cell.opacity);
    // Black over the opaque preview darkens it and leaves it opaque.
    const float keep = 1.0F - cell.previewRimAlpha;
    const PremulColor rim{body.r * keep, body.g * keep, body.b * keep, body.a};
    const std::uint32_t bodyPacked = body.packed();
    const std::uint32_t rimPacked = rim.packed();
    const double w = cell.previewRim;
    // Coverage of each column by the rectangle and by its inside.
    thread_local std::vector<float> across;
    thread_local std::vector<float> acrossInside;
    across.resize(static_cast<std::size_t>(box.x1 - box.x0 + 1));
    acrossInside.resize(across.size());
    for (int x = box.x0; x <= box.x1; ++x) {
        const auto i = static_cast<std::size_t>(x - box.x0);
        across[i] = spanCoverage(x + 0.5, r.x, r.x + r.width);
        acrossInside[i] = spanCoverage(x + 0.5, r.x + w, r.x + r.width - w);
    }
    // The columns wholly inside the rim, if any.
    int solidLo = box.x1 + 1;
    int solidHi = box.x1;
    for (int x = box.x0; x <= box.x1; ++x) {
        if (acrossInside[static_cast<std::size_t>(x - box.x0)] < 1.0F) continue;
        solidLo = std::min(solidLo, x);
        solidHi = x;
    }
    for (int y = box.y0; y <= box.y1; ++y) {
        const float down = spanCoverage(y + 0.5, r.y, r.y + r.height);
        const float downInside = spanCoverage(y + 0.5, r.y + w, r.y + r.height - w);
        std::uint32_t* line = canvas.row(y);
        const auto paintPixel = [&](int x) {
            const auto i = static_cast<std::size_t>(x - box.x0);
            const float all = down * across[i];
            const float inside = downInside * acrossInside[i];
            std::uint32_t& px = line[x];
            if (inside >= 1.0F) {
                px = bodyPacked;
            } else if (all >= 1.0F && inside <= 0.0F) {
                px = rimPacked;
            } else {
                px = mix(px, bodyPacked, all);
                px = mix(px, rimPacked, all - inside);
            }
        };
        if (downInside >= 1.0F && solidLo <= solidHi) {
            for (int x = box.x0; x < solidLo; ++x) paintPixel(x);
            std::fill(line + solidLo, line + solidHi + 1, bodyPacked);
            for (int x = solidHi + 1; x <= box.x1; ++x) paintPixel(x);
        } else {
            for (int x = box.x0; x <= box.x1; ++x) paintPixel(x);
        }
    }
}

// Signed distance from a pixel centre to a rounded rectangle's outline,
// negative inside.
double roundedDistance(double px, double py, const MapRect& r, double radius) {
    const double qx = std::abs(px - (r.x + r.width / 2)) - (r.width / 2 - radius);
    const double qy = std::abs(py - (r.y + r.height / 2)) - (r.height / 2 - radius);
    const double ox = std::max(qx, 0.0);
    const double oy = std::max(qy, 0.0);
    // Off the corners one of the two is zero.
    const double out = ox > 0.0 && oy > 0.0 ? std::sqrt(ox * ox + oy * oy) : ox + oy;
    return out + std::min(std::max(qx, qy), 0.0) - radius;
}

}  // namespace

void paintCell(PixelCanvas& canvas, const CellPaint& cell) {
    const MapRect& r = cell.rect;
    const PixelBox box = pixelsOf(r, canvas);
    if (box.x0 > box.x1 || box.y0 > box.y1) return;
    const double radius = std::min({cell.radius, r.width / 2, r.height / 2});

    const std::uint32_t fill = PremulColor::of(cell.fill, cell.opacity).packed();
    for (int y = box.y0; y <= box.y1; ++y)
        std::fill(canvas.row(y) + box.x0, canvas.row(y) + box.x1 + 1, fill);
    for (const PreviewPaint& p : cell.previews) paintPreview(canvas, p, cell);

    // The outline and the border: only pixels near the edge, or near a
    // rounded corner, are not plain content.
    const std::uint32_t border = PremulColor::of(cell.border, cell.opacity).packed();
    // A pixel whose centre is further in than these is plain content.
    const double edge = cell.borderWidth + 0.5;
    const double corner = radius + 0.5;
    for (int y = box.y0; y <= box.y1; ++y) {
        const double cy = y + 0.5;
        const double fromTopOrBottom = std::min(cy - r.y, r.y + r.height - cy);
        // How far in from the left and right sides this row is not plain content.
        const double reach = fromTopOrBottom < edge     ? r.width
                             : fromTopOrBottom < corner ? corner
                                                        : edge;
        std::uint32_t* line = canvas.row(y);
        for (int x = box.x0; x <= box.x1; ++x) {
            const double cx = x + 0.5;
            if (cx > r.x + reach && cx < r.x + r.width - reach) {
                x = std::max(x, static_cast<int>(std::floor(r.x + r.width - reach)) - 1);
                continue;
            }
            const double d = roundedDistance(cx, cy, r, radius);
            const auto outside = static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0));
            const auto inside =
                static_cast<float>(std::clamp(0.5 - (d + cell.borderWidth), 0.0, 1.0));
            std::uint32_t& px = line[x];
            // Border over the content on the rim, then the outline cuts it.
            const float rim = outside > 0.0F ? (outside - inside) / outside : 0.0F;
            px = times(mix(px, border, rim * cell.borderAlpha), outside);
        }
    }
}

}  // namespace tidewell
