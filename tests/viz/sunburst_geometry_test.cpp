#include "sunburst_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "tree_builder.h"

namespace tidewell {
namespace {

using testing::TreeBuilder;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::size_t countLevel(const std::vector<SunburstSector>& sectors, std::int64_t level) {
    std::size_t n = 0;
    for (const auto& s : sectors) n += s.level == level ? 1 : 0;
    return n;
}

TEST(SunburstSectors, SpansFollowSizesAndHuesSpread) {
    TreeBuilder b;
    const NodeRef root = b.root({b.file("a", 50), b.file("b", 30), b.file("c", 20)});
    const auto s = sunburstSectors(root);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_DOUBLE_EQ(s[0].end, 0.5 * kTwoPi);
    EXPECT_DOUBLE_EQ(s[1].start, s[0].end);
    EXPECT_NEAR(s[2].end, kTwoPi, 1e-12);
    EXPECT_DOUBLE_EQ(s[0].hue, -8.0);
    EXPECT_DOUBLE_EQ(s[1].hue, 71.0);
    EXPECT_DOUBLE_EQ(s[2].hue, 150.0);
}

TEST(SunburstSectors, SpanBelow0Point004EndsTheRing) {
    TreeBuilder b;
    // 636 of 1,000,000 is a span of 0.003996; 637 is 0.004002.
    std::vector<FileNode*> kids{b.file("big", 1'000'000 - 637 - 636 - 5 * 600)};
    kids.push_back(b.file("above", 637));
    kids.push_back(b.file("below", 636));
    for (FileNode* f : b.files(5, 600, "tail")) kids.push_back(f);
    const auto s = sunburstSectors(b.root(kids));
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].node->name(), "above");
}

TEST(SunburstSectors, Ring1HoldsAtMost120) {
    TreeBuilder b;
    const auto s = sunburstSectors(b.root(b.files(130, 10)));
    EXPECT_EQ(s.size(), 120u);
    EXPECT_DOUBLE_EQ(s[119].hue, -8.0 + 158.0 * 119.0 / 129.0);
}

// A root of 1,000,000 bytes whose second child is a folder of `folderSize`.
NodeRef withFolderOf(TreeBuilder& b, std::int64_t folderSize) {
    FileNode* folder =
        b.dir("d", {b.file("x", folderSize / 2), b.file("y", folderSize - folderSize / 2)});
    return b.root({b.file("big", 1'000'000 - folderSize), folder});
}

TEST(SunburstSectors, Ring2NeedsASpanAbove0Point05) {
    TreeBuilder b;
    // 7957 of 1,000,000 is a span of 0.049998; 7958 is 0.050002.
    const auto below = sunburstSectors(withFolderOf(b, 7957));
    EXPECT_LT(below[1].end - below[1].start, 0.05);
    EXPECT_EQ(countLevel(below, 2), 0u);
    const auto above = sunburstSectors(withFolderOf(b, 7958));
    EXPECT_GT(above[1].end - above[1].start, 0.05);
    EXPECT_EQ(countLevel(above, 2), 2u);
}

// A root whose only child spans the full ring and holds, first, a folder
// of `folderSize` out of 1,000,000 bytes.
NodeRef withInnerFolderOf(TreeBuilder& b, std::int64_t folderSize) {
    FileNode* inner =
        b.dir("inner", {b.file("p", folderSize / 2), b.file("q", folderSize - folderSize / 2)});
    FileNode* outer = b.dir("outer", {b.file("bulk", 1'000'000 - folderSize), inner});
    return b.root({outer});
}

TEST(SunburstSectors, Ring3NeedsASpanAbove0Point06) {
    TreeBuilder b;
    // 9549 of 1,000,000 of a full turn is a span of 0.059998; 9550 is 0.060004.
    const auto below = sunburstSectors(withInnerFolderOf(b, 9549));
    ASSERT_EQ(below.size(), 3u);
    EXPECT_LT(below[2].end - below[2].start, 0.06);
    EXPECT_EQ(countLevel(below, 3), 0u);
    const auto above = sunburstSectors(withInnerFolderOf(b, 9550));
    ASSERT_EQ(above.size(), 5u);
    EXPECT_GT(above[2].end - above[2].start, 0.06);
    EXPECT_EQ(countLevel(above, 3), 2u);
}

TEST(SunburstSectors, DepthFirstWithSharedHueAndRingLightness) {
    TreeBuilder b;
    FileNode* deep = b.dir("deep", {b.file("d1", 200), b.file("d2", 100)});
    FileNode* a = b.dir("a", {deep, b.file("a2", 200), b.file("a3", 100)});
    const NodeRef root = b.root({a, b.file("b", 300)});
    const auto s = sunburstSectors(root);
    std::vector<std::string> names;
    for (const auto& x : s) names.emplace_back(x.node->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "deep", "d1", "d2", "a2", "a3", "b"}));
    EXPECT_EQ(s[0].level, 1);
    EXPECT_EQ(s[1].level, 2);
    EXPECT_EQ(s[2].level, 3);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(s[i].hue, -8.0);
    EXPECT_DOUBLE_EQ(s[6].hue, 150.0);
    EXPECT_DOUBLE_EQ(s[1].lightness, 0.42);
    EXPECT_DOUBLE_EQ(s[4].lightness, 0.50);
    EXPECT_DOUBLE_EQ(s[5].lightness, 0.58);
    EXPECT_DOUBLE_EQ(s[2].lightness, 0.55);
    EXPECT_DOUBLE_EQ(s[3].lightness, 0.69);
    // Ring 2 fills its parent's angle from its start.
    EXPECT_DOUBLE_EQ(s[1].start, s[0].start);
    EXPECT_NEAR(s[5].end, s[0].end, 1e-12);
    EXPECT_DOUBLE_EQ(s[3].end - s[2].start, s[1].end - s[1].start);
}

TEST(SunburstGeometry, Radii) {
    const SunburstGeometry g = sunburstGeometry(320, 220);
    EXPECT_DOUBLE_EQ(g.centreX, 160);
    EXPECT_DOUBLE_EQ(g.centreY, 110);
    EXPECT_DOUBLE_EQ(g.outerRadius, 100);
    EXPECT_DOUBLE_EQ(g.holeRadius, 34);
    EXPECT_DOUBLE_EQ(g.ringWidth, 22);
    EXPECT_DOUBLE_EQ(g.innerRadius(1), 34);
    EXPECT_DOUBLE_EQ(g.outerRadiusOf(1), 54.5);
    EXPECT_DOUBLE_EQ(g.innerRadius(3), 78);
    EXPECT_DOUBLE_EQ(g.outerRadiusOf(3), 98.5);
    EXPECT_DOUBLE_EQ(sunburstScreenAngle(0), -std::numbers::pi / 2);
}

class SunburstHitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // a: right half of the ring; b: left half, with one child c filling ring 2.
        FileNode* c = b.file("c", 50);
        root = b.root({b.file("a", 50), b.dir("b", {c})});
        sectors = sunburstSectors(root);
        ASSERT_EQ(sectors.size(), 3u);
    }
    SunburstHit at(double x, double y) const { return sunburstHitTest(sectors, g, x, y); }
    const char* nameAt(double x, double y) const {
        const SunburstHit h = at(x, y);
        if (!h.sector) return nullptr;
        names = std::string(sectors[*h.sector].node->name());
        return names.c_str();
    }

    TreeBuilder b;
    NodeRef root;
    std::vector<SunburstSector> sectors;
    SunburstGeometry g = sunburstGeometry(220, 220);  // centre 110, R 100, r0 34, t 22
    mutable std::string names;
};

TEST_F(SunburstHitTest, CentreGoesBack) {
    EXPECT_TRUE(at(110, 110).inCentre);
    EXPECT_FALSE(at(110, 110).sector);
    EXPECT_TRUE(at(110 + 33.9, 110).inCentre);
    EXPECT_FALSE(at(110 + 34, 110).inCentre);
}

TEST_F(SunburstHitTest, EachRingFindsTheSectorUnderThePoint) {
    // Angles run clockwise from twelve o'clock: "a" is the right half, "b"
    // the left, and "c" lies on ring 2 over "b".
    EXPECT_STREQ(nameAt(110 + 44, 110 + 5), "a");
    EXPECT_STREQ(nameAt(110 + 5, 110 - 44), "a");
    EXPECT_STREQ(nameAt(110 - 44, 110 + 5), "b");
    EXPECT_STREQ(nameAt(110 - 5, 110 - 44), "b");
    EXPECT_STREQ(nameAt(110 - 66, 110 + 5), "c");
    EXPECT_STREQ(nameAt(110 - 5, 110 + 66), "c");
    EXPECT_FALSE(at(110 - 44, 110).inCentre);
    // Nothing lies on ring 2 over a file, nor on ring 3 at all.
    EXPECT_EQ(nameAt(110 + 66, 110 + 5), nullptr);
    EXPECT_EQ(nameAt(110 - 90, 110 + 5), nullptr);
}

TEST_F(SunburstHitTest, RimAndBeyondHitNothing) {
    for (double r : {100.0, 100.5, 109.0}) {
        const SunburstHit h = at(110 - r, 110);
        EXPECT_FALSE(h.inCentre) << r;
        EXPECT_FALSE(h.sector) << r;
    }
    EXPECT_FALSE(at(0, 0).sector);
}

}  // namespace
}  // namespace tidewell
