// The painted treemap, rendered offscreen over a tree scanned from real
// temporary folders.
#include "treemap_view.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTest>
#include <iostream>
#include <memory>
#include <string>

#include "colors.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::TempDir;

const QColor kBackground(20, 20, 24);

bool scanned(AppModel& model, const std::string& path) {
    model.startScan(QString::fromStdString(path));
    return QTest::qWaitFor(
        [&] { return model.screen() == AppModel::Screen::results && model.focus() != nullptr; },
        20000);
}

// A window holding one treemap over the whole of it.
class Rendered {
  public:
    Rendered(AppModel& model, int w, int h) {
        // Once per process: the scene graph backend is fixed by the first window.
        static const bool software = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return true;
        }();
        (void)software;
        window_ = std::make_unique<QQuickWindow>();
        window_->setColor(kBackground);
        window_->resize(w, h);
        view_ = new TreemapView(window_->contentItem());  // owned by the content item
        view_->setSize(QSizeF(w, h));
        view_->setModel(&model);
        window_->show();
        ok_ = QTest::qWaitForWindowExposed(window_.get());
    }
    bool ok() const { return ok_; }
    TreemapView& view() { return *view_; }
    QQuickWindow& window() { return *window_; }
    QImage grab() {
        // Let pending repaints and the 0.15 s fade settle first.
        QTest::qWait(250);
        return window_->grabWindow().convertToFormat(QImage::Format_RGB32);
    }

  private:
    std::unique_ptr<QQuickWindow> window_;
    TreemapView* view_ = nullptr;
    bool ok_ = false;
};

QPoint centreOf(const TreemapCell& cell) {
    return {static_cast<int>(cell.rect.x + cell.rect.width / 2),
            static_cast<int>(cell.rect.y + cell.rect.height / 2)};
}

const TreemapCell* cellNamed(TreemapView& view, std::string_view name) {
    for (const TreemapCell& c : view.cells())
        if (!c.isAggregate && c.node->name() == name) return &c;
    return nullptr;
}

// Three files and one folder of clearly different sizes.
void makeSmallTree(const TempDir& dir) {
    dir.write("big.bin", 400 * 1024);
    dir.write("mid.bin", 200 * 1024);
    dir.write("small.bin", 100 * 1024);
    dir.mkdir("sub");
    for (int i = 0; i < 6; ++i)
        dir.write("sub/f" + std::to_string(i) + ".bin", static_cast<std::size_t>(i + 1) * 16384);
}

// A small scanned tree, shown by each test below.
class TreemapViewOnSmallTree : public ::testing::Test {
  protected:
    void SetUp() override {
        makeSmallTree(dir);
        ASSERT_TRUE(scanned(model, dir.path()));
    }
    TempDir dir;
    AppModel model;
};

TEST_F(TreemapViewOnSmallTree, CellCentreHasItsHueColour) {
    Rendered r(model, 400, 300);
    ASSERT_TRUE(r.ok());
    const TreemapCell* cell = cellNamed(r.view(), "big.bin");
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(cell->subRects.empty());
    // Hovered, so whatever the pointer was over before does not dim it.
    QTest::mouseMove(&r.window(), QPoint(0, 0));
    QTest::mouseMove(&r.window(), centreOf(*cell));
    const QImage img = r.grab();
    const Rgb8 want = hslColor(cell->hue, 0.66, 0.5);
    const QColor got = img.pixelColor(centreOf(*cell));
    EXPECT_EQ(got, QColor(want.r, want.g, want.b));
    EXPECT_FALSE(r.view().drawsEmptyState());
}

TEST_F(TreemapViewOnSmallTree, HoveredCellHasWhiteBorderAndHoverKeepsLayout) {
    Rendered r(model, 400, 300);
    ASSERT_TRUE(r.ok());
    const TreemapCell* cell = cellNamed(r.view(), "mid.bin");
    ASSERT_NE(cell, nullptr);
    r.grab();
    const auto passes = r.view().layoutPasses();

    // Through the pointer: the window repeats the last pointer position as
    // a hover after each frame, so a hover set behind its back would not last.
    QTest::mouseMove(&r.window(), centreOf(*cell));
    const QImage img = r.grab();
    ASSERT_EQ(model.hoveredNode(), cell->node.get());
    EXPECT_EQ(r.view().layoutPasses(), passes);
    // The 2-pixel border lies inside the outline: the first whole pixel
    // column within it, halfway down the left edge.
    const QPoint edge(static_cast<int>(std::ceil(cell->rect.x)),
                      static_cast<int>(cell->rect.y + cell->rect.height / 2));
    const QColor border = img.pixelColor(edge);
    EXPECT_GE(border.red(), 225);
    EXPECT_GE(border.green(), 225);
    EXPECT_GE(border.blue(), 225);
    // Its centre stays at full colour while the others dim.
    const Rgb8 want = hslColor(cell->hue, 0.66, 0.5);
    EXPECT_EQ(img.pixelColor(centreOf(*cell)), QColor(want.r, want.g, want.b));
    const TreemapCell* other = cellNamed(r.view(), "big.bin");
    ASSERT_NE(other, nullptr);
    const Rgb8 otherFull = hslColor(other->hue, 0.66, 0.5);
    EXPECT_NE(img.pixelColor(centreOf(*other)), QColor(otherFull.r, otherFull.g, otherFull.b));
}

TEST_F(TreemapViewOnSmallTree, BasketCellIsGreyedAndFolderClickZooms) {
    Rendered r(model, 400, 300);
    ASSERT_TRUE(r.ok());
    const TreemapCell* file = cellNamed(r.view(), "small.bin");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(model.canDelete(file->node.get()));
    const QPoint fileCentre = centreOf(*file);
    const Rgb8 full = hslColor(file->hue, 0.66, 0.5);

    // A click on a file cell puts it in the basket.
    QTest::mouseClick(&r.window(), Qt::LeftButton, {}, fileCentre);
    EXPECT_TRUE(model.isInBasket(file->node.get()));
    // The pointer stays over the file, so it is hovered too: still greyed.
    const QImage img = r.grab();
    const QColor got = img.pixelColor(fileCentre);
    EXPECT_NE(got, QColor(full.r, full.g, full.b));
    EXPECT_LE(std::abs(got.red() - got.green()), 2);
    EXPECT_LE(std::abs(got.green() - got.blue()), 3);
    // Grey 0.26 at opacity 0.55 over the background.
    EXPECT_NEAR(got.red(), 0.55 * 66 + 0.45 * kBackground.red(), 3);

    // A click on a folder cell enters it.
    const TreemapCell* sub = cellNamed(r.view(), "sub");
    ASSERT_NE(sub, nullptr);
    FileNode* subNode = sub->node.get();
    const auto before = model.path().size();
    QTest::mouseClick(&r.window(), Qt::LeftButton, {}, centreOf(*sub));
    ASSERT_EQ(model.path().size(), before + 1);
    EXPECT_EQ(model.path().back().get(), subNode);
    EXPECT_EQ(model.focus(), subNode);
    EXPECT_EQ(r.view().cells().size(), 6u);
}

TEST(TreemapView, EmptyFolderShowsTheEmptyStateText) {
    TempDir dir;
    AppModel model;
    ASSERT_TRUE(scanned(model, dir.path()));
    Rendered r(model, 400, 300);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.view().cells().empty());
    const QImage img = r.grab();
    EXPECT_TRUE(r.view().drawsEmptyState());
    int inked = 0;
    for (int y = 140; y < 160; ++y)
        for (int x = 100; x < 300; ++x)
            if (img.pixelColor(x, y) != kBackground) ++inked;
    EXPECT_GT(inked, 20);
}

}  // namespace
}  // namespace tidewell
