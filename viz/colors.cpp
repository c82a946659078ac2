#include "colors.h"

#include <algorithm>
#include <cmath>

namespace tidewell {

namespace {

std::uint8_t toByte(double v) {
    if (!(v > 0.0)) return 0;  // also catches NaN
    return static_cast<std::uint8_t>(std::lround(std::min(v, 1.0) * 255.0));
}

}  // namespace

Rgb8 hslColor(double hue, double saturation, double lightness) {
    if (!std::isfinite(hue)) hue = 0.0;
    const double h = std::fmod(std::fmod(hue, 360.0) + 360.0, 360.0) / 360.0;
    const double c = (1.0 - std::abs(2.0 * lightness - 1.0)) * saturation;
    const double hp = h * 6.0;
    const double x = c * (1.0 - std::abs(std::fmod(hp, 2.0) - 1.0));
    // A hue just below 360 can round up to 6 here; it belongs to the last sextant.
    const int sextant = std::clamp(static_cast<int>(hp), 0, 5);
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    switch (sextant) {
        case 0:
            r = c;
            g = x;
            break;
        case 1:
            r = x;
            g = c;
            break;
        case 2:
            g = c;
            b = x;
            break;
        case 3:
            g = x;
            b = c;
            break;
        case 4:
            r = x;
            b = c;
            break;
        default:
            r = c;
            b = x;
            break;
    }
    const double m = lightness - c / 2.0;
    return {toByte(r + m), toByte(g + m), toByte(b + m)};
}

double mapHue(std::int64_t index, std::int64_t count) {
    if (count < 2) return -8.0;
    return -8.0 + 158.0 * static_cast<double>(index) / static_cast<double>(count - 1);
}

}  // namespace tidewell
