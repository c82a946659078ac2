// A treemap cell drawn by the rasteriser: fill, a preview with its dark rim,
// rounded corners, nothing outside the cell.
#include "cell_raster.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
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

// A cell with two previews, as a view draws one.
struct SampleCell {
    std::vector<PreviewPaint> previews{{{14.3, 12.7, 20.2, 30.5}, Rgb8{200, 100, 50}},
                                       {{34.5, 12.7, 17.9, 30.5}, Rgb8{90, 160, 40}}};
    CellPaint paint(bool hovered) const {
        CellPaint cell;
        cell.rect = {10.5, 9.25, 45.5, 40.75};
        cell.radius = 5;
        cell.fill = Rgb8{0, 100, 200};
        cell.previews = previews;
        cell.previewRimAlpha = 0.3F;
        cell.border = hovered ? Rgb8{255, 255, 255} : Rgb8{0, 0, 0};
        cell.borderAlpha = hovered ? 0.9F : 0.35F;
        cell.borderWidth = hovered ? 2 : 1;
        return cell;
    }
};

TEST(CellRaster, AWindowGetsExactlyThePixelsOfTheWholeCanvasAndHoverChangesOnlyTheRim) {
    constexpr int kSide = 64;
    const SampleCell sample;
    for (const bool hovered : {false, true}) {
        std::vector<std::uint32_t> whole(kSide * kSide, 0);
        PixelCanvas canvas(whole, kSide, kSide, kSide);
        paintCell(canvas, sample.paint(hovered));
        // Windows of several sizes and places, some cutting the corners.
        for (const auto& [x0, y0, w, h] : {std::array{0, 0, 64, 64}, std::array{9, 8, 49, 43},
                                           std::array{12, 20, 8, 30}, std::array{30, 45, 30, 5}}) {
            std::vector<std::uint32_t> part(static_cast<std::size_t>(w * h), 0xdeadbeefU);
            PixelCanvas window(part, w, h, w);
            paintCell(window, sample.paint(hovered), x0, y0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t want =
                        whole[static_cast<std::size_t>((y0 + y) * kSide + x0 + x)];
                    const std::uint32_t got = part[static_cast<std::size_t>(y * w + x)];
                    // Outside the cell's box a window is left alone.
                    if (got == 0xdeadbeefU) {
                        EXPECT_EQ(want, 0U);
                        continue;
                    }
                    ASSERT_EQ(got, want) << x0 + x << "," << y0 + y << " hovered " << hovered;
                }
        }
    }

    // Plain and hovered differ only within the rim a hover redraws.
    std::vector<std::uint32_t> plain(kSide * kSide, 0);
    std::vector<std::uint32_t> hovered(kSide * kSide, 0);
    PixelCanvas plainCanvas(plain, kSide, kSide, kSide);
    PixelCanvas hoveredCanvas(hovered, kSide, kSide, kSide);
    paintCell(plainCanvas, sample.paint(false));
    paintCell(hoveredCanvas, sample.paint(true));
    const PixelBox box = cellPixels(sample.paint(false).rect, kSide, kSide);
    const int rim = cellRimPixels(5, 2);
    int differing = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const auto i = static_cast<std::size_t>(y * kSide + x);
            if (plain[i] == hovered[i]) continue;
            ++differing;
            const bool onRim =
                x < box.x0 + rim || x > box.x1 - rim || y < box.y0 + rim || y > box.y1 - rim;
            EXPECT_TRUE(onRim) << x << "," << y;
        }
    EXPECT_GT(differing, 100);
}

TEST(CellRaster, GeometryThatIsNotFiniteDrawsNothing) {
    constexpr int kSide = 32;
    const SampleCell sample;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<CellPaint> broken;
    for (const double bad : {nan, inf, -inf}) {
        for (int field = 0; field < 7; ++field) {
            CellPaint cell = sample.paint(true);
            double* fields[] = {&cell.rect.x,      &cell.rect.y, &cell.rect.width,
                                &cell.rect.height, &cell.radius, &cell.borderWidth,
                                &cell.previewRim};
            *fields[field] = bad;
            broken.push_back(cell);
        }
    }
    for (const CellPaint& cell : broken) {
        std::vector<std::uint32_t> pixels(kSide * kSide, 0);
        PixelCanvas canvas(pixels, kSide, kSide, kSide);
        paintCell(canvas, cell);
        for (const std::uint32_t p : pixels) ASSERT_EQ(p, 0U);
    }

    // A broken preview is left out; the cell around it is drawn.
    const std::vector<PreviewPaint> previews{{{nan, 5, 10, 10}, Rgb8{200, 100, 50}}};
    CellPaint cell;
    cell.rect = {2, 2, 28, 28};
    cell.fill = Rgb8{0, 100, 200};
    cell.previews = previews;
    cell.borderAlpha = 0.35F;
    std::vector<std::uint32_t> pixels(kSide * kSide, 0);
    PixelCanvas canvas(pixels, kSide, kSide, kSide);
    paintCell(canvas, cell);
    EXPECT_EQ(canvas.at(16, 16), 0xFF0064C8U);

    // Sides far beyond the canvas, and a NaN opacity, are no trouble.
    cell.rect = {-1e300, -1e300, 2e300, 2e300};
    cell.radius = 1e300;
    cell.previews = {};
    cell.opacity = std::numeric_limits<float>::quiet_NaN();
    paintCell(canvas, cell);
    EXPECT_EQ(canvas.at(16, 16), 0U);
    cell.opacity = 1;
    paintCell(canvas, cell);
    EXPECT_EQ(canvas.at(16, 16), 0xFF0064C8U);
}

}  // namespace
}  // namespace tidewell
