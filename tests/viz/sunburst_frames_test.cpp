// The sunburst's frames, drawn by the scene graph from its plain and dimmed
// pictures and the hover overlay, against a repaint of every sector in one
// pass at the look the model gives it; at device pixel ratios 1 and 2.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "app_model.h"
#include "colors.h"
#include "map_stage.h"
#include "sector_raster.h"
#include "sunburst_view.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::childNamed;
using test::MapStage;
using test::TempDir;

const QColor kBackground(Qt::black);
constexpr QSize kView(400, 300);

bool scanned(AppModel& model, const std::string& path) {
    model.startScan(QString::fromStdString(path));
    return QTest::qWaitFor(
        [&] { return model.screen() == AppModel::Screen::results && model.focus() != nullptr; },
        20000);
}

// Three rings: folders a and b with subfolders, files beside them.
void makeTree(const TempDir& dir) {
    for (const char* top : {"a", "b"}) {
        dir.mkdir(top);
        for (int i = 0; i < 3; ++i) {
            const std::string sub = std::string(top) + "/s" + std::to_string(i);
            dir.mkdir(sub);
            for (int j = 0; j < 3; ++j)
                dir.write(sub + "/f" + std::to_string(j),
                          static_cast<std::size_t>(3 - i + j) * 16384);
        }
    }
    dir.write("big", 300 * 1024);
    dir.write("c", 60 * 1024);
}

// Every sector at the look the model gives it, rasterised in one pass:
// what the view drew on every frame before it kept pictures.
std::vector<std::uint32_t> fullRepaint(SunburstView& view, AppModel& model, double k, int w,
                                       int h) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    PixelCanvas canvas(pixels, w, h, w);
    const SunburstGeometry g = view.geometry();
    const FileNode* hovered = model.hovered();
    std::vector<SectorPaint> paints;
    for (const SunburstSector& s : view.sectors()) {
        const FileNode* node = s.node.get();
        bool grey = false;
        bool under = false;
        for (const FileNode* a = node; a != nullptr; a = a->parent()) {
            grey = grey || model.isInBasket(a);
            under = under || a == hovered;
        }
        Rgb8 rgb =
            grey ? hslColor(0, 0, 0.26) : hslColor(s.hue, s.level == 1 ? 0.66 : 0.6, s.lightness);
        double opacity = grey ? 0.55 : 1.0;
        if (hovered != nullptr && !under) opacity = 0.32;
        SectorPaint p;
        p.inner = std::max(g.innerRadius(s.level), 0.0) * k;
        p.outer = g.outerRadiusOf(s.level) * k;
        p.start = s.start;
        p.end = s.end;
        p.fill = PremulColor::of(rgb, opacity);
        p.stroke = node == hovered ? PremulColor::of(Rgb8{255, 255, 255}, 0.9)
                                   : PremulColor::of(Rgb8{0, 0, 0}, opacity * 0.35);
        p.strokeWidth = (node == hovered ? 2.0 : 1.0) * k;
        paints.push_back(p);
    }
    paintSectors(canvas, g.centreX * k, g.centreY * k, paints);
    return pixels;
}

class SunburstFrames : public ::testing::TestWithParam<double> {
  protected:
    void SetUp() override {
        MapStage::useSoftwareRenderer();
        makeTree(dir);
        ASSERT_TRUE(scanned(model, dir.path()));
        model.setHovered(nullptr);
    }

    // Pixels that differ from the full repaint, outside the centre label.
    int mismatches(SunburstView& view, const QImage& frame, std::string* first) {
        const double k = GetParam();
        const std::vector<std::uint32_t> full =
            fullRepaint(view, model, k, frame.width(), frame.height());
        const SunburstGeometry g = view.geometry();
        int count = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                const double dx = (x + 0.5) / k - g.centreX;
                const double dy = (y + 0.5) / k - g.centreY;
                if (std::hypot(dx, dy) < g.holeRadius - 2) continue;
                const QRgb want =
                    test::over(full[static_cast<std::size_t>(y) * frame.width() + x], kBackground);
                const QRgb got = frame.pixel(x, y);
                if (test::colourDistance(want, got) <= 1) continue;
                if (count++ == 0)
                    *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") want " +
                             QColor(want).name().toStdString() + " got " +
                             QColor(got).name().toStdString();
            }
        }
        return count;
    }

    TempDir dir;
    AppModel model;
};

TEST_P(SunburstFrames, HoverAndBasketMatchAFullRepaintWithoutANewBake) {
    auto* view = new SunburstView;  // owned by the stage's window
    MapStage stage(view, kView, GetParam(), kBackground);
    view->setModel(&model);
    std::string first;
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    // The dimmed picture is made while the view is idle.
    QCoreApplication::processEvents();
    ASSERT_TRUE(view->dimmedReady());
    const auto bakes = view->bakes();

    FileNode* root = model.focus();
    FileNode* a = childNamed(root, "a");
    FileNode* s0 = childNamed(a, "s0");
    ASSERT_NE(s0, nullptr);
    // A ring-2 sector hovered: its ring-3 children stay bright, its parent dims.
    model.setHovered(s0);
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    // A ring-1 sector, then a file of ring 1, then nothing.
    model.setHovered(childNamed(root, "b"));
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    model.setHovered(childNamed(root, "c"));
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;

    // A folder and a file in the basket, with and without a hover.
    model.toggleBasket(a);
    model.toggleBasket(childNamed(root, "big"));
    ASSERT_EQ(model.basket().size(), 2);
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    model.setHovered(nullptr);
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    model.setHovered(childNamed(s0, "f1"));
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;
    model.setBasket({});
    EXPECT_EQ(mismatches(*view, stage.frame(), &first), 0) << first;

    EXPECT_EQ(view->bakes(), bakes);
}

INSTANTIATE_TEST_SUITE_P(Ratios, SunburstFrames, ::testing::Values(1.0, 2.0));

}  // namespace
}  // namespace tidewell
