// The sunburst's sectors, ring geometry and hit testing. Angles are in
// radians, 0 at twelve o'clock and growing clockwise on screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "file_node.h"

namespace tidewell {

struct SunburstSector {
    NodeRef node;
    std::int64_t level = 1;  // ring, 1 (innermost) to 3
    double start = 0.0;
    double end = 0.0;        // > start
    double hue = 0.0;        // degrees, -8..150
    double lightness = 0.0;  // HSL, 0..1
};

inline constexpr std::int64_t kSunburstRings = 3;
// Children given sectors on ring 1, and per node on rings 2 and 3.
inline constexpr std::size_t kSunburstRing1Cap = 120;
inline constexpr std::size_t kSunburstOuterCap = 24;
// Sectors narrower than this end their ring's run of siblings.
inline constexpr double kSunburstMinSpan = 0.004;
// Spans a sector must exceed for its children to be drawn on the next ring.
inline constexpr double kSunburstRing2MinParentSpan = 0.05;
inline constexpr double kSunburstRing3MinParentSpan = 0.06;

// Sectors for `focus` in depth-first order: each ring-1 sector is followed
// by its ring-2 and ring-3 descendants. Empty for a null focus, a focus of
// size below 1 or one without children.
std::vector<SunburstSector> sunburstSectors(const NodeRef& focus);

// Ring radii for a view of a given size.
struct SunburstGeometry {
    double centreX = 0.0;
    double centreY = 0.0;
    double outerRadius = 0.0;  // R
    double holeRadius = 0.0;   // r0
    double ringWidth = 0.0;    // t

    // Radii of ring `level` (1..3) as drawn. The outline uses
    // max(innerRadius, 0); outerRadius leaves a 1.5-point gap outside the ring.
    double innerRadius(std::int64_t level) const;
    double outerRadiusOf(std::int64_t level) const;
};

SunburstGeometry sunburstGeometry(double width, double height);

// Angle on screen (0 at three o'clock, as painters expect) of a sector angle.
double sunburstScreenAngle(double angle);

struct SunburstHit {
    bool inCentre = false;              // inside the hole: the click goes up a level
    std::optional<std::size_t> sector;  // index into the sector list
};

// What lies under the point (x, y) in the view's coordinates. Rings are
// tested as whole bands of width t, so the gaps belong to the ring inside.
SunburstHit sunburstHitTest(const std::vector<SunburstSector>& sectors,
                            const SunburstGeometry& geometry, double x, double y);

}  // namespace tidewell
