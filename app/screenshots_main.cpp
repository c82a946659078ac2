// tidewell-screenshots OUTDIR: renders the window's screens and dialogs from
// the real QML and the real model, offscreen, into OUTDIR as PNG files named
// after the screen and the device pixel ratio ("select-empty@2x.png"). Runs
// on a demo tree of its own, with throw-away settings and caches.
#include <QtQml/qqmlextensionplugin.h>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QVersionNumber>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <ctime>
#include <utility>

#include "app_model.h"
#include "app_setup.h"
#include "quick_clean_model.h"
#include "quick_clean_window.h"
#include "scratch_home.h"
#include "tray_icon.h"
#include "update_checker.h"
#include "window_hub.h"

Q_IMPORT_QML_PLUGIN(Tidewell_ModelPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_VizPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_QuickCleanPlugin)
Q_IMPORT_QML_PLUGIN(Tidewell_UiPlugin)

namespace {

using tidewell::AppModel;

bool writeFile(const QString& path, qint64 bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray block(64 * 1024, 'x');
    for (qint64 left = bytes; left > 0; left -= block.size())
        f.write(block.constData(), std::min<qint64>(left, block.size()));
    return true;
}

// A few named project folders with files of a few sizes.
void makeDemoFolder(const QDir& base, const QString& name, int files, qint64 fileBytes) {
    base.mkpath(name + "/src");
    base.mkpath(name + "/node_modules/left-pad");
    for (int i = 0; i < files; ++i)
        writeFile(base.filePath(name + QStringLiteral("/src/file%1.txt").arg(i)), fileBytes);
    writeFile(base.filePath(name + "/node_modules/left-pad/index.js"), 4 * fileBytes);
}

// Enough small files that a scan reports progress before it ends.
void makeWideTree(const QDir& base, const QString& name, int folders, int filesEach) {
    for (int d = 0; d < folders; ++d) {
        const QString dir = name + QStringLiteral("/paket-%1/lib/kaynak").arg(d);
        base.mkpath(dir);
        for (int f = 0; f < filesEach; ++f)
            writeFile(base.filePath(dir + QStringLiteral("/modul-%1.js").arg(f)), 100);
    }
}

class Shooter {
  public:
    Shooter(QQuickWindow& window, QString dir, QString suffix)
        : window_(window), dir_(std::move(dir)), suffix_(std::move(suffix)) {}

    void settle() {
        QTest::qWait(120);  // let animations take a frame and pop-ups open
    }

    bool shoot(const QString& name) {
        const QImage image = window_.grabWindow();
        const QString path = QDir(dir_).filePath(name + suffix_ + QStringLiteral(".png"));
        if (image.isNull() || !image.save(path)) {
            std::fprintf(stderr, "tidewell-screenshots: could not write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    }

  private:
    QQuickWindow& window_;
    QString dir_;
    QString suffix_;
};

QQuickItem* findItem(QQuickWindow& window, const char* name) {
    return window.findChild<QQuickItem*>(QString::fromLatin1(name));
}

bool waitForScreen(AppModel& model, AppModel::Screen screen) {
    return QTest::qWaitFor([&] { return model.screen() == screen; }, 60000);
}

// The first child of `node` named `name`, or null.
tidewell::FileNode* childNamed(const tidewell::FileNode* node, std::string_view name) {
    for (tidewell::FileNode* c : node->children())
        if (c->name() == name) return c;
    return nullptr;
}

// The results screen: both map modes at the root and deep down (a path long
// enough for the breadcrumb's gap), a hovered cell and row, the basket with
// items, the confirmation, the empty basket and a folder with a locked item.
bool shootResults(AppModel& model, Shooter& shooter, const QDir& demo) {
    bool ok = true;
    const QString deep = QStringLiteral("arsiv/2023/proje/eski/yedek/surum-1");
    demo.mkpath(deep);
    for (int i = 0; i < 6; ++i)
        writeFile(demo.filePath(deep + QStringLiteral("/kayit-%1.log").arg(i)), (6 - i) * 90000);
    // An item that is not the user's shows a lock (only root can give one away).
    const QString theirs = demo.filePath(deep + QStringLiteral("/sistem.db"));
    writeFile(theirs, 200000);
    if (::getuid() == 0) {
        if (::chown(QFile::encodeName(theirs).constData(), 65534, 65534) != 0) return false;
    }
    model.startScan(demo.path());
    if (!waitForScreen(model, AppModel::Screen::results)) return false;
    model.setVizMode(AppModel::VizMode::treemap);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-treemap"));
    model.setVizMode(AppModel::VizMode::sunburst);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-sunburst"));

    // Seven entries from the root: the breadcrumb shows its gap.
    tidewell::FileNode* node = model.root().get();
    for (const char* name : {"arsiv", "2023", "proje", "eski", "yedek", "surum-1"})
        if (node != nullptr) node = childNamed(node, name);
    if (node == nullptr) return false;
    model.jumpTo(tidewell::NodeValue(node));
    model.setHovered(node->childCount() > 0 ? node->child(0) : nullptr);
    model.setVizMode(AppModel::VizMode::treemap);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-deep-treemap"));
    model.setVizMode(AppModel::VizMode::sunburst);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-deep-sunburst"));

    model.jumpTo(tidewell::NodeValue(model.root()));
    model.setVizMode(AppModel::VizMode::treemap);
    const tidewell::FileNode* root = model.root().get();
    for (const char* name : {"fotograflar", "tidewell-site"})
        if (tidewell::FileNode* n = childNamed(root, name)) model.toggleBasket(n);
    if (tidewell::FileNode* n = childNamed(root, "tez-taslaklari")) model.setHovered(n);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-basket"));
    model.requestDelete();
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-confirm"));
    model.setShowDeleteConfirm(false);
    model.setBasket({});
    model.setHovered(nullptr);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("results-basket-empty"));
    return ok;
}

// The quick-clean panel with sizes in each colour and a question pending,
// the panel without access, and the tray symbol on dark and light panels.
bool shootQuickClean(QQmlEngine& engine, tidewell::QuickCleanModel& quickClean,
                     tidewell::WindowHub& hub, const QDir& home, const QString& outDir,
                     const QString& suffix) {
    const std::pair<const char*, qint64> caches[] = {
        {"Library/Developer/Xcode/DerivedData", 6'200'000'000},
        {"Library/Developer/Xcode/Archives", 2'400'000'000},
        {".npm", 640'000'000},
        {".cache/pip", 85'000'000},
        {".cache/yarn", -1},
        {".gradle/caches", 1'300'000'000}};
    for (const auto& [path, bytes] : caches) home.mkpath(QString::fromLatin1(path));
    QDir().mkpath(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash/files"));
    quickClean.rebuildRows();
    tidewell::QuickCleanWindow panel(engine, quickClean, hub);
    panel.showAsWindow();
    if (!QTest::qWaitForWindowExposed(panel.view()) ||
        !QTest::qWaitFor([&] { return !quickClean.isRefreshing(); }, 10000))
        return false;
    for (const auto& [path, bytes] : caches)
        quickClean.setMeasured(QString::fromLatin1(path),
                               bytes >= 0 ? std::optional<qint64>(bytes) : std::nullopt);
    quickClean.setMeasured(QString::fromLatin1(tidewell::kHomeTrashFiles), 12'000'000);
    panel.panel().pressEmpty(QStringLiteral(".npm"));
    Shooter shooter(*panel.view(), outDir, suffix);
    shooter.settle();
    bool ok = shooter.shoot(QStringLiteral("quick-clean"));
    panel.hide();

    tidewell::QuickCleanModel locked(home.filePath(QStringLiteral("yok")));
    tidewell::QuickCleanWindow lockedPanel(engine, locked, hub);
    lockedPanel.showAsWindow();
    if (!QTest::qWaitForWindowExposed(lockedPanel.view())) return false;
    Shooter lockedShooter(*lockedPanel.view(), outDir, suffix);
    lockedShooter.settle();
    ok &= lockedShooter.shoot(QStringLiteral("quick-clean-locked"));

    // The symbol at 16 and 22 px on a dark and a light panel, then six times
    // larger, pixel for pixel.
    QImage strip(2 * (16 + 22 + 3 * 8), 2 * 30, QImage::Format_ARGB32);
    QPainter p(&strip);
    for (int band = 0; band < 2; ++band) {
        p.fillRect(0, band * 30, strip.width(), 30,
                   band == 0 ? QColor(36, 36, 42) : QColor(236, 236, 238));
        int x = 8;
        for (int size : {16, 22}) {
            p.drawImage(x, band * 30 + (30 - size) / 2, tidewell::traySymbol(size));
            x += size + 8;
        }
    }
    p.end();
    const QString path = QDir(outDir).filePath(QStringLiteral("tray-icon%1.png").arg(suffix));
    ok &= strip.scaled(strip.size() * 6).save(path);
    std::printf("%s\n", qPrintable(path));
    return ok;
}

// A file of `bytes` allocated without writing them, for sizes the filters
// care about (100 MB and more); aged `days` back.
bool allocatedFile(const QString& path, qint64 bytes, int days) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = bytes == 0 || ::posix_fallocate(fd, 0, bytes) == 0;
    ::close(fd);
    const timespec when{static_cast<time_t>(std::time(nullptr) - qint64(days) * 86400), 0};
    const timespec times[2] = {when, when};
    return ok && ::utimensat(AT_FDCWD, name.constData(), times, 0) == 0;
}

// The category card with this title, in the window's items and its pop-ups'.
QQuickItem* cardTitled(QQuickItem* item, const QString& title) {
    if (item->objectName() == QLatin1String("categoryCard") &&
        item->property("title").toString() == title)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = cardTitled(child, title)) return found;
    return nullptr;
}

// The smart cleanup and top files sheets over the results screen in each of
// their states: nothing yet, the analysis running, the cards (one open, one
// covered by the basket), the largest files, and a tree with neither.
bool shootAnalysisSheets(AppModel& model, Shooter& shooter, QQuickWindow& window, const QDir& demo,
                         const QDir& hollow) {
    bool ok = true;
    for (int i = 0; i < 56; ++i) {
        const QString dir = QStringLiteral("kodlar/proje-%1/node_modules/paket").arg(i);
        demo.mkpath(dir);
        writeFile(demo.filePath(dir + "/index.js"), (i % 9 + 1) * 30000);
    }
    demo.mkpath(QStringLiteral(".cache/thumbnails"));
    demo.mkpath(QStringLiteral(".cache/pip/wheels"));
    demo.mkpath(QStringLiteral(".npm/_cacache"));
    writeFile(demo.filePath(QStringLiteral(".cache/thumbnails/kucuk.db")), 900000);
    writeFile(demo.filePath(QStringLiteral(".cache/mesa_shader.bin")), 300000);
    writeFile(demo.filePath(QStringLiteral(".cache/pip/wheels/numpy.whl")), 2400000);
    writeFile(demo.filePath(QStringLiteral(".npm/_cacache/index")), 1200000);
    model.startScan(demo.path());
    if (!waitForScreen(model, AppModel::Screen::results)) return false;
    QTest::qWait(600);  // the map's entrance ends before the sheets cover it

    model.setShowSmartCleanup(true);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-smart-none"));
    model.analyzeSmart();  // shot before the result can arrive
    ok &= shooter.shoot(QStringLiteral("sheet-smart-analyzing"));
    if (!QTest::qWaitFor([&] { return !model.isAnalyzingSmart(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-smart-cards"));
    QQuickItem* node = cardTitled(window.contentItem(), QStringLiteral("node_modules klasörleri"));
    if (node == nullptr) return false;
    node->setProperty("expanded", true);
    if (tidewell::FileNode* cache = childNamed(model.root().get(), ".cache"))
        model.toggleBasket(cache);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-smart-expanded"));
    model.setShowSmartCleanup(false);
    model.setBasket({});

    model.setShowTopFiles(true);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-top-none"));
    model.analyzeTopFiles();
    ok &= shooter.shoot(QStringLiteral("sheet-top-searching"));
    if (!QTest::qWaitFor([&] { return !model.isAnalyzingTop(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-top-list"));
    if (const auto& top = model.topFiles(); top && top->size() > 2) {
        model.toggleBasket((*top)[1].node.get());
        model.toggleBasket((*top)[2].node.get());
    }
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-top-basket"));
    model.setShowTopFiles(false);
    model.setBasket({});

    // Nothing to clean and no files at all.
    model.startScan(hollow.path());
    if (!waitForScreen(model, AppModel::Screen::results)) return false;
    model.openSmartCleanup();
    if (!QTest::qWaitFor([&] { return !model.isAnalyzingSmart(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-smart-empty"));
    model.setShowSmartCleanup(false);
    model.openTopFiles();
    if (!QTest::qWaitFor([&] { return !model.isAnalyzingTop(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-top-empty"));
    model.setShowTopFiles(false);
    shooter.settle();
    return ok;
}

// The Downloads review over the select screen: scanning, the list, a filter
// that matches nothing, two ticked entries, the move under way, and a folder
// that cannot be read.
bool shootDownloads(AppModel& model, Shooter& shooter, const QDir& home) {
    bool ok = true;
    const QDir downloads(home.filePath(QStringLiteral("Downloads")));
    home.mkpath(QStringLiteral("Downloads/fotograf-arsivi"));
    writeFile(downloads.filePath(QStringLiteral("fotograf-arsivi/tatil.jpg")), 3200000);
    const struct {
        const char* name;
        qint64 bytes;
        int days;
    } entries[] = {
        {"debian-12.5.0-amd64-netinst.iso", 658 * 1000 * 1000, 410},
        {"kurulum-paketi.deb", 142 * 1000 * 1000, 45},
        {"fatura-2024-03.pdf", 240 * 1000, 3},
        {"sunum-taslak.key", 18 * 1000 * 1000, 95},
        {"ekran-goruntusu.png", 1200 * 1000, 0},
        {"eski-yedek.zip", 48 * 1000 * 1000, 700},
    };
    for (const auto& e : entries)
        if (!allocatedFile(downloads.filePath(QString::fromUtf8(e.name)), e.bytes, e.days))
            return false;
    model.setShowDownloads(true);
    model.scanDownloads();
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-scanning"));
    if (!QTest::qWaitFor([&] { return !model.isScanningDownloads(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-list"));
    model.setDownloadsFilter(AppModel::DownloadsFilter::years3);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-nomatch"));
    model.setDownloadsFilter(AppModel::DownloadsFilter::all);
    for (tidewell::FileNode* c : model.downloadsTree()->children())
        if (c->name() == "eski-yedek.zip" || c->name() == "kurulum-paketi.deb")
            model.toggleDownloadSelection(c);
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-selected"));
    model.trashSelectedDownloads();  // shot while the first move runs
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-deleting"));
    if (!QTest::qWaitFor([&] { return !model.isDeleting(); }, 20000)) return false;
    model.scanDownloads(home.filePath(QStringLiteral("Yok")));
    if (!QTest::qWaitFor([&] { return !model.isScanningDownloads(); }, 20000)) return false;
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("sheet-downloads-unreadable"));
    model.setShowDownloads(false);
    shooter.settle();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidewell-screenshots OUTDIR\n");
        return 2;
    }
    const tidewell::ScratchHome scratch;
    if (!scratch.isValid()) return 1;
    const QDir root = scratch.root();
    root.mkpath(QStringLiteral("home/Belgeler"));
    qputenv("HOME", QFile::encodeName(root.filePath("home")));

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("Brackwater"));
    tidewell::prepareInterface(app);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    const double ratio = qgetenv("QT_SCALE_FACTOR").toDouble();
    const QString suffix = ratio >= 2 ? QStringLiteral("@2x") : QStringLiteral("@1x");

    AppModel model;
    tidewell::QuickCleanModel quickClean;
    tidewell::UpdateChecker updates(QUrl(), QVersionNumber::fromString(TIDEWELL_VERSION));
    QQmlEngine engine;
    tidewell::WindowHub hub(engine, model, quickClean, updates);
    QQuickWindow* window = hub.openWindow();
    if (window == nullptr || !QTest::qWaitForWindowExposed(window)) return 1;
    Shooter shooter(*window, outDir, suffix);
    bool ok = true;

    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("select-empty"));

    const QDir demo(root.filePath("home/Belgeler"));
    makeDemoFolder(demo, QStringLiteral("tidewell-site"), 12, 200 * 1000);
    makeDemoFolder(demo, QStringLiteral("fotograflar"), 20, 500 * 1000);
    makeDemoFolder(demo, QStringLiteral("tez-taslaklari"), 6, 80 * 1000);
    makeWideTree(demo, QStringLiteral("buyuk-proje"), 300, 120);
    for (const char* name : {"tez-taslaklari", "fotograflar", "tidewell-site"}) {
        model.startScan(demo.filePath(QString::fromLatin1(name)));
        if (!waitForScreen(model, AppModel::Screen::results)) return 1;
        model.resetToSelect();
    }
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("select-recents"));

    // Mid-way: the first progress record that counts files is drawn at once,
    // before the event loop lets the scan move on.
    bool shot = false;
    const auto connection = QObject::connect(&model, &AppModel::progressChanged, [&] {
        if (shot || model.progress().fileCount <= 0 || model.progress().currentPath.empty()) return;
        shot = true;
        ok &= shooter.shoot(QStringLiteral("scanning"));
    });
    model.startScan(demo.filePath(QStringLiteral("buyuk-proje")));
    if (!waitForScreen(model, AppModel::Screen::results)) return 1;
    QObject::disconnect(connection);
    if (!shot) {
        std::fprintf(stderr, "tidewell-screenshots: the scan ended before its first count\n");
        ok = false;
    }
    ok &= shootResults(model, shooter, demo);
    root.mkpath(QStringLiteral("home/bos/klasor"));
    ok &= shootAnalysisSheets(model, shooter, *window, demo, QDir(root.filePath("home/bos")));
    model.resetToSelect();
    shooter.settle();
    ok &= shootDownloads(model, shooter, QDir(root.filePath("home")));

    model.setErrorMessage(
        QStringLiteral("“fotograflar” erişimi yenilenemedi — taşınmış ya da silinmiş olabilir. "
                       "Lütfen yeniden seç."));
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("error-alert"));
    model.setErrorMessage(std::nullopt);
    shooter.settle();

    // The menu as a desktop without a tray shows it, with "Hızlı Temizlik".
    hub.setOffersQuickClean(true);
    if (QQuickItem* menuButton = findItem(*window, "menuButton")) {
        QMetaObject::invokeMethod(menuButton, "clicked");
        shooter.settle();
        ok &= shooter.shoot(QStringLiteral("menu"));
        QTest::keyClick(window, Qt::Key_Escape);
        shooter.settle();
    }

    if (QQuickItem* rootView = findItem(*window, "rootView")) {
        QMetaObject::invokeMethod(rootView, "showAbout");
        shooter.settle();
        ok &= shooter.shoot(QStringLiteral("about"));
        QTest::keyClick(window, Qt::Key_Escape);
        shooter.settle();
    }

    emit updates.updateAvailable(QStringLiteral("0.2.0"),
                                 QUrl(QStringLiteral("https://example.org/tidewell-0.2.0.deb")));
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("update-available"));
    QTest::keyClick(window, Qt::Key_Escape);
    emit updates.upToDate();
    shooter.settle();
    ok &= shooter.shoot(QStringLiteral("update-current"));
    QTest::keyClick(window, Qt::Key_Escape);
    shooter.settle();

    // The preview of a picture, a text file and a folder.
    const QString notes = root.filePath(QStringLiteral("home/Belgeler/notlar.md"));
    if (QFile f(notes); f.open(QIODevice::WriteOnly))
        f.write(
            "# Notlar\n\n- node_modules klasörlerini temizle\n- önbellekleri boşalt\n"
            "- eski indirilenleri gözden geçir\n");
    const QString picture = root.filePath(QStringLiteral("home/Belgeler/gunbatimi.png"));
    {
        QImage image(480, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(255 - y / 2, 120 + x / 8, 90 + y / 3));
        image.save(picture);
    }
    for (const auto& [name, path] : {std::pair{QStringLiteral("preview-image"), picture},
                                     std::pair{QStringLiteral("preview-text"), notes},
                                     std::pair{QStringLiteral("preview-folder"),
                                               root.filePath(QStringLiteral("home/Belgeler"))}}) {
        model.setQuickLookURL(QUrl::fromLocalFile(path));
        QTest::qWait(400);  // the file is read off the window's thread
        shooter.settle();
        ok &= shooter.shoot(name);
        model.setQuickLookURL(QUrl());
        shooter.settle();
    }

    ok &= shootQuickClean(engine, quickClean, hub, QDir(root.filePath(QStringLiteral("home"))),
                          outDir, suffix);
    return ok ? 0 : 1;
}
