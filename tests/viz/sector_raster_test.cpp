// The sector rasteriser on a small canvas: solid fills where a sector is
// whole, nothing drawn twice, nothing outside.
#include "sector_raster.h"

#include <gtest/gtest.h>

#include <numbers>
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

}  // namespace
}  // namespace tidewell
