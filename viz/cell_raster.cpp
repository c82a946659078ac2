#include "cell_raster.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace tidewell {

namespace {

// A blend weight out of 256 for a fraction: 0 keeps what is below, 256
// takes what is above.
inline std::uint32_t weight(float t) {
    if (!(t > 0.0F)) return 0;
    if (t >= 1.0F) return 256;
    return static_cast<std::uint32_t>(t * 256.0F + 0.5F);
}

// Every layer of a cell is opaque, so drawing one over another at some
// coverage is a blend between the two; and since that blend is linear, the
// cell's opacity is given to each colour up front (as its alpha).
inline std::uint32_t blend(std::uint32_t below, std::uint32_t above, std::uint32_t k) {
    if (k == 0) return below;
    if (k == 256) return above;
    return scalePixel(below, 256 - k) + scalePixel(above, k);
}

// Fills `count` pixels from `p`, several at a store.
inline void fillPixels(std::uint32_t* p, std::size_t count, std::uint32_t value) {
    const std::uint64_t two = static_cast<std::uint64_t>(value) << 32 | value;
    const std::uint64_t eight[4] = {two, two, two, two};
    for (; count >= 8; count -= 8, p += 8) std::memcpy(p, eight, sizeof eight);
    for (; count > 0; --count) *p++ = value;
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
    // Coverage of each column by the rectangle and by its inside, and what
    // a pixel of each column gets on the rows wholly inside the rim.
    struct Column {
        float across = 0;
        float inside = 0;
        std::uint32_t body = 0;  // weights of the body and of the rim over it
        std::uint32_t rim = 0;
    };
    thread_local std::vector<Column> columns;
    columns.resize(static_cast<std::size_t>(box.x1 - box.x0 + 1));
    // The columns wholly inside the rim, if any.
    int solidLo = box.x1 + 1;
    int solidHi = box.x1;
    for (int x = box.x0; x <= box.x1; ++x) {
        Column& c = columns[static_cast<std::size_t>(x - box.x0)];
        c.across = spanCoverage(x + 0.5, r.x, r.x + r.width);
        c.inside = spanCoverage(x + 0.5, r.x + w, r.x + r.width - w);
        c.body = weight(c.across);
        c.rim = weight(c.across - c.inside);
        if (c.inside < 1.0F) continue;
        solidLo = std::min(solidLo, x);
        solidHi = x;
    }
    for (int y = box.y0; y <= box.y1; ++y) {
        const float down = spanCoverage(y + 0.5, r.y, r.y + r.height);
        const float downInside = spanCoverage(y + 0.5, r.y + w, r.y + r.height - w);
        std::uint32_t* line = canvas.row(y);
        const auto paintPixel = [&](int x) {
            const Column& c = columns[static_cast<std::size_t>(x - box.x0)];
            const float all = down * c.across;
            const float inside = downInside * c.inside;
            std::uint32_t& px = line[x];
            if (inside >= 1.0F) {
                px = bodyPacked;
            } else if (all >= 1.0F && inside <= 0.0F) {
                px = rimPacked;
            } else {
                px = blend(px, bodyPacked, weight(all));
                px = blend(px, rimPacked, weight(all - inside));
            }
        };
        if (downInside < 1.0F) {
            for (int x = box.x0; x <= box.x1; ++x) paintPixel(x);
            continue;
        }
        // Wholly inside the rim vertically (so wholly inside the rectangle):
        // each pixel gets what its column says.
        const auto paintSide = [&](int from, int to) {
            for (int x = from; x <= to; ++x) {
                const Column& c = columns[static_cast<std::size_t>(x - box.x0)];
                std::uint32_t& px = line[x];
                if (c.inside >= 1.0F) {
                    px = bodyPacked;
                } else if (c.across >= 1.0F && c.inside <= 0.0F) {
                    px = rimPacked;
                } else {
                    px = blend(blend(px, bodyPacked, c.body), rimPacked, c.rim);
                }
            }
        };
        if (solidLo <= solidHi) {
            paintSide(box.x0, solidLo - 1);
            fillPixels(line + solidLo, static_cast<std::size_t>(solidHi - solidLo + 1), bodyPacked);
            paintSide(solidHi + 1, box.x1);
        } else {
            paintSide(box.x0, box.x1);
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
        fillPixels(canvas.row(y) + box.x0, static_cast<std::size_t>(box.x1 - box.x0 + 1), fill);
    for (const PreviewPaint& p : cell.previews)
        if (finite(p.rect)) paintPreview(canvas, nearRect(p.rect, originX, originY), p.color, cell);

    // The outline and the border: only pixels near the edge, or near a
    // rounded corner, are not plain content.
    const std::uint32_t border = PremulColor::of(cell.border, opacity).packed();
    // A pixel whose centre is further in than these is plain content.
    const double edge = borderWidth + 0.5;
    const double corner = radius + 0.5;
    // What the border and the outline do to a pixel at distance d.
    struct Edge {
        std::uint32_t border = 0;  // weight of the border over the content
        std::uint32_t keep = 0;    // weight of the result kept inside the outline
    };
    const auto edgeAt = [&](double d) {
        const auto outside = static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0));
        const auto inside = static_cast<float>(std::clamp(0.5 - (d + borderWidth), 0.0, 1.0));
        // Border over the content on the rim, then the outline cuts it.
        const float rim = outside > 0.0F ? (outside - inside) / outside : 0.0F;
        return Edge{weight(rim * borderAlpha), weight(outside)};
    };
    const double middleX = r.x + r.width / 2;
    const double halfStraightX = r.width / 2 - radius;
    const double middleY = r.y + r.height / 2;
    const double halfStraightY = r.height / 2 - radius;
    // The edges of the eight columns next to each side, on rows that meet
    // the sides where they are straight.
    std::array<Edge, 16> sideEdge{};
    std::array<bool, 16> sideKnown{};
    for (int y = box.y0; y <= box.y1; ++y) {
        const double cy = y + 0.5;
        const double fromTopOrBottom = std::min(cy - r.y, r.y + r.height - cy);
        // How far in from the left and right sides this row is not plain content.
        const double reach = fromTopOrBottom < edge     ? r.width
                             : fromTopOrBottom < corner ? corner
                                                        : edge;
        // Along the straight part of the top and bottom sides every pixel
        // of a row lies at the same distance: worked out once.
        const double qy = std::abs(cy - middleY) - halfStraightY;
        const double straight = std::min(qy, 0.0);
        bool rowKnown = false;
        Edge rowEdge;
        std::uint32_t* line = canvas.row(y);
        for (int x = box.x0; x <= box.x1; ++x) {
            const double cx = x + 0.5;
            if (cx > r.x + reach && cx < r.x + r.width - reach) {
                x = std::max(x, static_cast<int>(std::floor(r.x + r.width - reach)) - 1);
                continue;
            }
            const double qx = std::abs(cx - middleX) - halfStraightX;
            Edge e;
            if (qx <= straight) {
                if (!rowKnown) {
                    rowEdge = edgeAt(roundedDistance(cx, cy, r, radius));
                    rowKnown = true;
                }
                e = rowEdge;
            } else if (qy <= 0.0 && qx > 0.0) {
                // Beside the straight part of the left and right sides the
                // distance is the column's alone.
                const auto i = static_cast<std::size_t>(x <= box.x0 + 7  ? x - box.x0
                                                        : box.x1 - x < 8 ? 8 + box.x1 - x
                                                                         : 16);
                if (i < 16) {
                    if (!sideKnown[i]) {
                        sideEdge[i] = edgeAt(roundedDistance(cx, cy, r, radius));
                        sideKnown[i] = true;
                    }
                    e = sideEdge[i];
                } else {
                    e = edgeAt(roundedDistance(cx, cy, r, radius));
                }
            } else {
                e = edgeAt(roundedDistance(cx, cy, r, radius));
            }
            std::uint32_t& px = line[x];
            px = scalePixel(blend(px, border, e.border), e.keep);
        }
    }
}

}  // namespace tidewell
