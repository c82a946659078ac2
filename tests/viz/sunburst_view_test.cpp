// The sunburst item on a real scanned tree, rendered offscreen and grabbed.
#include "sunburst_view.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "app_model.h"
#include "colors.h"
#include "temp_tree.h"

namespace tidewell {
namespace {

using test::childNamed;
using test::TempDir;

bool scan(AppModel& model, const std::string& path) {
    model.startScan(QString::fromStdString(path));
    return QTest::qWaitFor(
        [&] { return model.screen() == AppModel::Screen::results && model.focus() != nullptr; },
        20000);
}

// big, then d (x, y), then c: three ring-1 sectors, d with ring-2 children.
void writeSmallTree(const TempDir& dir) {
    dir.write("big", 400000);
    dir.mkdir("d");
    dir.write("d/x", 200000);
    dir.write("d/y", 100000);
    dir.write("c", 50000);
}

// A point in the middle of a sector, in view coordinates.
QPointF middleOf(const SunburstSector& s, const SunburstGeometry& g) {
    const double r = (g.innerRadius(s.level) + g.outerRadiusOf(s.level)) / 2;
    const double a = sunburstScreenAngle((s.start + s.end) / 2);
    return {g.centreX + r * std::cos(a), g.centreY + r * std::sin(a)};
}

const SunburstSector* sectorOf(SunburstView& view, const FileNode* node) {
    for (const SunburstSector& s : view.sectors())
        if (s.node.get() == node) return &s;
    return nullptr;
}

bool near(QColor actual, Rgb8 expected) {
    return std::abs(actual.red() - expected.r) <= 1 && std::abs(actual.green() - expected.g) <= 1 &&
           std::abs(actual.blue() - expected.b) <= 1;
}

// The view in a shown offscreen window on black, as the dark interface has it.
class Shown {
  public:
    explicit Shown(AppModel& model, int w = 400, int h = 300) {
        window_.setColor(Qt::black);
        view = new SunburstView(window_.contentItem());  // owned by the content item
        view->setModel(&model);
        view->setSize(QSizeF(w, h));
        window_.resize(w, h);
        window_.show();
        exposed = QTest::qWaitForWindowExposed(&window_);
    }
    QImage grab() {
        QImage image = window_.grabWindow();
        image.setDevicePixelRatio(1);
        return image.scaled(view->width(), view->height());
    }
    QQuickWindow* window() { return &window_; }

    SunburstView* view = nullptr;
    bool exposed = false;

  private:
    // Once: the scene graph takes the choice only before its first window.
    static bool useSoftwareRenderer() {
        static const bool once = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return true;
        }();
        return once;
    }
    bool software_ = useSoftwareRenderer();  // before the window is made
    QQuickWindow window_;
};

// A small scanned tree, shown by each test below.
class SunburstViewOnSmallTree : public ::testing::Test {
  protected:
    void SetUp() override {
        writeSmallTree(dir);
        ASSERT_TRUE(scan(model, dir.path()));
    }
    TempDir dir;
    AppModel model;
};

TEST_F(SunburstViewOnSmallTree, SectorsArePaintedInTheirColours) {
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    const QImage image = shown.grab();
    const SunburstGeometry g = shown.view->geometry();

    const SunburstSector* big = sectorOf(*shown.view, childNamed(model.focus(), "big"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->level, 1);
    EXPECT_TRUE(near(image.pixelColor(middleOf(*big, g).toPoint()),
                     hslColor(big->hue, 0.66, big->lightness)));

    const FileNode* d = childNamed(model.focus(), "d");
    const SunburstSector* x = sectorOf(*shown.view, childNamed(d, "x"));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->level, 2);
    EXPECT_TRUE(
        near(image.pixelColor(middleOf(*x, g).toPoint()), hslColor(x->hue, 0.6, x->lightness)));
}

TEST_F(SunburstViewOnSmallTree, ChildOfAFolderInTheBasketIsGrey) {
    FileNode* d = childNamed(model.focus(), "d");
    model.toggleBasket(d);
    ASSERT_TRUE(model.isInBasket(d));
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    const QImage image = shown.grab();
    const SunburstSector* x = sectorOf(*shown.view, childNamed(d, "x"));
    ASSERT_NE(x, nullptr);
    // Dark grey at 0.55 over the black window.
    const Rgb8 grey = hslColor(0, 0, 0.26);
    const auto over = [](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::lround(c * 0.55));
    };
    EXPECT_TRUE(near(image.pixelColor(middleOf(*x, shown.view->geometry()).toPoint()),
                     Rgb8{over(grey.r), over(grey.g), over(grey.b)}));
}

TEST_F(SunburstViewOnSmallTree, HoverDimsAllButTheHoveredSubtree) {
    FileNode* d = childNamed(model.focus(), "d");
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    // After showing: the window's first hover, away from the rings, clears it.
    model.setHovered(d);
    const QImage image = shown.grab();
    const SunburstGeometry g = shown.view->geometry();

    const SunburstSector* x = sectorOf(*shown.view, childNamed(d, "x"));
    ASSERT_NE(x, nullptr);
    EXPECT_TRUE(
        near(image.pixelColor(middleOf(*x, g).toPoint()), hslColor(x->hue, 0.6, x->lightness)));

    // 0.32 over the black window.
    const SunburstSector* big = sectorOf(*shown.view, childNamed(model.focus(), "big"));
    ASSERT_NE(big, nullptr);
    const Rgb8 full = hslColor(big->hue, 0.66, big->lightness);
    const auto over = [](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::lround(c * 0.32));
    };
    EXPECT_TRUE(near(image.pixelColor(middleOf(*big, g).toPoint()),
                     Rgb8{over(full.r), over(full.g), over(full.b)}));
}

TEST_F(SunburstViewOnSmallTree, HoverSetsTheModelsHoveredNodeWithoutRebuildingSectors) {
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    const SunburstSector* before = shown.view->sectors().data();
    const FileNode* c = childNamed(model.focus(), "c");
    const SunburstSector* sector = sectorOf(*shown.view, c);
    ASSERT_NE(sector, nullptr);

    int changes = 0;
    QObject::connect(&model, &AppModel::hoveredChanged, [&changes] { ++changes; });
    const QPoint at = middleOf(*sector, shown.view->geometry()).toPoint();
    QTest::mouseMove(shown.window(), at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.hoveredNode() == c; }, 2000));
    QTest::mouseMove(shown.window(), at + QPoint(1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 1);  // a move within the same sector writes nothing
    EXPECT_EQ(shown.view->sectors().data(), before);

    QTest::mouseMove(shown.window(), QPoint(2, 2));  // outside the rings
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.hoveredNode() == nullptr; }, 2000));
}

TEST_F(SunburstViewOnSmallTree, ClickEntersAFolderAndTheCentreGoesBackUp) {
    FileNode* root = model.focus();
    FileNode* d = childNamed(root, "d");
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    const SunburstSector* sector = sectorOf(*shown.view, d);
    ASSERT_NE(sector, nullptr);

    QTest::mouseClick(shown.window(), Qt::LeftButton, {},
                      middleOf(*sector, shown.view->geometry()).toPoint());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.focus() == d; }, 2000));
    ASSERT_EQ(model.path().size(), 2);
    EXPECT_EQ(model.path().front().get(), root);

    const SunburstGeometry g = shown.view->geometry();
    QTest::mouseClick(shown.window(), Qt::LeftButton, {}, QPointF(g.centreX, g.centreY).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.focus() == root; }, 2000));
}

TEST_F(SunburstViewOnSmallTree, SecondaryClickAsksForTheContextMenu) {
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    FileNode* d = childNamed(model.focus(), "d");
    const SunburstSector* sector = sectorOf(*shown.view, d);
    ASSERT_NE(sector, nullptr);
    NodeValue asked;
    bool isDirectory = false;
    QObject::connect(shown.view, &SunburstView::contextMenuRequested,
                     [&](NodeValue node, bool dirFlag, bool, QPointF) {
                         asked = node;
                         isDirectory = dirFlag;
                     });
    QTest::mouseClick(shown.window(), Qt::RightButton, {},
                      middleOf(*sector, shown.view->geometry()).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.node() == d; }, 2000));
    EXPECT_TRUE(isDirectory);
    EXPECT_EQ(model.focus(), d->parent());  // no zoom
}

TEST_F(SunburstViewOnSmallTree, ClickOnAFileTogglesItInTheBasket) {
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    FileNode* c = childNamed(model.focus(), "c");
    const SunburstSector* sector = sectorOf(*shown.view, c);
    ASSERT_NE(sector, nullptr);
    ASSERT_TRUE(model.canDelete(c));
    const QPoint at = middleOf(*sector, shown.view->geometry()).toPoint();
    QTest::mouseClick(shown.window(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.isInBasket(c); }, 2000));
    QTest::mouseClick(shown.window(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.isInBasket(c); }, 2000));
    EXPECT_EQ(model.path().size(), 1);  // a file is never entered
}

// Bounds of everything drawn inside the hole, on the black window.
QRect drawnInHole(const QImage& image, const SunburstGeometry& g) {
    QRect drawn;
    const int r = static_cast<int>(g.holeRadius) - 2;
    const int cx = static_cast<int>(g.centreX);
    const int cy = static_cast<int>(g.centreY);
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r &&
                image.pixelColor(x, y) != QColor(Qt::black))
                drawn |= QRect(x, y, 1, 1);
    return drawn;
}

TEST(SunburstView, CentreShowsTheHoveredNodeOrTheFocusSize) {
    TempDir dir;
    dir.write("wallpapers", 400000);
    dir.write("c", 50000);
    AppModel model;
    ASSERT_TRUE(scan(model, dir.path()));
    Shown shown(model, 600, 500);  // a hole wide enough for the name on one line
    ASSERT_TRUE(shown.exposed);
    const SunburstGeometry g = shown.view->geometry();

    // The focus size: a tall number over a small unit.
    const QRect sizeLabel = drawnInHole(shown.grab(), g);
    ASSERT_FALSE(sizeLabel.isEmpty());
    EXPECT_GT(sizeLabel.height(), 28);

    FileNode* wallpapers = childNamed(model.focus(), "wallpapers");
    model.setHovered(wallpapers);
    const QRect nodeLabel = drawnInHole(shown.grab(), g);
    ASSERT_FALSE(nodeLabel.isEmpty());
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    const qreal nameWidth = QFontMetricsF(font).horizontalAdvance(QStringLiteral("wallpapers"));
    EXPECT_NEAR(nodeLabel.width(), nameWidth, 4);
    EXPECT_NEAR(nodeLabel.center().x(), g.centreX, 2);
    EXPECT_NE(nodeLabel, sizeLabel);
}

TEST(SunburstView, EmptyFolderShowsTheEmptyStateText) {
    TempDir dir;
    AppModel model;
    ASSERT_TRUE(scan(model, dir.path()));
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    EXPECT_TRUE(shown.view->sectors().empty());
    const QImage image = shown.grab();

    // The drawn pixels form one centred line as wide as the text.
    QRect drawn;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::black)) drawn |= QRect(x, y, 1, 1);
    ASSERT_FALSE(drawn.isEmpty());
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(13);
    const qreal textWidth =
        QFontMetricsF(font).horizontalAdvance(QStringLiteral("Görselleştirilecek içerik yok"));
    EXPECT_NEAR(drawn.width(), textWidth, 4);
    EXPECT_NEAR(drawn.center().x(), image.width() / 2.0, 3);
    EXPECT_NEAR(drawn.center().y(), image.height() / 2.0, 6);
    EXPECT_LT(drawn.height(), 20);
}

TEST(SunburstView, FullSunburstRendersAndPaintTime) {
    TempDir dir;
    for (int i = 0; i < 12; ++i) {
        const std::string top = "dir" + std::to_string(i);
        dir.mkdir(top);
        for (int j = 0; j < 8; ++j) {
            const std::string sub = top + "/sub" + std::to_string(j);
            dir.mkdir(sub);
            for (int k = 0; k < 6; ++k)
                dir.write(sub + "/f" + std::to_string(k),
                          static_cast<std::size_t>(4096 * (1 + (12 - i) * (8 - j) * (6 - k) / 4)));
        }
    }
    AppModel model;
    ASSERT_TRUE(scan(model, dir.path()));
    SunburstView view;
    view.setModel(&model);
    view.setSize(QSizeF(1120, 720));
    ASSERT_GT(view.sectors().size(), 12u + 12u * 8u);

    QImage image(1120, 720, QImage::Format_ARGB32_Premultiplied);
    // The fastest of several runs: the machine is shared, and the first run
    // also loads the fonts.
    constexpr int kRuns = 30;
    const auto bestPaint = [&] {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int i = 0; i < kRuns; ++i) {
            image.fill(Qt::black);
            QPainter painter(&image);
            QElapsedTimer timer;
            timer.start();
            view.paint(&painter);
            best = std::min(best, timer.nsecsElapsed());
        }
        return static_cast<double>(best) / 1e6;
    };
    qint64 build = std::numeric_limits<qint64>::max();
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto sectors = sunburstSectors(NodeRef(model.focus()));
        build = std::min(build, timer.nsecsElapsed());
    }
    const double plain = bestPaint();
    model.setHovered(model.focus()->child(0));
    const double hovered = bestPaint();
    model.setHovered(nullptr);
    std::printf(
        "sunburst at 1120x720, %zu sectors: build %.3f ms, paint %.3f ms, "
        "paint while hovering %.3f ms\n",
        view.sectors().size(), static_cast<double>(build) / 1e6, plain, hovered);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        view.paint(&painter);
    }
    EXPECT_TRUE(image.save(QStringLiteral("/tmp/sunburst.png")));
}

}  // namespace
}  // namespace tidewell
