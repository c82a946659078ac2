// Building and painting the two map views at 1120 x 720: a 351-cell treemap
// with previews, a full sunburst, and the repaint after a change of hover
// alone. Medians of 50 paints into an image like the one a painted item
// renders into.
//
// usage: tidewell-map-bench [--save DIR]   (runs offscreen; --save also
// writes what was painted, plain and hovered, as PNG files to look at)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app_model.h"
#include "sunburst_view.h"
#include "treemap_view.h"

using namespace tidewell;

namespace {

constexpr int kWidth = 1120;
constexpr int kHeight = 720;
constexpr int kRounds = 50;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// `count` children of sizes falling as 1 / (i + 1)^power, each built by `make`.
std::vector<FileNode*> children(int count, double scale, double power,
                                const std::function<FileNode*(int, std::int64_t)>& make) {
    std::vector<FileNode*> out;
    for (int i = 0; i < count; ++i)
        out.push_back(make(i, std::max<std::int64_t>(4096, static_cast<std::int64_t>(
                                                               scale / std::pow(i + 1, power)))));
    return out;
}

std::int64_t sumOf(const std::vector<FileNode*>& kids) {
    std::int64_t s = 0;
    for (const FileNode* k : kids) s += k->size();
    return s;
}

// A folder of `count` files, or of folders of `count` files when `depth` > 1,
// sized close to `size`.
FileNode* folder(TreeStore& store, const std::string& name, std::int64_t size, int count,
                 int depth) {
    const auto make = [&](int i, std::int64_t s) -> FileNode* {
        const std::string child = name + "-" + std::to_string(i);
        return depth > 1 ? folder(store, child, s, count, depth - 1) : store.makeFile(child, s);
    };
    std::vector<FileNode*> kids = children(count, static_cast<double>(size) / 3.0, 1.0, make);
    return store.makeDirectory(name, sumOf(kids), kids);
}

// 400 folders of 30 files each, sizes falling gently: 350 cells of their
// own and one aggregate, the larger ones with previews.
NodeRef treemapTree(const StoreRef& store) {
    const auto make = [&](int i, std::int64_t s) {
        return folder(*store, "dir" + std::to_string(i), s, 30, 1);
    };
    std::vector<FileNode*> kids = children(400, 1e12, 0.8, make);
    return NodeRef(store->makeRoot("root", "/bench", true, sumOf(kids), kids));
}

// 150 folders whose sizes fall gently, three levels of folders below them:
// the rings fill up to their caps and minimum angles.
NodeRef sunburstTree(const StoreRef& store) {
    const auto make = [&](int i, std::int64_t s) {
        return folder(*store, "top" + std::to_string(i), s, 24, 3);
    };
    std::vector<FileNode*> kids = children(150, 1e12, 0.8, make);
    return NodeRef(store->makeRoot("root", "/bench", true, sumOf(kids), kids));
}

struct Figures {
    double build = 0;
    double paint = 0;
    double hoverPaint = 0;
};

// The view over the whole image, showing `root`.
void show(MapItem& view, AppModel& model, const NodeRef& root) {
    view.setSize(QSizeF(kWidth, kHeight));
    view.setModel(&model);
    model.setPath({root});
}

// Times a rebuild of the shapes for `root` (what a new focus costs) plus one
// paint, a paint alone, and a paint after the hover moved to another of
// `hoverTargets`.
Figures measure(MapItem& view, AppModel& model, QImage& image, const NodeRef& root,
                const std::vector<FileNode*>& hoverTargets) {
    std::vector<double> build, paint, hover;
    const auto paintOnce = [&] {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        view.paint(&painter);
    };
    for (int i = 0; i < kRounds; ++i) {
        model.setHovered(nullptr);
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        model.setPath({});
        model.setPath({root});
        paintOnce();
        build.push_back(msSince(t));
        t.restart();
        paintOnce();
        paint.push_back(msSince(t));
        model.setHovered(hoverTargets[static_cast<std::size_t>(i) % hoverTargets.size()]);
        t.restart();
        paintOnce();
        hover.push_back(msSince(t));
    }
    return {median(build), median(paint), median(hover)};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    AppModel model;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const QString saveDir = argc == 3 && QString::fromUtf8(argv[1]) == "--save"
                                ? QString::fromUtf8(argv[2])
                                : QString();
    // On the window's dark background, as the results screen shows it.
    const auto save = [&](QQuickPaintedItem& view, const QString& name) {
        if (saveDir.isEmpty()) return;
        QImage shot(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        shot.fill(QColor(20, 20, 24));
        QPainter painter(&shot);
        view.paint(&painter);
        painter.end();
        shot.save(saveDir + "/" + name + ".png");
    };

    const StoreRef treemapStore = TreeStore::create();
    const NodeRef treemapRoot = treemapTree(treemapStore);
    TreemapView treemap;
    show(treemap, model, treemapRoot);
    std::vector<FileNode*> cellTargets;
    for (int i = 0; i < 40; ++i) cellTargets.push_back(treemapRoot->children()[i * 7]);
    std::size_t previews = 0;
    std::size_t withPreviews = 0;
    for (const TreemapCell& c : treemap.cells()) {
        previews += c.subRects.size();
        withPreviews += c.subRects.empty() ? 0 : 1;
    }
    const std::size_t cellCount = treemap.cells().size();
    save(treemap, "treemap");
    model.setHovered(cellTargets[1]);
    model.toggleBasket(treemapRoot->children()[2]);
    save(treemap, "treemap-hovered");
    model.setBasket({});
    const Figures tm = measure(treemap, model, image, treemapRoot, cellTargets);

    const StoreRef sunburstStore = TreeStore::create();
    const NodeRef sunburstRoot = sunburstTree(sunburstStore);
    SunburstView sunburst;
    show(sunburst, model, sunburstRoot);
    std::vector<FileNode*> sectorTargets;
    for (const SunburstSector& s : sunburst.sectors())
        if (s.level == 1 && sectorTargets.size() < 40) sectorTargets.push_back(s.node.get());
    const std::size_t sectorCount = sunburst.sectors().size();
    model.setHovered(nullptr);
    save(sunburst, "sunburst");
    model.setHovered(sunburst.sectors()[1].node.get());
    save(sunburst, "sunburst-hovered");
    const Figures sb = measure(sunburst, model, image, sunburstRoot, sectorTargets);

    std::printf("map views at %d x %d, medians of %d (ms)\n", kWidth, kHeight, kRounds);
    std::printf("%-44s %8s %8s %12s\n", "view", "build+paint", "paint", "hover paint");
    std::printf("%-44s %8.2f %8.2f %12.2f\n",
                ("treemap, " + std::to_string(cellCount) + " cells (" +
                 std::to_string(withPreviews) + " with " + std::to_string(previews) + " previews)")
                    .c_str(),
                tm.build, tm.paint, tm.hoverPaint);
    std::printf("%-44s %8.2f %8.2f %12.2f\n",
                ("sunburst, " + std::to_string(sectorCount) + " sectors").c_str(), sb.build,
                sb.paint, sb.hoverPaint);
    return 0;
}
