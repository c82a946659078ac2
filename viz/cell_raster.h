// Treemap cells drawn straight into a pixel buffer: a rounded rectangle with
// its fill, its preview rectangles (each with a dark 1-point rim inside) and
// a border inside the outline, the whole cell at one opacity. Cells must not
// overlap: a cell replaces what was under it.
#pragma once

#include <span>

#include "colors.h"
#include "map_rect.h"
#include "pixel_canvas.h"

namespace tidewell {

struct PreviewPaint {
    MapRect rect;  // in the canvas, not relative to the cell
    Rgb8 color;
};

struct CellPaint {
    MapRect rect;  // in device pixels
    double radius = 0;
    Rgb8 fill;
    std::span<const PreviewPaint> previews;
    double previewRim = 1;      // width of the previews' rim, in pixels
    float previewRimAlpha = 0;  // black at this alpha over the preview colour
    Rgb8 border;
    float borderAlpha = 0;
    double borderWidth = 1;  // inside the outline
    float opacity = 1;
};

// Paints `cell` on `canvas`, whose pixel (0, 0) is pixel (originX, originY)
// of the cell's coordinates: a window of a larger picture gets exactly the
// pixels the whole picture would have there. A cell or preview with a
// coordinate that is not finite draws nothing.
void paintCell(PixelCanvas& canvas, const CellPaint& cell, int originX = 0, int originY = 0);

// The pixels of `canvas` that paintCell may write for a rectangle.
PixelBox cellPixels(const MapRect& rect, int canvasWidth, int canvasHeight);

// How far in from each side of a cell's pixel box the outline, border or
// corners can reach, for any border up to `borderWidth`: further in, a cell
// is only its fill and previews.
int cellRimPixels(double radius, double borderWidth);

}  // namespace tidewell
