#include "sector_raster.h"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace tidewell {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

struct Vec {
    double x = 0;
    double y = 0;
};

double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}

// Unit vector of a sector angle on screen (y grows downwards).
Vec direction(double angle) {
    return {std::sin(angle), -std::cos(angle)};
}

struct Interval {
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    void keep(double a, double b) {
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    }
};

// Narrows `range` (offsets from the centre along the row) to where
// dot((x, dy), normal) >= -margin.
void keepHalfPlane(Interval& range, Vec normal, double dy, double margin) {
    const double bound = -margin - normal.y * dy;
    if (normal.x > 1e-12)
        range.keep(bound / normal.x, range.hi);
    else if (normal.x < -1e-12)
        range.keep(range.lo, bound / normal.x);
    else if (bound > 0)
        range.keep(1, 0);
}

// One sector's edges: the signed distance of a point to its outline
// (negative inside) is the largest of the radial and the angular ones.
class SectorShape {
  public:
    explicit SectorShape(const SectorPaint& s) : s_(s) {
        const double span = s.end - s.start;
        full_ = span >= kTwoPi - 1e-9;
        reflex_ = span > std::numbers::pi;
        // Normals pointing into the sector from its start and end lines.
        const Vec ds = direction(s.start);
        const Vec de = direction(s.end);
        startNormal_ = {-ds.y, ds.x};
        endNormal_ = {de.y, -de.x};
        // A convex sector lies on the side of its bisector; a reflex one's
        // missing wedge lies on the side of the opposite direction.
        bisector_ = direction((s.start + s.end) / 2);
        if (reflex_) bisector_ = {-bisector_.x, -bisector_.y};
    }

    bool convex() const { return !full_ && !reflex_; }
    Vec startNormal() const { return startNormal_; }
    Vec endNormal() const { return endNormal_; }

    // Distance to the angular edges, negative inside; -inf where they are far.
    double angular(Vec p) const {
        if (full_) return -std::numeric_limits<double>::infinity();
        const double us = dot(p, startNormal_);
        const double ue = dot(p, endNormal_);
        // Beyond the centre both lines are near but neither is an edge.
        if (dot(p, bisector_) < 0)
            return reflex_ ? -std::numeric_limits<double>::infinity()
                           : std::numeric_limits<double>::infinity();
        return reflex_ ? -std::max(us, ue) : -std::min(us, ue);
    }

    double distance(Vec p, double radius) const {
        return std::max({s_.inner - radius, radius - s_.outer, angular(p)});
    }

  private:
    const SectorPaint& s_;
    bool full_ = false;
    bool reflex_ = false;
    Vec startNormal_;
    Vec endNormal_;
    Vec bisector_;
};

void paintSector(PixelCanvas& canvas, double cx, double cy, const SectorPaint& s) {
    const SectorShape shape(s);
    const double halfStroke = s.strokeWidth / 2;
    // Beyond this distance from the outline nothing of the sector shows.
    const double margin = halfStroke + 0.5 + 1e-6;
    const double outerReach = s.outer + margin;
    const double innerReach = std::max(s.inner - margin, 0.0);
    // Inside these bounds a pixel is all fill and no stroke.
    const double solidIn = s.inner + margin;
    const double solidOut = s.outer - margin;
    const double solidIn2 = solidIn * solidIn;
    const double solidOut2 = solidOut > 0 ? solidOut * solidOut : -1;
    const std::uint32_t solidFill = s.fill.packed();
    const bool opaqueFill = s.fill.a >= 1.0F;
    // What an edge pixel gets, by its distance to the outline in steps of
    // 1/kSteps pixel: the stroke over the fill at their coverages.
    constexpr double kSteps = 16;
    // Room for strokes up to 9 device pixels wide (2 points at a ratio of 4).
    std::array<std::uint32_t, 160> edge{};
    const auto steps = std::min(edge.size(), static_cast<std::size_t>(2 * margin * kSteps) + 1);
    for (std::size_t i = 0; i < steps; ++i) {
        const double d = -margin + (static_cast<double>(i) + 0.5) / kSteps;
        const auto fillCover = static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0));
        edge[i] = s.stroke.times(spanCoverage(d, -halfStroke, halfStroke))
                      .over(s.fill.times(fillCover))
                      .packed();
    }

    // Rows the sector reaches: its corners, and the outer rim where it
    // crosses twelve or six o'clock.
    double top = std::numeric_limits<double>::infinity();
    double bottom = -top;
    for (const double angle : {s.start, s.end}) {
        const Vec d = direction(angle);
        for (const double radius : {innerReach, outerReach}) {
            top = std::min(top, d.y * radius);
            bottom = std::max(bottom, d.y * radius);
        }
    }
    for (double turn = 0; turn <= 2 * kTwoPi; turn += kTwoPi) {
        if (s.start <= turn && turn <= s.end) top = -outerReach;
        if (s.start <= turn + std::numbers::pi && turn + std::numbers::pi <= s.end)
            bottom = outerReach;
    }
    const int y0 = std::max(0, static_cast<int>(std::floor(cy + top - 1)));
    const int y1 = std::min(canvas.height() - 1, static_cast<int>(std::ceil(cy + bottom + 1)));
    for (int y = y0; y <= y1; ++y) {
        const double dy = y + 0.5 - cy;
        if (std::abs(dy) > outerReach) continue;
        Interval row;
        const double outerHalf = std::sqrt(outerReach * outerReach - dy * dy);
        row.keep(-outerHalf, outerHalf);
        if (shape.convex()) {
            keepHalfPlane(row, shape.startNormal(), dy, margin);
            keepHalfPlane(row, shape.endNormal(), dy, margin);
        }
        if (row.lo > row.hi) continue;
        // The hole splits the row in two.
        const double innerHalf =
            std::abs(dy) < innerReach ? std::sqrt(innerReach * innerReach - dy * dy) : 0.0;
        // Rows clear of the hole are one part; the empty second part keeps
        // the pixel on the centre column from being drawn twice.
        const Interval parts[2] = {
            innerHalf > 0 ? Interval{row.lo, std::min(row.hi, -innerHalf)} : row,
            innerHalf > 0 ? Interval{std::max(row.lo, innerHalf), row.hi} : Interval{1, 0}};
        // Where this row is all fill: inside the annulus shrunk by the
        // margin and, for a convex sector, inside both edges by the margin.
        const double solidHalf = solidOut2 > dy * dy ? std::sqrt(solidOut2 - dy * dy) : -1.0;
        const double holeHalf = solidIn2 > dy * dy ? std::sqrt(solidIn2 - dy * dy) : 0.0;
        Interval solid;
        if (shape.convex()) {
            keepHalfPlane(solid, shape.startNormal(), dy, -margin);
            keepHalfPlane(solid, shape.endNormal(), dy, -margin);
        } else {
            solid.keep(1, 0);  // reflex and full sectors test pixel by pixel
        }
        std::uint32_t* line = canvas.row(y);
        const auto paintEdge = [&](int x) {
            const Vec p{x + 0.5 - cx, dy};
            const double r2 = p.x * p.x + p.y * p.y;
            if (r2 > solidIn2 && r2 < solidOut2 && shape.angular(p) <= -margin) {
                line[x] = overPixel(solidFill, line[x]);
                return;
            }
            const double distance = shape.distance(p, std::sqrt(r2));
            if (distance >= margin) return;
            const auto step = static_cast<std::size_t>(std::max(0.0, (distance + margin) * kSteps));
            line[x] = overPixel(edge[std::min(step, steps - 1)], line[x]);
        };
        for (int side = 0; side < 2; ++side) {
            const Interval& part = parts[side];
            if (part.lo > part.hi) continue;
            const int x0 = std::max(0, static_cast<int>(std::floor(cx + part.lo - 0.5)));
            const int x1 =
                std::min(canvas.width() - 1, static_cast<int>(std::ceil(cx + part.hi - 0.5)));
            Interval run = solid;
            run.keep(-solidHalf, solidHalf);
            // Only one side of the hole lies in this part.
            if (holeHalf > 0) {
                if (side == 0)
                    run.keep(run.lo, -holeHalf);
                else
                    run.keep(holeHalf, run.hi);
            }
            const int s0 = std::max(x0, static_cast<int>(std::ceil(cx + run.lo - 0.5)));
            const int s1 = std::min(x1, static_cast<int>(std::floor(cx + run.hi - 0.5)));
            if (run.lo > run.hi || s0 > s1) {
                for (int x = x0; x <= x1; ++x) paintEdge(x);
                continue;
            }
            for (int x = x0; x < s0; ++x) paintEdge(x);
            if (opaqueFill) {
                std::fill(line + s0, line + s1 + 1, solidFill);
            } else {
                for (int x = s0; x <= s1; ++x) line[x] = overPixel(solidFill, line[x]);
            }
            for (int x = s1 + 1; x <= x1; ++x) paintEdge(x);
        }
    }
}

}  // namespace

void paintSectors(PixelCanvas& canvas, double centreX, double centreY,
                  std::span<const SectorPaint> sectors) {
    for (const SectorPaint& s : sectors) paintSector(canvas, centreX, centreY, s);
}

}  // namespace tidewell
