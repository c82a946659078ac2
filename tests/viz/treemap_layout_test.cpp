#include "treemap_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tree_builder.h"

namespace tidewell {
namespace {

using testing::TreeBuilder;

void expectRect(const TreemapRect& r, std::int64_t index, double x, double y, double w, double h,
                double tolerance = 1e-9) {
    EXPECT_EQ(r.index, index);
    EXPECT_NEAR(r.x, x, tolerance) << "index " << index;
    EXPECT_NEAR(r.y, y, tolerance) << "index " << index;
    EXPECT_NEAR(r.width, w, tolerance) << "index " << index;
    EXPECT_NEAR(r.height, h, tolerance) << "index " << index;
}

TEST(Squarify, NothingToLayOut) {
    EXPECT_TRUE(squarify({}, 0, 0, 10, 10).empty());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(squarify({0.0, -3.0, nan}, 0, 0, 10, 10).empty());
}

TEST(Squarify, ZeroSizedRectangleGetsNothing) {
    EXPECT_TRUE(squarify({5.0, 3.0}, 0, 0, 0, 10).empty());
    EXPECT_TRUE(squarify({5.0, 3.0}, 0, 0, 10, 0).empty());
    EXPECT_TRUE(squarify({5.0}, 0, 0, 0, 0).empty());
}

TEST(Squarify, SingleValueCoversTheRectangle) {
    const auto wide = squarify({15.0}, 2, 3, 5, 3);
    ASSERT_EQ(wide.size(), 1u);
    expectRect(wide[0], 0, 2, 3, 5, 3);
    const auto tall = squarify({15.0}, 0, 0, 3, 5);
    ASSERT_EQ(tall.size(), 1u);
    expectRect(tall[0], 0, 0, 0, 3, 5);
}

TEST(Squarify, ZeroValueIsSkippedAndKeepsItsIndex) {
    const auto rects = squarify({3.0, 0.0, 1.0}, 0, 0, 2, 2);
    ASSERT_EQ(rects.size(), 2u);
    expectRect(rects[0], 0, 0, 0, 1.5, 2);
    expectRect(rects[1], 2, 1.5, 0, 0.5, 2);
}

TEST(Squarify, SixByFourExample) {
    const auto rects = squarify({6, 6, 4, 3, 2, 2, 1}, 0, 0, 6, 4);
    ASSERT_EQ(rects.size(), 7u);
    const double t = 5e-4;
    expectRect(rects[0], 0, 0, 0, 3, 2, t);
    expectRect(rects[1], 1, 0, 2, 3, 2, t);
    expectRect(rects[2], 2, 3, 0, 1.714, 2.333, t);
    expectRect(rects[3], 3, 4.714, 0, 1.286, 2.333, t);
    expectRect(rects[4], 4, 3, 2.333, 1.2, 1.667, t);
    expectRect(rects[5], 5, 4.2, 2.333, 1.2, 1.667, t);
    expectRect(rects[6], 6, 5.4, 2.333, 0.6, 1.667, t);
}

TEST(ChildWeights, ChildrenOfZeroBytesGiveNoWeights) {
    TreeBuilder b;
    const NodeRef root = b.root(b.files(3, 0));
    EXPECT_TRUE(childWeights(*root, 350, 100, 100).weights.empty());
    const NodeRef leaf(b.file("x", 10));
    EXPECT_TRUE(childWeights(*leaf, 350, 100, 100).weights.empty());
}

TEST(ChildWeights, CapFoldsTheRestIntoOneWeight) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(24, 10);
    for (FileNode* f : b.files(6, 2, "s")) kids.push_back(f);
    const NodeRef root = b.root(kids);  // 252 bytes
    const ChildWeights cw = childWeights(*root, 24, 252, 1);
    EXPECT_EQ(cw.k, 24);
    ASSERT_EQ(cw.weights.size(), 25u);
    EXPECT_DOUBLE_EQ(cw.weights[0], 10.0);
    EXPECT_DOUBLE_EQ(cw.weights[24], 12.0);
}

TEST(ChildWeights, EmptyChildrenBeyondTheCapGiveNoRestWeight) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(350, 4);
    for (FileNode* f : b.files(10, 0, "z")) kids.push_back(f);
    const NodeRef root = b.root(kids);
    const ChildWeights cw = childWeights(*root, 350, 100, 100);
    EXPECT_EQ(cw.k, 350);
    EXPECT_EQ(cw.weights.size(), 350u);
}

TEST(ChildWeights, CapOf350WithRest) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(350, 4);
    for (FileNode* f : b.files(10, 1, "z")) kids.push_back(f);
    const NodeRef root = b.root(kids);  // 1410 bytes
    const ChildWeights cw = childWeights(*root, 350, 1410, 1);
    EXPECT_EQ(cw.k, 350);
    ASSERT_EQ(cw.weights.size(), 351u);
    EXPECT_DOUBLE_EQ(cw.weights[350], 10.0);
}

}  // namespace
}  // namespace tidewell
