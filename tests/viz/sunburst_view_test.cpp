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

// A ring-2 sector is a hover target of its own: it stays bright and names
// itself in the centre while its ring-1 parent is dimmed with the rest.
TEST_F(SunburstViewOnSmallTree, HoveringARing2SectorDimsItsParent) {
    Shown shown(model);
    ASSERT_TRUE(shown.exposed);
    const SunburstGeometry g = shown.view->geometry();
    FileNode* d = childNamed(model.focus(), "d");
    const SunburstSector* x = sectorOf(*shown.view, childNamed(d, "x"));
    const SunburstSector* parent = sectorOf(*shown.view, d);
    ASSERT_TRUE(x != nullptr && parent != nullptr);

    QTest::mouseMove(shown.window(), middleOf(*x, g).toPoint());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hovered() == x->node.get(); }, 2000));
    const QImage image = shown.grab();
    EXPECT_TRUE(
        near(image.pixelColor(middleOf(*x, g).toPoint()), hslColor(x->hue, 0.6, x->lightness)));
    const Rgb8 full = hslColor(parent->hue, 0.66, parent->lightness);
    const auto dim = [](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::lround(c * 0.32));
    };
    EXPECT_TRUE(near(image.pixelColor(middleOf(*parent, g).toPoint()),
                     Rgb8{dim(full.r), dim(full.g), dim(full.b)}));
    // The centre shows the name in light text rather than the focus's size.
    bool lightText = false;
    for (int dx = -30; dx <= 30 && !lightText; ++dx)
        for (int dy = -20; dy <= 0 && !lightText; ++dy)
            lightText = image
                            .pixelColor(QPoint(static_cast<int>(g.centreX) + dx,
                                               static_cast<int>(g.centreY) + dy))
                            .lightness() > 200;
    EXPECT_TRUE(lightText);
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

}  // namespace
}  // namespace tidewell
