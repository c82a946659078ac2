#include "colors.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

// Hues outside 0..360 wrap around; expected values as the standard HSL to
// RGB conversion gives them, rounded to bytes.
TEST(HslColor, HuesWrapAround) {
    EXPECT_EQ(hslColor(352, 0.66, 0.54), (Rgb8{215, 60, 81}));
    EXPECT_EQ(hslColor(-8, 0.66, 0.54), (Rgb8{215, 60, 81}));
    EXPECT_EQ(hslColor(-368, 0.66, 0.54), (Rgb8{215, 60, 81}));
    EXPECT_EQ(hslColor(0, 0.5, 0.5), (Rgb8{191, 64, 64}));
    EXPECT_EQ(hslColor(720, 0.5, 0.5), (Rgb8{191, 64, 64}));
    // C = 0.63, m = 0.235: r = 0.865, g = b = 0.235.
    EXPECT_EQ(hslColor(0, 0.7, 0.55), (Rgb8{221, 60, 60}));
}

TEST(HslColor, LightnessExtremesIgnoreHueAndSaturation) {
    for (double hue : {-8.0, 0.0, 75.0, 150.0, 352.0}) {
        for (double sat : {0.0, 0.6, 1.0}) {
            EXPECT_EQ(hslColor(hue, sat, 0.0), (Rgb8{0, 0, 0}));
            EXPECT_EQ(hslColor(hue, sat, 1.0), (Rgb8{255, 255, 255}));
        }
    }
}

TEST(HslColor, EachSextant) {
    EXPECT_EQ(hslColor(0, 1, 0.5), (Rgb8{255, 0, 0}));
    EXPECT_EQ(hslColor(60, 1, 0.5), (Rgb8{255, 255, 0}));
    EXPECT_EQ(hslColor(120, 1, 0.5), (Rgb8{0, 255, 0}));
    EXPECT_EQ(hslColor(180, 1, 0.5), (Rgb8{0, 255, 255}));
    EXPECT_EQ(hslColor(240, 1, 0.5), (Rgb8{0, 0, 255}));
    EXPECT_EQ(hslColor(300, 1, 0.5), (Rgb8{255, 0, 255}));
    EXPECT_EQ(hslColor(30, 1, 0.5), (Rgb8{255, 128, 0}));
    EXPECT_EQ(hslColor(0, 0, 0.26), (Rgb8{66, 66, 66}));
}

TEST(MapHue, SpreadsFromMinus8To150) {
    EXPECT_DOUBLE_EQ(mapHue(0, 0), -8.0);
    EXPECT_DOUBLE_EQ(mapHue(0, 1), -8.0);
    EXPECT_DOUBLE_EQ(mapHue(0, 2), -8.0);
    EXPECT_DOUBLE_EQ(mapHue(1, 2), 150.0);
    EXPECT_DOUBLE_EQ(mapHue(1, 3), 71.0);
    EXPECT_DOUBLE_EQ(mapHue(2, 3), 150.0);
}

}  // namespace
}  // namespace tidewell
