#include "sunburst_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "colors.h"

namespace tidewell {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kRimMargin = 10.0;
constexpr double kHoleFraction = 0.34;
constexpr double kRingGap = 1.5;

// t in 0..1 along a node's m children, 0 when there are fewer than two.
double spread(std::size_t j, std::size_t m) {
    if (m < 2) return 0.0;
    return static_cast<double>(std::min(j, m - 1)) / static_cast<double>(m - 1);
}

void addOuterRings(std::vector<SunburstSector>& out, const FileNode& node, std::int64_t level,
                   double start, double span, double hue) {
    if (level > kSunburstRings || node.size() < 1) return;
    const std::size_t m = node.childCount();
    const std::size_t count = std::min(m, kSunburstOuterCap);
    const auto nodeSize = static_cast<double>(node.size());
    double cursor = start;
    for (std::size_t j = 0; j < count; ++j) {
        FileNode* child = node.child(j);
        const double childSpan = (static_cast<double>(child->size()) / nodeSize) * span;
        if (childSpan < kSunburstMinSpan) break;  // later children are smaller still
        const double t = spread(j, m);
        const double lightness = level == 2 ? 0.42 + 0.16 * t : 0.55 + 0.14 * t;
        out.push_back({NodeRef(child), level, cursor, cursor + childSpan, hue, lightness});
        if (child->childCount() > 0 && level != kSunburstRings &&
            childSpan > kSunburstRing3MinParentSpan) {
            addOuterRings(out, *child, level + 1, cursor, childSpan, hue);
        }
        cursor += childSpan;
    }
}

}  // namespace

std::vector<SunburstSector> sunburstSectors(const NodeRef& focus) {
    std::vector<SunburstSector> out;
    if (!focus) return out;
    const FileNode& f = *focus;
    if (f.size() < 1 || f.childCount() == 0) return out;

    const auto total = static_cast<double>(f.size());
    const std::size_t n = f.childCount();
    const std::size_t count = std::min(n, kSunburstRing1Cap);
    double cursor = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        FileNode* child = f.child(i);
        const double span = (static_cast<double>(child->size()) / total) * kTwoPi;
        if (span < kSunburstMinSpan) break;  // later children are smaller still
        const double hue = mapHue(static_cast<std::int64_t>(i), static_cast<std::int64_t>(n));
        out.push_back({NodeRef(child), 1, cursor, cursor + span, hue, 0.5});
        if (child->childCount() > 0 && span > kSunburstRing2MinParentSpan) {
            addOuterRings(out, *child, 2, cursor, span, hue);
        }
        cursor += span;
    }
    return out;
}

double SunburstGeometry::innerRadius(std::int64_t level) const {
    return holeRadius + static_cast<double>(level - 1) * ringWidth;
}

double SunburstGeometry::outerRadiusOf(std::int64_t level) const {
    return innerRadius(level) + ringWidth - kRingGap;
}

SunburstGeometry sunburstGeometry(double width, double height) {
    SunburstGeometry g;
    g.centreX = width / 2.0;
    g.centreY = height / 2.0;
    g.outerRadius = std::min(width, height) * 0.5 - kRimMargin;
    g.holeRadius = kHoleFraction * g.outerRadius;
    g.ringWidth = (g.outerRadius - g.holeRadius) / static_cast<double>(kSunburstRings);
    return g;
}

double sunburstScreenAngle(double angle) {
    return angle - std::numbers::pi / 2.0;
}

SunburstHit sunburstHitTest(const std::vector<SunburstSector>& sectors,
                            const SunburstGeometry& geometry, double x, double y) {
    SunburstHit hit;
    const double dx = x - geometry.centreX;
    const double dy = y - geometry.centreY;
    const double dist = std::sqrt(dx * dx + dy * dy);
    if (dist < geometry.holeRadius) {
        hit.inCentre = true;
        return hit;
    }
    // A view too small for rings has bands of no width; nothing to hit.
    if (!(geometry.ringWidth > 0.0)) return hit;
    const double band = std::floor((dist - geometry.holeRadius) / geometry.ringWidth) + 1.0;
    // The rim itself is outside even when rounding puts it a hair inside ring 3.
    if (!(band >= 1.0) || band > static_cast<double>(kSunburstRings) ||
        dist >= geometry.outerRadius) {
        return hit;
    }
    const auto level = static_cast<std::int64_t>(band);
    double angle = std::atan2(dy, dx) + std::numbers::pi / 2.0;
    if (angle < 0.0) angle += kTwoPi;
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        const SunburstSector& s = sectors[i];
        if (s.level == level && s.start <= angle && angle < s.end) {
            hit.sector = i;
            break;
        }
    }
    return hit;
}

}  // namespace tidewell
