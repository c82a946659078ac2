// A treemap cell drawn by the rasteriser: fill, a preview with its dark rim,
// rounded corners, nothing outside the cell.
#include "cell_raster.h"

#include <gtest/gtest.h>

#include <vector>

namespace tidewell {
namespace {

TEST(CellRaster, PreviewRimIsDarkerButOpaqueAndCornersAreRounded) {
    constexpr int kSide = 60;
    std::vector<std::uint32_t> pixels(kSide * kSide, 0);
    PixelCanvas canvas(pixels, kSide, kSide, kSide);
    const PreviewPaint preview{{20, 20, 20, 20}, Rgb8{200, 100, 50}};
    CellPaint cell;
    cell.rect = {10, 10, 40, 40};
    cell.radius = 5;
    cell.fill = Rgb8{0, 100, 200};
    cell.previews = std::span(&preview, 1);
    cell.previewRimAlpha = 0.3F;
    cell.border = Rgb8{0, 0, 0};
    cell.borderAlpha = 0.35F;
    paintCell(canvas, cell);

    // Opaque pixels are 0xAARRGGBB with alpha 255.
    EXPECT_EQ(canvas.at(30, 30), 0xFFC86432U);
    EXPECT_EQ(canvas.at(15, 30), 0xFF0064C8U);
    const PremulColor rim = PremulColor::unpacked(canvas.at(20, 30));
    EXPECT_FLOAT_EQ(rim.a, 1.0F);
    EXPECT_NEAR(rim.r, 200 * 0.7 / 255, 0.01);
    EXPECT_EQ(canvas.at(10, 10), 0U);  // cut off by the rounded corner
    EXPECT_EQ(canvas.at(5, 30), 0U);
}

}  // namespace
}  // namespace tidewell
