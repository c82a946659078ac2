// Colours shared by the map views and the lists that echo them.
#pragma once

#include <cstdint>

namespace tidewell {

// An opaque sRGB colour, 8 bits per component.
struct Rgb8 {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};

// Standard HSL to RGB. Any hue in degrees is accepted, negative ones
// included (-8 is 352); saturation and lightness are 0..1.
Rgb8 hslColor(double hue, double saturation, double lightness);

// Hue in degrees of child `index` of `count` in largest-first order: spread
// from -8 to 150, or -8 when there are fewer than two children.
double mapHue(std::int64_t index, std::int64_t count);

}  // namespace tidewell
