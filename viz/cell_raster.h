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

void paintCell(PixelCanvas& canvas, const CellPaint& cell);

}  // namespace tidewell
