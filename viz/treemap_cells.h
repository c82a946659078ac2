// The treemap view's cells and the preview rectangles inside folder cells,
// as plain records computed from a focus and the view's size. Drawing
// takes these as they are; every threshold lives here.
#pragma once

#include <cstdint>
#include <vector>

#include "file_node.h"
#include "map_rect.h"

namespace tidewell {

// One preview rectangle, relative to its cell's top-left corner.
struct TreemapSubRect {
    std::int64_t id = 0;  // position in the preview layout's output, dropped ones counted
    MapRect rect;
    double lightness = 0.0;  // HSL lightness in percent, 40..64
};

struct TreemapCell {
    NodeRef node;  // the child shown; the focus itself for the aggregate cell
    MapRect rect;  // in the view's coordinates, already inset
    double hue = 0.0;
    std::int64_t sizeBytes = 0;
    std::vector<TreemapSubRect> subRects;
    bool showLabel = false;
    bool isAggregate = false;         // stands for every child beyond the first 350
    std::int64_t aggregateCount = 0;  // children not shown one by one, on every cell
};

// Children shown one by one; the rest share the aggregate cell.
inline constexpr std::int64_t kTreemapCellCap = 350;
// Children previewed one by one inside a folder cell.
inline constexpr std::int64_t kTreemapPreviewCap = 24;

// Gap left on every side of a cell.
inline constexpr double kTreemapCellInset = 1.5;
// Both sides of the view must exceed this for any cell.
inline constexpr double kTreemapMinViewSide = 30.0;
// Inset size from which a cell carries its name, size and basket button.
inline constexpr double kTreemapLabelMinWidth = 72.0;
inline constexpr double kTreemapLabelMinHeight = 34.0;
// Inset size from which a folder cell shows its preview rectangles.
inline constexpr double kTreemapPreviewMinWidth = 63.0;
inline constexpr double kTreemapPreviewMinHeight = 30.0;

// Cells for the children of `focus` in a view of width x height, in layout
// order (largest first). Empty for a null focus, a view of 30 points or less
// on either side, or children totalling below 1 byte.
std::vector<TreemapCell> treemapCells(const NodeRef& focus, double width, double height);

// Preview rectangles of a folder's children for a box of width x height;
// empty when the children total below 1 byte.
std::vector<TreemapSubRect> treemapPreview(const FileNode& folder, double width, double height);

}  // namespace tidewell
