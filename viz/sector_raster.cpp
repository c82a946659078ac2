#include "sector_raster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

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

// A sector with its sizes brought into range; only for drawable ones.
SectorPaint nearSector(const SectorPaint& s) {
    SectorPaint n = s;
    n.inner = nearPixels(s.inner);
    n.outer = nearPixels(s.outer);
    n.strokeWidth = std::clamp(s.strokeWidth, 0.0, kFarPixels);
    return n;
}

bool drawable(double cx, double cy, const SectorPaint& s) {
    return std::isfinite(cx) && std::isfinite(cy) && std::isfinite(s.inner) &&
           std::isfinite(s.outer) && std::isfinite(s.start) && std::isfinite(s.end) &&
           std::isfinite(s.strokeWidth) && s.end > s.start;
}

// Whether the sector's angles pass `angle` (0 at twelve o'clock) in any turn.
bool passes(const SectorPaint& s, double angle) {
    const double turn = std::ceil((s.start - angle) / kTwoPi);
    return angle + turn * kTwoPi <= s.end;
}

// Beyond this distance from the outline nothing of the sector shows.
double marginOf(const SectorPaint& s) {
    return s.strokeWidth / 2 + 0.5 + 1e-6;
}

// Pixels of a near sector; the padding covers the square corners of the
// distance the rasteriser uses (up to the margin times the square root of 2).
PixelBox reachOf(double cx, double cy, const SectorPaint& s) {
    const double inner = std::max(s.inner, 0.0);
    const double outer = std::max(s.outer, 0.0);
    double left = std::numeric_limits<double>::infinity();
    double top = left;
    double right = -left;
    double bottom = -left;
    for (const double angle : {s.start, s.end}) {
        const Vec d = direction(angle);
        for (const double radius : {inner, outer}) {
            left = std::min(left, d.x * radius);
            right = std::max(right, d.x * radius);
            top = std::min(top, d.y * radius);
            bottom = std::max(bottom, d.y * radius);
        }
    }
    const bool full = s.end - s.start >= kTwoPi;
    if (full || passes(s, 0)) top = -outer;
    if (full || passes(s, std::numbers::pi / 2)) right = outer;
    if (full || passes(s, std::numbers::pi)) bottom = outer;
    if (full || passes(s, 3 * std::numbers::pi / 2)) left = -outer;
    const double pad = 1.5 * marginOf(s) + 2;
    const auto low = [](double v) { return static_cast<int>(std::floor(nearPixels(v))); };
    const auto high = [](double v) { return static_cast<int>(std::ceil(nearPixels(v))); };
    return {low(cx + left - pad), low(cy + top - pad), high(cx + right + pad),
            high(cy + bottom + pad)};
}

// What an edge pixel gets, by its distance to the outline in steps of
// 1/kEdgeSteps pixel: the stroke over the fill at their coverages.
constexpr double kEdgeSteps = 16;
// Strokes up to this many steps across come from a table made once per
// sector; wider ones, which only odd callers draw, are worked out per pixel.
constexpr std::size_t kEdgeTable = 4096;

std::uint32_t edgeColour(const SectorPaint& s, double margin, std::size_t step) {
    const double d = -margin + (static_cast<double>(step) + 0.5) / kEdgeSteps;
    const double halfStroke = s.strokeWidth / 2;
    const auto fillCover = static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0));
    return s.stroke.times(spanCoverage(d, -halfStroke, halfStroke))
        .over(s.fill.times(fillCover))
        .packed();
}

void paintSector(PixelCanvas& canvas, double cx, double cy, const SectorPaint& s) {
    const SectorShape shape(s);
    const double margin = marginOf(s);
    const double outerReach = s.outer + margin;
    const double innerReach = std::max(s.inner - margin, 0.0);
    // Inside these bounds a pixel is all fill and no stroke.
    const double solidIn = s.inner + margin;
    const double solidOut = s.outer - margin;
    const double solidIn2 = solidIn * solidIn;
    const double solidOut2 = solidOut > 0 ? solidOut * solidOut : -1;
    const std::uint32_t solidFill = s.fill.packed();
    const bool opaqueFill = s.fill.a >= 1.0F;
    const auto steps = static_cast<std::size_t>(2 * margin * kEdgeSteps) + 1;
    const bool tabled = steps <= kEdgeTable;
    thread_local std::vector<std::uint32_t> edge;
    if (tabled) {
        edge.resize(steps);
        for (std::size_t i = 0; i < steps; ++i) edge[i] = edgeColour(s, margin, i);
    }

    const PixelBox reach = reachOf(cx, cy, s);
    const int y0 = std::max(0, reach.y0);
    const int y1 = std::min(canvas.height() - 1, reach.y1);
    const int left = std::max(0, reach.x0);
    const int right = std::min(canvas.width() - 1, reach.x1);
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
            const auto step =
                std::min(static_cast<std::size_t>(std::max(0.0, (distance + margin) * kEdgeSteps)),
                         steps - 1);
            line[x] = overPixel(tabled ? edge[step] : edgeColour(s, margin, step), line[x]);
        };
        for (int side = 0; side < 2; ++side) {
            const Interval& part = parts[side];
            if (part.lo > part.hi) continue;
            const int x0 =
                std::max(left, static_cast<int>(std::floor(nearPixels(cx + part.lo - 0.5))));
            const int x1 =
                std::min(right, static_cast<int>(std::ceil(nearPixels(cx + part.hi - 0.5))));
            Interval run = solid;
            run.keep(-solidHalf, solidHalf);
            // Only one side of the hole lies in this part.
            if (holeHalf > 0) {
                if (side == 0)
                    run.keep(run.lo, -holeHalf);
                else
                    run.keep(holeHalf, run.hi);
            }
            const int s0 = std::max(x0, static_cast<int>(std::ceil(nearPixels(cx + run.lo - 0.5))));
            const int s1 =
                std::min(x1, static_cast<int>(std::floor(nearPixels(cx + run.hi - 0.5))));
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
    for (const SectorPaint& s : sectors)
        if (drawable(centreX, centreY, s))
            paintSector(canvas, nearPixels(centreX), nearPixels(centreY), nearSector(s));
}

PixelBox sectorPixels(double centreX, double centreY, const SectorPaint& sector) {
    if (!drawable(centreX, centreY, sector)) return {};
    return reachOf(nearPixels(centreX), nearPixels(centreY), nearSector(sector));
}

}  // namespace tidewell
