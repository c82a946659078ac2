#include "row_colours.h"

#include <algorithm>
#include <cmath>

namespace tidewell {

namespace {

int toByte(double v) {
    if (!(v > 0.0)) return 0;  // also catches NaN
    return static_cast<int>(std::lround(std::min(v, 1.0) * 255.0));
}

}  // namespace

QColor rowHslColour(double hue, double saturation, double lightness) {
    if (!std::isfinite(hue)) hue = 0.0;
    const double h = std::fmod(std::fmod(hue, 360.0) + 360.0, 360.0) / 360.0;
    const double c = (1.0 - std::abs(2.0 * lightness - 1.0)) * saturation;
    const double hp = h * 6.0;
    const double x = c * (1.0 - std::abs(std::fmod(hp, 2.0) - 1.0));
    // A hue just below 360 can round up to 6 here; it belongs to the last sextant.
    const int sextant = std::clamp(static_cast<int>(hp), 0, 5);
    static constexpr int kOrder[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1},
                                         {2, 1, 0}, {1, 2, 0}, {0, 2, 1}};
    // Index 0 is C, 1 is X, 2 is zero, per component, for each sextant.
    const double parts[3] = {c, x, 0.0};
    const double m = lightness - c / 2.0;
    const int* order = kOrder[sextant];
    return QColor(toByte(parts[order[0]] + m), toByte(parts[order[1]] + m),
                  toByte(parts[order[2]] + m));
}

QColor childRowColour(std::int64_t index, std::int64_t count) {
    const double hue =
        count < 2 ? -8.0
                  : -8.0 + 158.0 * static_cast<double>(index) / static_cast<double>(count - 1);
    return rowHslColour(hue, 0.66, 0.54);
}

}  // namespace tidewell
