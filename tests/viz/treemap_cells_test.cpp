#include "treemap_cells.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "tree_builder.h"

namespace tidewell {
namespace {

using testing::TreeBuilder;

TEST(TreemapCells, BothViewSidesMustExceed30) {
    TreeBuilder b;
    const NodeRef root = b.root({b.file("a", 10)});
    EXPECT_TRUE(treemapCells(root, 30, 500).empty());
    EXPECT_TRUE(treemapCells(root, 500, 30).empty());
    EXPECT_EQ(treemapCells(root, 30.5, 30.5).size(), 1u);
}

TEST(TreemapCells, CellsAreTheLayoutInsetBy1Point5) {
    TreeBuilder b;
    const NodeRef root = b.root({b.file("a", 6), b.file("b", 6), b.file("c", 4), b.file("d", 3),
                                 b.file("e", 2), b.file("f", 2), b.file("g", 1)});
    // The 6 x 4 example scaled to a 600 x 400 view: two 300 x 200 cells on
    // the left, then a row of 4 and 3 (height 700/3) and a row of 2, 2 and 1
    // (height 500/3), each rectangle's area its share of 240,000.
    struct Rect {
        double x, y, w, h;
    };
    const Rect layout[] = {
        {0, 0, 300, 200},
        {0, 200, 300, 200},
        {300, 0, 1200.0 / 7, 700.0 / 3},
        {300 + 1200.0 / 7, 0, 900.0 / 7, 700.0 / 3},
        {300, 700.0 / 3, 120, 500.0 / 3},
        {420, 700.0 / 3, 120, 500.0 / 3},
        {540, 700.0 / 3, 60, 500.0 / 3},
    };
    const auto cells = treemapCells(root, 600, 400);
    ASSERT_EQ(cells.size(), std::size(layout));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cells[i].node.get(), root->child(i));
        EXPECT_NEAR(cells[i].rect.x, layout[i].x + 1.5, 1e-9);
        EXPECT_NEAR(cells[i].rect.y, layout[i].y + 1.5, 1e-9);
        EXPECT_NEAR(cells[i].rect.width, layout[i].w - 3, 1e-9);
        EXPECT_NEAR(cells[i].rect.height, layout[i].h - 3, 1e-9);
        // Hues spread from -8 to 150 over the seven children.
        EXPECT_NEAR(cells[i].hue, -8.0 + 158.0 * static_cast<double>(i) / 6, 1e-9);
        EXPECT_EQ(cells[i].sizeBytes, cells[i].node->size());
        EXPECT_FALSE(cells[i].isAggregate);
        EXPECT_EQ(cells[i].aggregateCount, 0);
    }
}

TEST(TreemapCells, SliverBelow1Point5AfterInsetIsDropped) {
    TreeBuilder b;
    // 9900 fills a 99 x 100 column; 100 gets the last 1 x 100.
    const auto cells = treemapCells(b.root({b.file("a", 9900), b.file("b", 100)}), 100, 100);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].node->name(), "a");
}

TEST(TreemapCells, ChildrenBeyond350ShareOneAggregateCell) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(350, 1000);
    for (FileNode* f : b.files(50, 3, "small")) kids.push_back(f);
    const NodeRef root = b.root(kids);
    const auto cells = treemapCells(root, 1120, 720);
    ASSERT_EQ(cells.size(), 351u);
    for (const TreemapCell& c : cells) EXPECT_EQ(c.aggregateCount, 50);
    int aggregates = 0;
    for (const TreemapCell& c : cells) {
        if (!c.isAggregate) continue;
        ++aggregates;
        EXPECT_EQ(c.node, root);
        EXPECT_EQ(c.sizeBytes, 150);
        EXPECT_NEAR(c.hue, -8.0 + 158.0 * 350 / 399, 1e-9);  // as the 351st of 400
        EXPECT_TRUE(c.subRects.empty());
    }
    EXPECT_EQ(aggregates, 1);
    EXPECT_TRUE(cells.back().isAggregate);  // the rest weight is placed last
}

TEST(TreemapCells, EmptyChildrenBeyond350GiveNoAggregate) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(350, 1000);
    for (FileNode* f : b.files(50, 0, "empty")) kids.push_back(f);
    const auto cells = treemapCells(b.root(kids), 1120, 720);
    ASSERT_EQ(cells.size(), 350u);
    for (const TreemapCell& c : cells) {
        EXPECT_FALSE(c.isAggregate);
        EXPECT_EQ(c.aggregateCount, 50);
    }
}

TEST(TreemapCells, LabelFrom72By34) {
    TreeBuilder b;
    // One child fills the view, so the inset cell is the view less 3.
    const auto narrow = treemapCells(b.root({b.file("a", 1)}), 74.9, 103);
    ASSERT_EQ(narrow.size(), 1u);
    EXPECT_LT(narrow[0].rect.width, 72.0);
    EXPECT_FALSE(narrow[0].showLabel);

    const auto exact = treemapCells(b.root({b.file("a", 2775)}), 75, 37);
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_DOUBLE_EQ(exact[0].rect.width, 72.0);
    EXPECT_DOUBLE_EQ(exact[0].rect.height, 34.0);
    EXPECT_TRUE(exact[0].showLabel);

    const auto low = treemapCells(b.root({b.file("a", 2700)}), 75, 36);
    ASSERT_EQ(low.size(), 1u);
    EXPECT_DOUBLE_EQ(low[0].rect.height, 33.0);
    EXPECT_FALSE(low[0].showLabel);
}

TEST(TreemapCells, PreviewFrom63By30) {
    TreeBuilder b;
    FileNode* folder = b.dir("d", {b.file("x", 30), b.file("y", 20), b.file("z", 10)});
    const NodeRef root = b.root({folder});

    const auto narrow = treemapCells(root, 65, 203);
    ASSERT_EQ(narrow.size(), 1u);
    EXPECT_DOUBLE_EQ(narrow[0].rect.width, 62.0);
    EXPECT_TRUE(narrow[0].subRects.empty());

    const auto exact = treemapCells(root, 66, 33);
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_DOUBLE_EQ(exact[0].rect.width, 63.0);
    EXPECT_DOUBLE_EQ(exact[0].rect.height, 30.0);
    EXPECT_FALSE(exact[0].showLabel);
    EXPECT_EQ(exact[0].subRects.size(), 3u);

    const auto low = treemapCells(root, 66, 32.5);
    ASSERT_EQ(low.size(), 1u);
    EXPECT_TRUE(low[0].subRects.empty());
}

TEST(TreemapPreview, LightnessSpreadsFrom40To64) {
    TreeBuilder b;
    const NodeRef folder = b.root({b.file("x", 30), b.file("y", 20), b.file("z", 10)});
    const auto subs = treemapPreview(*folder, 60, 60);
    ASSERT_EQ(subs.size(), 3u);
    for (std::size_t i = 0; i < subs.size(); ++i) EXPECT_EQ(subs[i].id, static_cast<int>(i));
    EXPECT_DOUBLE_EQ(subs[0].lightness, 40.0);
    EXPECT_DOUBLE_EQ(subs[1].lightness, 52.0);
    EXPECT_DOUBLE_EQ(subs[2].lightness, 64.0);

    const NodeRef single = b.root({b.file("x", 30)});
    const auto one = treemapPreview(*single, 60, 60);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0].lightness, 40.0);
    EXPECT_DOUBLE_EQ(one[0].rect.width, 60.0);
}

TEST(TreemapPreview, CapOf24WithRest) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(24, 100);
    for (FileNode* f : b.files(10, 20, "s")) kids.push_back(f);
    const NodeRef folder = b.root(kids);  // 34 children, 2600 bytes
    const auto subs = treemapPreview(*folder, 260, 100);
    ASSERT_EQ(subs.size(), 25u);
    // The rest holds 200 bytes (area 2000); as index 24 of 34 its lightness is 40 + 24 * 24 / 33.
    bool sawRest = false;
    for (const TreemapSubRect& s : subs) {
        if (std::abs(s.rect.width * s.rect.height - 2000.0) < 1e-6) {
            sawRest = true;
            EXPECT_DOUBLE_EQ(s.lightness, 40.0 + 24.0 * 24.0 / 33.0);
        }
    }
    EXPECT_TRUE(sawRest);
}

TEST(TreemapPreview, CapOf24WithoutRest) {
    TreeBuilder b;
    std::vector<FileNode*> kids = b.files(24, 100);
    for (FileNode* f : b.files(10, 0, "s")) kids.push_back(f);
    const auto subs = treemapPreview(*b.root(kids), 240, 100);
    EXPECT_EQ(subs.size(), 24u);
}

}  // namespace
}  // namespace tidewell
