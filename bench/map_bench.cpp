// The two map views at 1120 x 720 as the scene graph shows them: a 351-cell
// treemap with previews and a full sunburst, each in an offscreen window
// rendered by Qt Quick's software renderer through QQuickRenderControl, at
// device pixel ratios 1 and 2. Medians of 50 of:
//
//   rebuild+paint  a new focus (setPath) up to the end of the frame's sync,
//                  which is where the views build their nodes and pixels;
//   hover frame    the hover moved to another item, polish and sync of the
//                  next frame;
//   fade frame     a frame 40 ms into the treemap's dimming fade, nothing
//                  else changed (the sunburst has no fade);
//
// each to the end of the frame's sync (the views' own work) in wall time
// and in the processor time of the thread that draws the frames (what a
// busy machine's other processes take does not count there), and in wall
// time with the renderer's composite of the nodes into the window image
// ("+render"), which a GPU does outside the software renderer.
//
// usage: tidewell-map-bench [--save DIR]   (runs offscreen; --save also
// writes each view, plain and hovered, at both ratios as PNG files)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QQuickRenderControl>
#include <QQuickRenderTarget>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
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
constexpr int kFadeStepMs = 40;

double median(std::vector<double> v) {
    if (v.empty()) return std::nan("");
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Milliseconds of processor time this thread has used: the frames are all
// drawn on it, so this is their work without the time other processes on
// a busy machine took from it.
double threadMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Wall and processor time since it was started.
struct Stopwatch {
    QElapsedTimer wall;
    double cpu = 0;
    void start() {
        cpu = threadMs();
        wall.start();
    }
};

struct FrameTimes {
    double sync = 0;     // wall, to the end of the sync
    double syncCpu = 0;  // processor, to the end of the sync
    double total = 0;    // wall, to the end of the render
};

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

// One view alone in an offscreen window whose frames are driven by hand.
class Stage {
  public:
    Stage(std::unique_ptr<MapItem> view, double ratio)
        : window_(&control_),
          target_(static_cast<int>(kWidth * ratio), static_cast<int>(kHeight * ratio),
                  QImage::Format_ARGB32_Premultiplied) {
        target_.setDevicePixelRatio(ratio);
        QQuickRenderTarget rt = QQuickRenderTarget::fromPaintDevice(&target_);
        rt.setDevicePixelRatio(ratio);
        window_.setRenderTarget(rt);
        window_.setGeometry(0, 0, kWidth, kHeight);
        window_.setColor(QColor(20, 20, 24));  // the results screen's background
        view_ = view.release();
        view_->setParentItem(window_.contentItem());  // owned by the content item
        view_->setParent(window_.contentItem());
        view_->setSize(QSizeF(kWidth, kHeight));
        // The software renderer needs no graphics device: initialize() would
        // look for one.
        ok_ = true;
    }
    bool ok() const { return ok_; }
    MapItem& view() { return *view_; }

    // One frame, timed from `start` to the end of its sync and of its render.
    FrameTimes frame(const Stopwatch& start) {
        control_.polishItems();
        control_.beginFrame();
        control_.sync();
        FrameTimes t;
        t.sync = msSince(start.wall);
        t.syncCpu = threadMs() - start.cpu;
        control_.render();
        control_.endFrame();
        t.total = msSince(start.wall);
        return t;
    }
    void save(const QString& path) const { target_.save(path); }

  private:
    QQuickRenderControl control_;
    QQuickWindow window_;
    QImage target_;
    MapItem* view_ = nullptr;
    bool ok_ = false;
};

struct Sample {
    std::vector<double> sync;
    std::vector<double> syncCpu;
    std::vector<double> total;
    void add(const FrameTimes& t) {
        sync.push_back(t.sync);
        syncCpu.push_back(t.syncCpu);
        total.push_back(t.total);
    }
};

struct Figures {
    Sample rebuild;
    Sample hover;
    Sample fade;
};

// Lets the event loop run for `ms`, so animations advance.
void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

Figures measure(Stage& stage, AppModel& model, const NodeRef& root,
                const std::vector<FileNode*>& hoverTargets, bool fades) {
    Figures f;
    Stopwatch t;
    for (int i = 0; i < kRounds; ++i) {
        model.setHovered(nullptr);
        QCoreApplication::processEvents();
        t.start();
        model.setPath({});
        model.setPath({root});
        f.rebuild.add(stage.frame(t));
        QCoreApplication::processEvents();
        // The first hover after a rebuild, then one from item to item.
        for (int step = 0; step < 2; ++step) {
            FileNode* target =
                hoverTargets[(static_cast<std::size_t>(i) * 2 + step) % hoverTargets.size()];
            t.start();
            model.setHovered(target);
            const auto hover = stage.frame(t);
            if (step == 1) f.hover.add(hover);
            if (fades) {
                spin(kFadeStepMs);
                t.start();
                const auto fade = stage.frame(t);
                if (step == 1) f.fade.add(fade);
            }
        }
    }
    return f;
}

void show(Stage& stage, AppModel& model, const NodeRef& root) {
    stage.view().setModel(&model);
    model.setPath({root});
    Stopwatch t;
    t.start();
    stage.frame(t);
}

void print(const char* name, double ratio, const Figures& f) {
    const auto cell = [](const Sample& s) {
        if (s.sync.empty()) return std::string("      -       -       -");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%7.2f %7.2f %7.2f", median(s.sync), median(s.syncCpu),
                      median(s.total));
        return std::string(buf);
    };
    std::printf("%-9s %5.0f   %s   %s   %s\n", name, ratio, cell(f.rebuild).c_str(),
                cell(f.hover).c_str(), cell(f.fade).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    AppModel model;
    const QString saveDir = argc == 3 && QString::fromUtf8(argv[1]) == "--save"
                                ? QString::fromUtf8(argv[2])
                                : QString();

    const StoreRef treemapStore = TreeStore::create();
    const NodeRef treemapRoot = treemapTree(treemapStore);
    std::vector<FileNode*> cellTargets;
    for (int i = 0; i < 40; ++i) cellTargets.push_back(treemapRoot->children()[i * 7]);
    const StoreRef sunburstStore = TreeStore::create();
    const NodeRef sunburstRoot = sunburstTree(sunburstStore);

    std::printf("map views at %d x %d in the software scene graph, medians of %d (ms):\n", kWidth,
                kHeight, kRounds);
    std::printf(
        "sync: wall time to the end of the frame's sync, the views' own work; cpu: the\n"
        "same in this thread's processor time; +render: wall time with the software\n"
        "renderer's composite of the nodes into the window image added\n\n");
    std::printf("%-9s %5s   %-23s   %-23s   %-23s\n", "view", "ratio", "rebuild+paint",
                "hover frame", "fade frame");
    std::printf("%-9s %5s   %7s %7s %7s   %7s %7s %7s   %7s %7s %7s\n", "", "", "sync", "cpu",
                "+render", "sync", "cpu", "+render", "sync", "cpu", "+render");
    std::size_t cellCount = 0;
    std::size_t previews = 0;
    std::size_t sectorCount = 0;
    for (const double ratio : {1.0, 2.0}) {
        const QString suffix = QStringLiteral("-%1x").arg(ratio);
        {
            Stage stage(std::make_unique<TreemapView>(), ratio);
            if (!stage.ok()) return 1;
            show(stage, model, treemapRoot);
            auto& view = static_cast<TreemapView&>(stage.view());
            cellCount = view.cells().size();
            previews = 0;
            for (const TreemapCell& c : view.cells()) previews += c.subRects.size();
            if (!saveDir.isEmpty()) {
                stage.save(saveDir + "/treemap" + suffix + ".png");
                model.setHovered(cellTargets[1]);
                model.toggleBasket(treemapRoot->children()[2]);
                spin(250);
                Stopwatch t;
                t.start();
                stage.frame(t);
                stage.save(saveDir + "/treemap-hovered" + suffix + ".png");
                model.setBasket({});
            }
            print("treemap", ratio, measure(stage, model, treemapRoot, cellTargets, true));
        }
        {
            Stage stage(std::make_unique<SunburstView>(), ratio);
            if (!stage.ok()) return 1;
            show(stage, model, sunburstRoot);
            auto& view = static_cast<SunburstView&>(stage.view());
            std::vector<FileNode*> sectorTargets;
            for (const SunburstSector& s : view.sectors())
                if (s.level == 1 && sectorTargets.size() < 40)
                    sectorTargets.push_back(s.node.get());
            sectorCount = view.sectors().size();
            if (!saveDir.isEmpty()) {
                model.setHovered(nullptr);
                Stopwatch t;
                t.start();
                stage.frame(t);
                stage.save(saveDir + "/sunburst" + suffix + ".png");
                model.setHovered(view.sectors()[1].node.get());
                model.toggleBasket(sunburstRoot->children()[3]);
                t.start();
                stage.frame(t);
                stage.save(saveDir + "/sunburst-hovered" + suffix + ".png");
                model.setBasket({});
            }
            print("sunburst", ratio, measure(stage, model, sunburstRoot, sectorTargets, false));
        }
    }
    std::printf("\ntreemap: %zu cells with %zu previews; sunburst: %zu sectors\n", cellCount,
                previews, sectorCount);
    return 0;
}
