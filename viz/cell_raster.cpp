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

bool finite(const MapRect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
           std::isfinite(r.height);
}

// `r` moved by (-dx, -dy), with sides far off the canvas brought near it.
MapRect nearRect(const MapRect& r, int dx, int dy) {
    const double x0 = nearPixels(r.x - dx);
    const double y0 = nearPixels(r.y - dy);
    const double x1 = nearPixels(r.x - dx + r.width);
    const double y1 = nearPixels(r.y - dy + r.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

PixelBox pixelsOf(const MapRect& r, const PixelCanvas& canvas) {
    return cellPixels(r, canvas.width(), canvas.height());
}

void paintPreview(PixelCanvas& canvas, const MapRect& r, Rgb8 color, const CellPaint& cell) {
    const PixelBox box = pixelsOf(r, canvas);
    if (box.empty()) return;
    const PremulColor body = PremulColor::of(color, unitFraction(cell.opacity));
    // Black over the opaque preview darkens it and leaves it opaque.
    const float keep = 1.0F - unitFraction(cell.previewRimAlpha);
    const PremulColor rim{body.r * keep, body.g * keep, body.b * keep, body.a};
    const std::uint32_t bodyPacked = body.packed();
    const std::uint32_t rimPacked = rim.packed();
    const double w = nearPixels(cell.previewRim);
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

PixelBox cellPixels(const MapRect& r, int canvasWidth, int canvasHeight) {
    if (!finite(r) || !(r.width > 0) || !(r.height > 0)) return {};
    const MapRect n = nearRect(r, 0, 0);
    return {std::max(0, static_cast<int>(std::floor(n.x))),
            std::max(0, static_cast<int>(std::floor(n.y))),
            std::min(canvasWidth - 1, static_cast<int>(std::ceil(n.x + n.width)) - 1),
            std::min(canvasHeight - 1, static_cast<int>(std::ceil(n.y + n.height)) - 1)};
}

int cellRimPixels(double radius, double borderWidth) {
    // A pixel is plain content once its centre is further in than the
    // larger of the two by half a pixel; one more for the box's rounding.
    return static_cast<int>(std::ceil(std::max(radius, borderWidth) + 0.5)) + 2;
}

void paintCell(PixelCanvas& canvas, const CellPaint& cell, int originX, int originY) {
    if (!finite(cell.rect) || !std::isfinite(cell.radius) || !std::isfinite(cell.borderWidth) ||
        !std::isfinite(cell.previewRim))
        return;
    const MapRect r = nearRect(cell.rect, originX, originY);
    const PixelBox box = pixelsOf(r, canvas);
    if (box.empty()) return;
    const double radius = std::max(0.0, std::min({cell.radius, r.width / 2, r.height / 2}));
    const double borderWidth = std::clamp(cell.borderWidth, 0.0, kFarPixels);
    const float opacity = unitFraction(cell.opacity);
    const float borderAlpha = unitFraction(cell.borderAlpha);

    const std::uint32_t fill = PremulColor::of(cell.fill, opacity).packed();
    for (int y = box.y0; y <= box.y1; ++y)
        std::fill(canvas.row(y) + box.x0, canvas.row(y) + box.x1 + 1, fill);
    for (const PreviewPaint& p : cell.previews)
        if (finite(p.rect)) paintPreview(canvas, nearRect(p.rect, originX, originY), p.color, cell);

    // The outline and the border: only pixels near the edge, or near a
    // rounded corner, are not plain content.
    const std::uint32_t border = PremulColor::of(cell.border, opacity).packed();
    // A pixel whose centre is further in than these is plain content.
    const double edge = borderWidth + 0.5;
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
            const auto inside = static_cast<float>(std::clamp(0.5 - (d + borderWidth), 0.0, 1.0));
            std::uint32_t& px = line[x];
            // Border over the content on the rim, then the outline cuts it.
            const float rim = outside > 0.0F ? (outside - inside) / outside : 0.0F;
            px = times(mix(px, border, rim * borderAlpha), outside);
        }
    }
}

}  // namespace tidewell
