// Antialiased ring sectors drawn straight into a pixel buffer: each sector is
// filled, then its outline stroked, in the order given. Coverage comes from
// the distance to the sector's edges, so a frame of a few hundred sectors
// costs about one pass over the pixels they cover.
#pragma once

#include <span>

#include "pixel_canvas.h"

namespace tidewell {

struct SectorPaint {
    double inner = 0;  // radii in pixels
    double outer = 0;
    double start = 0;  // radians, 0 at twelve o'clock, clockwise; end > start
    double end = 0;
    PremulColor fill;
    PremulColor stroke;
    double strokeWidth = 1;  // centred on the outline
};

// Paints `sectors` in order around (centreX, centreY), in the canvas's
// pixels. A sector with a radius, angle or stroke width that is not finite,
// or with end <= start, draws nothing; so does a centre that is not finite.
void paintSectors(PixelCanvas& canvas, double centreX, double centreY,
                  std::span<const SectorPaint> sectors);

// Every pixel paintSectors may write for `sector` around (centreX, centreY),
// or an empty box; not limited to any canvas.
PixelBox sectorPixels(double centreX, double centreY, const SectorPaint& sector);

}  // namespace tidewell
