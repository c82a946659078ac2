// A rectangle of the map views, in doubles: cells and previews in view
// coordinates, and the same shapes scaled to device pixels for drawing.
#pragma once

namespace tidewell {

struct MapRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

}  // namespace tidewell
