// The sector rasteriser on a small canvas: solid fills where a sector is
// whole, nothing drawn twice, nothing outside.
#include "sector_raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace tidewell {
namespace {

constexpr int kSide = 120;

struct Canvas {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kSide * kSide, 0);
    PixelCanvas canvas{pixels, kSide, kSide, kSide};
};

TEST(SectorRaster, TranslucentFullRingIsEvenAndStaysInItsAnnulus) {
    Canvas c;
    SectorPaint ring;
    ring.inner = 20;
    ring.outer = 50;
    ring.start = 0;
    ring.end = 2 * std::numbers::pi;
    ring.fill = PremulColor::of(Rgb8{200, 100, 50}, 0.5);
    ring.stroke = PremulColor::of(Rgb8{0, 0, 0}, 0.5 * 0.35);
    paintSectors(c.canvas, 60, 60, std::span(&ring, 1));

    // (200, 100, 50) at half opacity, premultiplied: 0xAARRGGBB.
    const std::uint32_t solid = 0x80643219U;
    // Straight above, below and beside the centre: the same colour, so no
    // column or seam is drawn twice.
    EXPECT_EQ(c.canvas.at(60, 25), solid);
    EXPECT_EQ(c.canvas.at(60, 95), solid);
    EXPECT_EQ(c.canvas.at(59, 95), solid);
    EXPECT_EQ(c.canvas.at(25, 60), solid);
    EXPECT_EQ(c.canvas.at(60, 60), 0U);  // the hole
    EXPECT_EQ(c.canvas.at(60, 5), 0U);   // outside
    EXPECT_EQ(c.canvas.at(2, 2), 0U);
}

TEST(SectorRaster, NeighboursKeepTheirColoursAndShareAStrokedEdge) {
    Canvas c;
    std::vector<SectorPaint> two(2);
    for (std::size_t i = 0; i < 2; ++i) {
        two[i].inner = 20;
        two[i].outer = 55;
        two[i].start = static_cast<double>(i) * std::numbers::pi / 2;
        two[i].end = two[i].start + std::numbers::pi / 2;
        two[i].stroke = PremulColor::of(Rgb8{0, 0, 0}, 0.35);
    }
    two[0].fill = PremulColor::of(Rgb8{255, 0, 0}, 1.0);
    two[1].fill = PremulColor::of(Rgb8{0, 0, 255}, 1.0);
    paintSectors(c.canvas, 60, 60, two);

    EXPECT_EQ(c.canvas.at(80, 35), 0xFFFF0000U);  // upper right
    EXPECT_EQ(c.canvas.at(80, 85), 0xFF0000FFU);  // lower right
    EXPECT_EQ(c.canvas.at(40, 85), 0U);           // nothing drawn there
    // On the shared edge at three o'clock: darker than either fill and all
    // but opaque (each sector covers half the pixel, the strokes close it).
    const PremulColor edge = PremulColor::unpacked(c.canvas.at(95, 60));
    EXPECT_GT(edge.a, 0.95F);
    EXPECT_LT(edge.r, 1.0F);
    EXPECT_LT(edge.b, 1.0F);
}

// A full ring with a stroke far wider than a pixel: outside the outline
// only the stroke, inside it the stroke over the fill, then the fill alone.
TEST(SectorRaster, WideStrokesCoverWhatTheirWidthCovers) {
    constexpr int kCanvas = 260;
    for (const double width : {4.0, 9.0, 30.0, 200.0}) {
        std::vector<std::uint32_t> pixels(kCanvas * kCanvas, 0);
        PixelCanvas canvas(pixels, kCanvas, kCanvas, kCanvas);
        SectorPaint ring;
        ring.inner = 20;
        ring.outer = 100;
        ring.start = 0;
        ring.end = 2 * std::numbers::pi;
        ring.fill = PremulColor::of(Rgb8{200, 100, 50}, 1.0);
        ring.stroke = PremulColor::of(Rgb8{0, 0, 255}, 0.5);
        ring.strokeWidth = width;
        paintSectors(canvas, 130, 130, std::span(&ring, 1));
        const double half = width / 2;
        const std::uint32_t strokeOnly = ring.stroke.packed();
        const std::uint32_t strokeOverFill = ring.stroke.over(ring.fill).packed();
        // Straight down from the centre, pixel centres at whole distances
        // from the outer edge plus a half.
        const auto at = [&](double fromOuter) {
            const int y = static_cast<int>(130 + 100 + fromOuter);
            return y >= 0 && y < kCanvas ? canvas.at(130, y) : 0U;
        };
        for (double d = -29.5; d <= 29.5; d += 1) {
            const double reach = std::abs(d);
            if (reach < 1 || std::abs(reach - half) < 1) continue;  // blended edges
            if (130 + 100 + d >= kCanvas || 100 + d < 25) continue;
            std::uint32_t want = 0;
            if (d > 0) want = reach < half ? strokeOnly : 0U;
            if (d < 0) want = reach < half ? strokeOverFill : ring.fill.packed();
            EXPECT_EQ(at(d), want) << "width " << width << " at " << d;
        }
    }
}

TEST(SectorRaster, GeometryThatIsNotFiniteDrawsNothingAndReachHoldsEveryPixel) {
    constexpr int kSide = 120;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    SectorPaint good;
    good.inner = 20;
    good.outer = 50;
    good.start = 0.3;
    good.end = 1.4;
    good.fill = PremulColor::of(Rgb8{200, 100, 50}, 1.0);
    good.stroke = PremulColor::of(Rgb8{0, 0, 0}, 0.35);
    std::vector<SectorPaint> broken;
    for (const double bad : {nan, inf, -inf}) {
        for (int field = 0; field < 5; ++field) {
            SectorPaint s = good;
            double* fields[] = {&s.inner, &s.outer, &s.start, &s.end, &s.strokeWidth};
            *fields[field] = bad;
            broken.push_back(s);
        }
    }
    SectorPaint backwards = good;
    backwards.end = good.start;
    broken.push_back(backwards);
    Canvas c;
    paintSectors(c.canvas, 60, 60, broken);
    paintSectors(c.canvas, nan, 60, std::span(&good, 1));
    paintSectors(c.canvas, 60, inf, std::span(&good, 1));
    for (const std::uint32_t p : c.pixels) ASSERT_EQ(p, 0U);
    EXPECT_TRUE(sectorPixels(nan, 60, good).empty());
    EXPECT_TRUE(sectorPixels(60, 60, broken.front()).empty());

    // Every pixel a sector writes lies in the box sectorPixels gives for it.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 200; ++round) {
        SectorPaint s = good;
        s.inner = 40 * unit(random);
        s.outer = s.inner + 2 + 40 * unit(random);
        s.start = 7 * unit(random) - 0.5;
        s.end = s.start + 0.01 + 6.5 * unit(random);
        s.strokeWidth = 12 * unit(random);
        s.stroke = PremulColor::of(Rgb8{255, 255, 255}, 0.9);
        const double cx = 30 + 60 * unit(random);
        const double cy = 30 + 60 * unit(random);
        Canvas one;
        paintSectors(one.canvas, cx, cy, std::span(&s, 1));
        const PixelBox box = sectorPixels(cx, cy, s);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                if (one.canvas.at(x, y) == 0U) continue;
                ASSERT_TRUE(x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1)
                    << "round " << round << " pixel " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace tidewell
