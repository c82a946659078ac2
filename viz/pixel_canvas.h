// A premultiplied 32-bit ARGB pixel buffer (the layout of Qt's
// ARGB32_Premultiplied images) and the source-over blend the map rasterisers
// write with. The buffer is borrowed, never owned.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "colors.h"

namespace tidewell {

// A colour with its alpha, components premultiplied, all 0..1.
struct PremulColor {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;

    static PremulColor of(Rgb8 rgb, double alpha) {
        const auto f = static_cast<float>(alpha) / 255.0F;
        return {rgb.r * f, rgb.g * f, rgb.b * f, static_cast<float>(alpha)};
    }
    PremulColor times(float k) const { return {r * k, g * k, b * k, a * k}; }
    // This colour drawn over `below`.
    PremulColor over(const PremulColor& below) const {
        const float rest = 1.0F - a;
        return {r + below.r * rest, g + below.g * rest, b + below.b * rest, a + below.a * rest};
    }
    std::uint32_t packed() const {
        // NaN, from a NaN alpha, packs as 0 rather than as an undefined cast.
        const auto byte = [](float v) {
            return static_cast<std::uint32_t>((v > 0.0F ? std::min(v, 1.0F) : 0.0F) * 255.0F +
                                              0.5F);
        };
        return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
    }
    static PremulColor unpacked(std::uint32_t p) {
        constexpr float k = 1.0F / 255.0F;
        return {static_cast<float>(p >> 16 & 0xff) * k, static_cast<float>(p >> 8 & 0xff) * k,
                static_cast<float>(p & 0xff) * k, static_cast<float>(p >> 24) * k};
    }
};

// Geometry further than this many pixels off a canvas is brought in to this
// distance before it is rasterised, so that pixel indices stay well inside
// the range of int; nothing that far out can be seen.
inline constexpr double kFarPixels = 1 << 22;

// `v` limited to [-kFarPixels, kFarPixels]; callers check that it is finite.
inline double nearPixels(double v) {
    return std::clamp(v, -kFarPixels, kFarPixels);
}

// An alpha or coverage limited to 0..1, NaN counting as 0.
inline float unitFraction(float v) {
    return v > 0.0F ? std::min(v, 1.0F) : 0.0F;
}

// A box of whole pixels, both corners inclusive; empty when x0 > x1 or y0 > y1.
struct PixelBox {
    int x0 = 0;
    int y0 = 0;
    int x1 = -1;
    int y1 = -1;
    bool empty() const { return x0 > x1 || y0 > y1; }
};

// A packed pixel with every component scaled by k / 256 (k at most 256).
inline std::uint32_t scalePixel(std::uint32_t p, std::uint32_t k) {
    return ((p & 0x00ff00ffU) * k >> 8 & 0x00ff00ffU) | ((p >> 8 & 0x00ff00ffU) * k & 0xff00ff00U);
}

// Packed premultiplied `src` over packed `dst`.
inline std::uint32_t overPixel(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t rest = 255 - (src >> 24);
    return src + scalePixel(dst, rest + (rest >> 7));
}

// How much of a pixel (a unit square) a band [lo, hi] of the axis covers,
// the pixel's centre being at `centre`.
inline float spanCoverage(double centre, double lo, double hi) {
    const double c = std::min(centre + 0.5, hi) - std::max(centre - 0.5, lo);
    return static_cast<float>(std::clamp(c, 0.0, 1.0));
}

class PixelCanvas {
  public:
    // `stride` counts pixels from one row to the next.
    PixelCanvas(std::span<std::uint32_t> pixels, int width, int height, std::ptrdiff_t stride)
        : pixels_(pixels), width_(width), height_(height), stride_(stride) {}

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t* row(int y) { return pixels_.data() + static_cast<std::ptrdiff_t>(y) * stride_; }
    std::uint32_t at(int x, int y) const {
        return pixels_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(y) * stride_ + x)];
    }

  private:
    std::span<std::uint32_t> pixels_;
    int width_;
    int height_;
    std::ptrdiff_t stride_;
};

}  // namespace tidewell
