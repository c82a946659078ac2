// The treemap's frames, drawn by the scene graph from the layout's picture
// and the overlays, against a repaint of every cell in one pass at the look
// and opacity the model gives it; at device pixel ratios 1 and 2.
#include <gtest/gtest.h>

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QEasingCurve>
#include <QFontMetricsF>
#include <QImage>
#include <QTest>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app_model.h"
#include "cell_raster.h"
#include "colors.h"
#include "map_stage.h"
#include "map_text.h"
#include "temp_tree.h"
#include "treemap_view.h"

namespace tidewell {
namespace {

using test::MapStage;
using test::TempDir;

const QColor kBackground(20, 20, 24);
constexpr QSize kView(420, 300);

// Moves animations on only when told, so a fade stands still between frames.
class ManualClock : public QAnimationDriver {
  public:
    ManualClock() { install(); }
    ~ManualClock() override { uninstall(); }
    qint64 elapsed() const override { return now_; }
    // Lets a fade that was just started reach the clock (its start goes
    // through the event loop and a tick), then moves it on.
    void step(qint64 ms) {
        QCoreApplication::processEvents();
        advance();
        QCoreApplication::processEvents();
        now_ += ms;
        advance();
    }

  private:
    qint64 now_ = 0;
};

bool scanned(AppModel& model, const std::string& path) {
    model.startScan(QString::fromStdString(path));
    return QTest::qWaitFor(
        [&] { return model.screen() == AppModel::Screen::results && model.focus() != nullptr; },
        20000);
}

// Folders with previews, labelled files and cells too small for a label.
void makeTree(const TempDir& dir) {
    dir.write("big.bin", 400 * 1024);
    dir.write("mid.bin", 200 * 1024);
    dir.write("small.bin", 100 * 1024);
    dir.mkdir("sub");
    for (int i = 0; i < 6; ++i)
        dir.write("sub/f" + std::to_string(i) + ".bin", static_cast<std::size_t>(i + 1) * 24576);
    dir.mkdir("docs");
    for (int i = 0; i < 4; ++i)
        dir.write("docs/d" + std::to_string(i) + ".txt", static_cast<std::size_t>(i + 2) * 12288);
    for (int i = 0; i < 16; ++i)
        dir.write("t" + std::to_string(i) + ".bin", static_cast<std::size_t>(16 - i) * 4096);
}

std::size_t indexOf(TreemapView& view, std::string_view name) {
    const std::vector<TreemapCell>& cells = view.cells();
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (!cells[i].isAggregate && cells[i].node->name() == name) return i;
    return cells.size();
}

// Every cell at the look the model gives it and at `opacityOf`, rasterised
// in one pass: what the view drew on every frame before it kept pictures.
std::vector<std::uint32_t> fullRepaint(TreemapView& view, AppModel& model, double k, int w, int h,
                                       const std::function<double(std::size_t)>& opacityOf) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    PixelCanvas canvas(pixels, w, h, w);
    const FileNode* hovered = model.hoveredNode();
    std::vector<PreviewPaint> previews;
    const std::vector<TreemapCell>& cells = view.cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const TreemapCell& cell = cells[i];
        bool greyed = false;
        if (!cell.isAggregate)
            for (const FileNode* a = cell.node.get(); a != nullptr && !greyed; a = a->parent())
                greyed = model.isInBasket(a);
        const bool isHovered = !cell.isAggregate && hovered == cell.node.get();
        const MapRect& r = cell.rect;
        previews.clear();
        for (const TreemapSubRect& sub : cell.subRects)
            previews.push_back({{(r.x + sub.rect.x) * k, (r.y + sub.rect.y) * k, sub.rect.width * k,
                                 sub.rect.height * k},
                                hslColor(cell.hue, 0.6, sub.lightness / 100.0)});
        CellPaint paint;
        paint.rect = {r.x * k, r.y * k, r.width * k, r.height * k};
        paint.radius = 5 * k;
        paint.fill = cell.isAggregate ? Rgb8{51, 51, 59}
                     : greyed         ? hslColor(0, 0, 0.26)
                                      : hslColor(cell.hue, 0.66, 0.5);
        paint.previews = previews;
        paint.previewRim = k;
        paint.previewRimAlpha = 0.3F;
        paint.border = isHovered ? Rgb8{255, 255, 255} : Rgb8{0, 0, 0};
        paint.borderAlpha = isHovered ? 0.9F : 0.35F;
        paint.borderWidth = (isHovered ? 2.0 : 1.0) * k;
        paint.opacity = static_cast<float>(opacityOf(i));
        paintCell(canvas, paint);
    }
    return pixels;
}

// Where labels and basket buttons go: the top band inside a labelled cell.
bool underMarks(TreemapView& view, double x, double y) {
    for (const TreemapCell& cell : view.cells()) {
        if (!cell.showLabel) continue;
        const MapRect& r = cell.rect;
        if (x >= r.x + 4 && x < r.x + r.width - 4 && y >= r.y + 4 && y < r.y + 50) return true;
    }
    return false;
}

// Pixels of the frame that differ from the full repaint by more than the
// renderer's rounding of opacities, outside labels and buttons.
int mismatches(TreemapView& view, const QImage& frame, const std::vector<std::uint32_t>& full,
               double k, std::string* first) {
    // The renderer applies a cell's opacity to its 8-bit picture: a few
    // levels of rounding where the full repaint applied it before.
    constexpr int kTolerance = 6;
    int count = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (underMarks(view, (x + 0.5) / k, (y + 0.5) / k)) continue;
            const QRgb want =
                test::over(full[static_cast<std::size_t>(y) * frame.width() + x], kBackground);
            const QRgb got = frame.pixel(x, y);
            if (test::colourDistance(want, got) <= kTolerance) continue;
            if (count++ == 0 && first != nullptr)
                *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") want " +
                         QColor(want).name().toStdString() + " got " +
                         QColor(got).name().toStdString();
        }
    }
    return count;
}

class TreemapFrames : public ::testing::TestWithParam<double> {
  protected:
    void SetUp() override {
        MapStage::useSoftwareRenderer();
        makeTree(dir);
        ASSERT_TRUE(scanned(model, dir.path()));
        model.setHovered(nullptr);
    }
    double ratio() const { return GetParam(); }
    int deviceWidth() const { return static_cast<int>(std::ceil(kView.width() * ratio())); }
    int deviceHeight() const { return static_cast<int>(std::ceil(kView.height() * ratio())); }
    std::vector<std::uint32_t> repaint(TreemapView& view,
                                       const std::function<double(std::size_t)>& opacityOf) {
        return fullRepaint(view, model, ratio(), deviceWidth(), deviceHeight(), opacityOf);
    }

    TempDir dir;
    AppModel model;
};

TEST_P(TreemapFrames, HoverDimmingAndBasketMatchAFullRepaintWithoutANewBake) {
    ManualClock clock;
    auto* view = new TreemapView;  // owned by the stage's window
    MapStage stage(view, kView, ratio(), kBackground);
    view->setModel(&model);
    QImage frame = stage.frame();
    std::string first;
    const auto plain = [](std::size_t) { return 1.0; };
    EXPECT_EQ(mismatches(*view, frame, repaint(*view, plain), ratio(), &first), 0) << first;
    const auto bakes = view->bakes();
    const auto passes = view->layoutPasses();

    const std::size_t sub = indexOf(*view, "sub");
    const std::size_t small = indexOf(*view, "small.bin");
    const std::size_t docs = indexOf(*view, "docs");
    ASSERT_LT(std::max({sub, small, docs}), view->cells().size());
    ASSERT_FALSE(view->cells()[sub].subRects.empty());
    // A hovered folder with previews; a file and a folder in the basket.
    model.setHovered(view->cells()[sub].node.get());
    model.toggleBasket(view->cells()[small].node.get());
    model.toggleBasket(view->cells()[docs].node.get());
    ASSERT_EQ(model.basket().size(), 2);
    clock.step(400);  // past the fade
    frame = stage.frame();
    const auto settled = [&](std::size_t i) { return view->cellOpacity(i); };
    EXPECT_DOUBLE_EQ(view->cellOpacity(sub), 1.0);
    EXPECT_DOUBLE_EQ(view->cellOpacity(small), 0.32);
    EXPECT_EQ(mismatches(*view, frame, repaint(*view, settled), ratio(), &first), 0) << first;

    // The hover moves onto the grey file: its rim is drawn white over grey.
    model.setHovered(view->cells()[small].node.get());
    clock.step(400);
    frame = stage.frame();
    EXPECT_DOUBLE_EQ(view->cellOpacity(small), 0.55);
    EXPECT_EQ(mismatches(*view, frame, repaint(*view, settled), ratio(), &first), 0) << first;

    // The check button of a basket item, and the plus of the hovered one,
    // over their cells at the cells' opacity.
    const double k = ratio();
    const auto buttonPixel = [&](std::size_t i, Rgb8 circle, double circleAlpha) {
        const TreemapCell& cell = view->cells()[i];
        const double op = view->cellOpacity(i);
        // Inside the circle, right of the glyph.
        const QPoint at(static_cast<int>((cell.rect.x + cell.rect.width - 6 - 11 + 8.5) * k),
                        static_cast<int>((cell.rect.y + 6 + 11) * k));
        const std::uint32_t below =
            repaint(*view, settled)[static_cast<std::size_t>(at.y()) * deviceWidth() + at.x()];
        const double a = op * circleAlpha;
        const QRgb under = test::over(below, kBackground);
        const auto channel = [&](std::uint8_t c, int u) {
            return static_cast<int>(std::lround(a * c + (1 - a) * u));
        };
        const QRgb want = qRgb(channel(circle.r, qRed(under)), channel(circle.g, qGreen(under)),
                               channel(circle.b, qBlue(under)));
        return test::colourDistance(want, frame.pixel(at)) <= 6;
    };
    ASSERT_TRUE(view->cells()[small].showLabel);
    EXPECT_TRUE(buttonPixel(small, Rgb8{255, 91, 82}, 1.0));
    EXPECT_TRUE(buttonPixel(docs, Rgb8{255, 91, 82}, 1.0));
    model.setHovered(view->cells()[sub].node.get());
    clock.step(400);
    frame = stage.frame();
    EXPECT_TRUE(buttonPixel(sub, Rgb8{0, 0, 0}, 0.5));

    // The basket item's title is struck through: one row of its label is
    // a line as long as the title.
    const TreemapCell& docsCell = view->cells()[docs];
    const double titleWidth =
        QFontMetricsF(uiFont(13, QFont::DemiBold)).horizontalAdvance(QStringLiteral("docs"));
    int longest = 0;
    for (int y = static_cast<int>((docsCell.rect.y + 7) * k);
         y < static_cast<int>((docsCell.rect.y + 7 + 18) * k); ++y) {
        int run = 0;
        for (int x = static_cast<int>((docsCell.rect.x + 9) * k);
             x < static_cast<int>((docsCell.rect.x + 9 + titleWidth + 2) * k); ++x) {
            run = qGray(frame.pixel(x, y)) > 75 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    EXPECT_GE(longest, static_cast<int>(0.8 * titleWidth * k));

    // None of this laid the cells out again or rasterised them all again.
    EXPECT_EQ(view->bakes(), bakes);
    EXPECT_EQ(view->layoutPasses(), passes);
}

TEST_P(TreemapFrames, FadeFramesShowTheFadesCurrentOpacity) {
    ManualClock clock;
    auto* view = new TreemapView;  // owned by the stage's window
    MapStage stage(view, kView, ratio(), kBackground);
    view->setModel(&model);
    stage.frame();
    const std::size_t big = indexOf(*view, "big.bin");
    const std::size_t mid = indexOf(*view, "mid.bin");
    model.setHovered(view->cells()[big].node.get());
    clock.step(40);
    QImage frame = stage.frame();
    // A third of the way through the fade the other cells are part dimmed.
    const double dimming = view->cellOpacity(mid);
    EXPECT_GT(dimming, 0.32);
    EXPECT_LT(dimming, 1.0);
    std::string first;
    const auto shown = [&](std::size_t i) { return view->cellOpacity(i); };
    EXPECT_EQ(mismatches(*view, frame, repaint(*view, shown), ratio(), &first), 0) << first;

    // The hover moves on mid-fade: the old cell fades out from where it is.
    model.setHovered(view->cells()[mid].node.get());
    clock.step(30);
    frame = stage.frame();
    EXPECT_LT(view->cellOpacity(big), 1.0);
    EXPECT_GT(view->cellOpacity(mid), dimming);
    EXPECT_EQ(mismatches(*view, frame, repaint(*view, shown), ratio(), &first), 0) << first;
}

INSTANTIATE_TEST_SUITE_P(Ratios, TreemapFrames, ::testing::Values(1.0, 2.0));

// A name as wide as `width` in the title font, give or take a letter.
std::string nameOfWidth(double width) {
    const QFontMetricsF metrics(uiFont(13, QFont::DemiBold));
    std::string name;
    while (metrics.horizontalAdvance(QString::fromStdString(name + "m")) < width) name += "m";
    return name;
}

// One file filling a wide view: its label is as wide as its name.
TEST(TreemapLabels, LongTitlesAreElidedNotCut) {
    MapStage::useSoftwareRenderer();
    TempDir dir;
    const std::string fits = nameOfWidth(1040);     // fits the cell
    const std::string tooLong = nameOfWidth(1300);  // does not
    dir.write(fits, 8192);
    AppModel model;
    ASSERT_TRUE(scanned(model, dir.path()));
    const QSize view(1120, 60);
    const auto titleAt = [&](double ratio) {
        auto* item = new TreemapView;  // owned by the stage's window
        MapStage stage(item, view, ratio, kBackground);
        item->setModel(&model);
        const QImage frame = stage.frame();
        EXPECT_EQ(item->cells().size(), 1u);
        EXPECT_TRUE(item->cells()[0].showLabel);
        // The rightmost light pixel of the title's row band.
        int right = -1;
        for (int y = static_cast<int>(10 * ratio); y < static_cast<int>(24 * ratio); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (qGray(frame.pixel(x, y)) > 150) right = std::max(right, x);
        return std::make_pair(item->shownTitle(0), right / ratio);
    };
    // At ratio 2 the title is wider than the label atlas once was, at
    // ratio 4 wider than the widest atlas: there it is elided instead.
    for (const double ratio : {1.0, 2.0}) {
        const auto [title, right] = titleAt(ratio);
        EXPECT_EQ(title.toStdString(), fits) << ratio;
        EXPECT_GT(right, 1.5 + 9 + 1000) << ratio;
    }
    const auto [elided, right4] = titleAt(4.0);
    EXPECT_TRUE(elided.endsWith(QChar(0x2026))) << elided.toStdString();
    EXPECT_LT(elided.size(), static_cast<qsizetype>(fits.size()));
    EXPECT_GT(right4, 900);

    // A title longer than its cell ends with an ellipsis inside the cell.
    TempDir other;
    other.write(tooLong, 8192);
    ASSERT_TRUE(scanned(model, other.path()));
    const auto [cut, right1] = titleAt(1.0);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_LT(right1, 1120 - 9);
}

}  // namespace
}  // namespace tidewell
