// The colours the list rows share with the map views: the hue of a child is
// spread by its place among the focused folder's children, so a folder-list
// row and its map cell match. The map views compute the same numbers on
// their side; the model cannot use theirs, as they build on the model.
#pragma once

#include <QColor>
#include <cstdint>

namespace tidewell {

// Standard HSL to an opaque colour, 8 bits per component rounded to nearest.
// Hue in degrees, any value (-8 is 352); saturation and lightness 0..1.
QColor rowHslColour(double hue, double saturation, double lightness);

// Child `index` of `count`, largest first: hue from -8 to 150 (-8 when there
// are fewer than two), saturation 0.66, lightness 0.54.
QColor childRowColour(std::int64_t index, std::int64_t count);

}  // namespace tidewell
