// The pieces the map views put their pictures on screen with: the area
// around the cells drawn apart, and the baked label atlas.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <random>
#include <vector>

#include "label_atlas.h"
#include "map_item.h"

namespace tidewell {
namespace {

// How many of `rects` cover each pixel of `area`.
std::vector<int> coverCount(const QRect& area, const std::vector<QRect>& rects) {
    std::vector<int> count(static_cast<std::size_t>(area.width() * area.height()), 0);
    for (const QRect& r : rects) {
        const QRect c = r & area;
        for (int y = c.top(); y <= c.bottom(); ++y)
            for (int x = c.left(); x <= c.right(); ++x)
                ++count[static_cast<std::size_t>((y - area.top()) * area.width() + x -
                                                 area.left())];
    }
    return count;
}

TEST(RectsAround, CoverTheAreaOnceWithTheHolesAndNothingOutside) {
    const QRect area(3, 2, 90, 70);
    EXPECT_EQ(rectsAround(area, {}), std::vector<QRect>{area});
    // One hole in the middle: above, below, left and right of it.
    EXPECT_EQ(rectsAround(area, {QRect(40, 30, 10, 10)}).size(), 4u);

    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        // Disjoint holes: at most one per cell of a coarse grid, some
        // reaching past the area.
        std::vector<QRect> holes;
        for (int gy = -1; gy < 8; ++gy) {
            for (int gx = -1; gx < 10; ++gx) {
                if (random() % 3 == 0) continue;
                const int w = 1 + static_cast<int>(random() % 10);
                const int h = 1 + static_cast<int>(random() % 10);
                holes.emplace_back(gx * 10 + static_cast<int>(random() % (11 - w)),
                                   gy * 10 + static_cast<int>(random() % (11 - h)), w, h);
            }
        }
        const std::vector<QRect> around = rectsAround(area, holes);
        for (const QRect& r : around) EXPECT_TRUE(area.contains(r)) << round;
        std::vector<QRect> all = around;
        all.insert(all.end(), holes.begin(), holes.end());
        for (const int n : coverCount(area, all)) ASSERT_EQ(n, 1) << round;
        // Bands merge: far fewer pieces than pixel rows times holes.
        EXPECT_LT(around.size(), 4 * holes.size() + 1) << round;
    }
}

TEST(LabelAtlas, LabelsWiderThanAShelfAreWholeAndTheWidestFitsAtAnyRatio) {
    LabelAtlas atlas;
    const ShadowStyle style;
    // 700 logical pixels at ratio 2: wider than a shelf of 1024.
    atlas.build(
        {QSizeF(80, 20), QSizeF(700, 20), QSizeF(50, 20)}, 2.0, style,
        [](std::size_t, QPainter& p, bool) { p.fillRect(QRectF(0, 0, 700, 20), Qt::white); });
    const QRect wide = atlas.place(1);
    EXPECT_EQ(wide.width(), 1400 + 2 * atlas.pad());
    EXPECT_GE(atlas.image().width(), wide.right() + 1);
    // The text is there up to its end, not cut at 1024.
    const QColor end =
        atlas.image().pixelColor(wide.left() + atlas.pad() + 1390, wide.top() + atlas.pad() + 20);
    EXPECT_EQ(end.alpha(), 255);
    // No two places overlap.
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = i + 1; j < 3; ++j)
            EXPECT_FALSE(atlas.place(i).intersects(atlas.place(j)));

    // Text elided to the widest label fits in the widest atlas, whatever the ratio.
    for (const double ratio : {1.0, 1.25, 2.0, 3.0, 4.0}) {
        const double widest = LabelAtlas::maxLabelWidth(ratio, style);
        const int pad = static_cast<int>(std::ceil(style.radius * ratio));
        EXPECT_LE(static_cast<int>(std::ceil(widest * ratio)) + 2 * pad, 4096) << ratio;
        EXPECT_GT(widest * ratio, 4000) << ratio;
    }
}

}  // namespace
}  // namespace tidewell
