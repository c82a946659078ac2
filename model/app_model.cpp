#include "app_model.h"

#include <qcoro/qcorofuture.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include "history_recording.h"
#include "journal.h"
#include "journal_history.h"
#include "paths.h"
#include "platform_info.h"
#include "pool_call.h"
#include "progress_channel.h"
#include "scan_session.h"
#include "skip_paths.h"
#include "tree_cache.h"

namespace tidewell {

namespace {

ScanProgress status(const char* text) {
    return ScanProgress{0, 0, text};
}

QString lastComponent(const QString& path) {
    if (path == "/") return path;
    return path.section('/', -1, -1, QString::SectionSkipEmpty);
}

QString normalizedPath(const QString& path) {
    QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return p.isEmpty() ? QStringLiteral("/") : p;
}

// Turns a scan session's steps into the records the scanning screen shows.
class StatusObserver : public ScanSessionObserver {
  public:
    explicit StatusObserver(std::shared_ptr<ProgressChannel> channel)
        : channel_(std::move(channel)) {}
    void stageStarted(const ScanStage& stage) override {
        // Every step's text is shown; only the engine's records may be skipped.
        if (std::optional<ScanProgress> record = statusRecord(stage))
            channel_->sendInOrder(std::move(*record));
    }
    void progressed(const ScanProgress& record) override { channel_->send(record); }

  private:
    std::shared_ptr<ProgressChannel> channel_;
};

}  // namespace

// One scan task: how to cancel it, and the channel its progress takes.
struct AppModel::ScanRun {
    std::stop_source stop;
    std::shared_ptr<ProgressChannel> channel;
    bool cancelled() const { return stop.stop_requested(); }
};

AppModel::AppModel(QObject* parent)
    : QObject(parent),
      engine_(std::make_shared<ScanEngine>()),
      settings_(QStringLiteral("Quillon"), QStringLiteral("Brackwater")) {
    savedLocations_ = loadSavedLocations(settings_);
    vizMode_ = settings_.value(QStringLiteral("vizMode")).toString() == QLatin1String("sunburst")
                   ? VizMode::sunburst
                   : VizMode::treemap;
    if (const std::optional<std::string> dir = journal::historyDirectory()) {
        recording_ = std::make_shared<HistoryRecording>(*dir);
        history_ = std::make_shared<JournalHistory>(*dir);
    }
    loadPool_.setMaxThreadCount(4);
    analysisPool_.setMaxThreadCount(2);
    deletePool_.setMaxThreadCount(1);
    savePool_.setMaxThreadCount(1);
    savePool_.setThreadPriority(QThread::LowPriority);
    downloadsPath_ = downloadsFolder();
    childItems_ = new ChildrenModel(*this);
    basketItems_ = new BasketModel(*this);
    downloadItems_ = new DownloadsModel(*this);
    topFileItems_ = new TopFilesModel(*this);
    smartItems_ = new SmartCleanupModel(*this);
}

AppModel::~AppModel() {
    if (currentRun_) {
        currentRun_->stop.request_stop();
        currentRun_->channel->cancel();
    }
    // The pools wait for their work; a cancelled scan ends at its next check.
    loadPool_.waitForDone();
    analysisPool_.waitForDone();
    deletePool_.waitForDone();
    savePool_.waitForDone();
}

// ---- the scan lifecycle ------------------------------------------------------

void AppModel::startScan(const QUrl& url) {
    startScan(url.isLocalFile() ? url.toLocalFile() : url.path());
}

void AppModel::startScan(const QString& rawPath) {
    const QString picked = normalizedPath(rawPath);
    // The tree, its cache and its history are keyed by the real path, so that
    // every path in the tree names the file itself: deletion refuses a path
    // that leads through a symbolic link. The user's choice keeps its name.
    const std::optional<std::string> real = realScanRoot(QFile::encodeName(picked).toStdString());
    const QString path = real ? QFile::decodeName(QByteArray::fromStdString(*real)) : picked;
    const bool wholeDisk = path == QLatin1String("/");
    setPickedFolderName(wholeDisk ? startupDiskName() : lastComponent(picked));
    rememberLocation(picked, wholeDisk);
    setUnreadableCount(0);
    setScreen(Screen::scanning);
    setProgress(status("başlatılıyor…"));
    refreshVolumeUsage(path);

    auto run = std::make_shared<ScanRun>();
    QPointer<AppModel> self(this);
    run->channel = std::make_shared<ProgressChannel>(this, [self](const ScanProgress& p) {
        if (self) self->setProgress(p);
    });
    currentRun_ = run;
    scanTask(path, wholeDisk, run);  // runs on by itself; it holds the model weakly
}

// Operands of co_await are kept in named locals throughout: g++ 12 destroys
// some temporaries in a co_await expression twice.

QCoro::Task<> AppModel::scanTask(QString location, bool wholeDisk, std::shared_ptr<ScanRun> run) {
    QPointer<AppModel> self(this);
    QCoro::Task<NodeRef> scanning = runScan(location, wholeDisk, run);
    NodeRef root = co_await std::move(scanning);
    run->channel->finish();
    if (run->cancelled() || !self) co_return;
    if (self->currentRun_ == run) self->currentRun_.reset();
    if (!root)
        self->resetToSelect();
    else
        self->finishScan(std::move(root));
}

QCoro::Task<NodeRef> AppModel::runScan(QString location, bool wholeDisk,
                                       std::shared_ptr<ScanRun> run) {
    QPointer<AppModel> self(this);
    const std::string path = location.toStdString();
    scannedRootPath_ = path;
    ScanSession::Request request{
        path, pickedFolderName_ ? std::optional(pickedFolderName_->toStdString()) : std::nullopt,
        wholeDisk ? wholeDiskSkipPaths() : SkipPaths{}};
    // The session hands its tree over from the pool; the save is scheduled
    // here, on the main thread, unless the scan was cancelled meanwhile. It is
    // posted before the session's result, so the save comes first, as before.
    CacheWriter writer = [self, run](NodeRef root, const std::string& rootPath, std::uint64_t id) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, run, root = std::move(root), rootPath, id] {
                if (self && !run->cancelled()) self->scheduleCacheSave(root, rootPath, id);
            },
            Qt::QueuedConnection);
    };
    auto session = std::make_shared<ScanSession>(ScanServices{engine_, recording_, history_},
                                                 std::move(request), std::move(writer));
    auto observer = std::make_shared<StatusObserver>(run->channel);
    const std::stop_token stop = run->stop.get_token();
    PoolCall running(loadPool_,
                     [session, observer, stop] { return session->run(*observer, stop); });
    ScanOutcome out = co_await running;
    if (!self || run->cancelled()) co_return NodeRef();
    if (!out.root) {
        if (!out.failure.empty())
            self->setErrorMessage(QStringLiteral("“") + location +
                                  QStringLiteral("” taranamadı: ") +
                                  QString::fromStdString(out.failure) + QLatin1Char('.'));
        co_return NodeRef();
    }

    cacheEventId_ = out.eventId;
    RunReport report;
    report.refreshed = out.refreshed;
    report.directoriesReread = out.directoriesReread;
    report.fullScanReason = QString::fromStdString(fullScanReasonText(out));
    lastRun_ = report;
    setUnreadableCount(out.unreadableDirs);
    co_return out.root;
}

void AppModel::finishScan(NodeRef root) {
    setRoot(root);
    setPath({root});
    setHovered(nullptr);
    setBasket({});
    setScreen(Screen::results);
}

void AppModel::cancelScan() {
    if (currentRun_) {
        currentRun_->stop.request_stop();
        currentRun_->channel->cancel();
    }
    resetToSelect();
}

void AppModel::resetToSelect() {
    if (currentRun_) {
        currentRun_->stop.request_stop();
        currentRun_->channel->cancel();
        currentRun_.reset();
    }
    setScreen(Screen::select);
    setProgress(ScanProgress{});
    setRoot(NodeRef());
    setPath({});
    setBasket({});
    setHovered(nullptr);
    setFreed(0);
}

void AppModel::scanWholeDisk() {
    if (std::optional<SavedLocation> whole = wholeDiskLocation(savedLocations_)) {
        if (std::optional<QString> url = resolveBookmark(*whole)) {
            startScan(*url);
            return;
        }
    }
    // Nothing to grant on Linux: the whole disk is scanned directly.
    startScan(QStringLiteral("/"));
}

void AppModel::scheduleCacheSave(NodeRef root, std::string path, quint64 eventId) {
    // One thread in the save pool: saves never overlap and land in order.
    savePool_.start([root = std::move(root), path = std::move(path), eventId] {
        TreeCache::save(*root, path, eventId);
    });
}

void AppModel::waitForCacheSaves() {
    savePool_.waitForDone();
}

// ---- saved locations -----------------------------------------------------------

void AppModel::rememberLocation(const QString& path, bool wholeDisk) {
    const std::optional<QByteArray> bookmark = makeBookmark(path);
    if (!bookmark) return;
    SavedLocation entry;
    entry.path = path;
    entry.name = pickedFolderName_.value_or(lastComponent(path));
    entry.isFullDisk = wholeDisk;
    entry.lastScan = QDateTime::currentDateTimeUtc();
    entry.bookmark = *bookmark;
    savedLocations_ = withLocation(savedLocations_, entry);
    emit savedLocationsChanged();
    storeSavedLocations();
}

void AppModel::storeSavedLocations() {
    tidewell::storeSavedLocations(settings_, savedLocations_);
}

std::optional<QString> AppModel::resolveBookmark(const SavedLocation& location) {
    std::optional<QString> path = tidewell::resolveBookmark(location.bookmark);
    if (!path) forgetLocation(location);
    return path;
}

void AppModel::forgetLocation(const SavedLocation& location) {
    savedLocations_ = withoutLocation(savedLocations_, location.path);
    emit savedLocationsChanged();
    storeSavedLocations();
}

void AppModel::forgetLocation(int index) {
    if (index >= 0 && index < savedLocations_.size()) forgetLocation(savedLocations_.at(index));
}

void AppModel::openSavedLocation(const SavedLocation& location) {
    if (std::optional<QString> path = resolveBookmark(location)) {
        startScan(*path);
        return;
    }
    setErrorMessage(QStringLiteral("“") + location.name +
                    QStringLiteral("” erişimi yenilenemedi — taşınmış ya da silinmiş olabilir. "
                                   "Lütfen yeniden seç."));
}

void AppModel::openSavedLocation(int index) {
    if (index >= 0 && index < savedLocations_.size()) openSavedLocation(savedLocations_.at(index));
}

QString AppModel::startupDiskLabel() const {
    return tidewell::startupDiskLabel();
}

// ---- volume usage ----------------------------------------------------------------

void AppModel::refreshVolumeUsage(const QString& path) {
    const VolumeUsage usage = volumeUsage(path);
    setVolume(usage.total, usage.free);
}

// ---- field writes --------------------------------------------------------------

FileNode* AppModel::focus() const {
    if (!path_.isEmpty()) return path_.back().get();
    return root_.get();
}

void AppModel::setScreen(Screen s) {
    assign(screen_, std::move(s), &AppModel::screenChanged);
}

void AppModel::setUnreadableCount(qint64 n) {
    assign(unreadableCount_, std::move(n), &AppModel::unreadableCountChanged);
}

void AppModel::setProgress(const ScanProgress& p) {
    progress_ = p;
    emit progressChanged();
}

void AppModel::setRoot(NodeRef root) {
    if (root_ == root) return;
    root_ = std::move(root);
    // Another tree: answers and analyses of the old one no longer apply.
    deletableCache_.clear();
    if (smartResults_) {
        smartResults_.reset();
        emit smartResultsChanged();
    }
    if (topFiles_) {
        topFiles_.reset();
        emit topFilesChanged();
    }
    assign(smartResultsVersion_, qint64{-1}, &AppModel::smartResultsVersionChanged);
    assign(topFilesVersion_, qint64{-1}, &AppModel::topFilesVersionChanged);
    assign(isAnalyzingSmart_, false, &AppModel::isAnalyzingSmartChanged);
    assign(isAnalyzingTop_, false, &AppModel::isAnalyzingTopChanged);
    emit rootChanged();
}

void AppModel::setPath(QList<NodeRef> path) {
    assign(path_, std::move(path), &AppModel::pathChanged);
}

void AppModel::setHovered(FileNode* node) {
    if (hovered_.get() == node) return;
    hovered_ = NodeRef(node);
    emit hoveredChanged();
}

void AppModel::setBasket(QList<NodeRef> basket) {
    assign(basket_, std::move(basket), &AppModel::basketChanged);
}

void AppModel::setFreed(qint64 v) {
    assign(freed_, std::move(v), &AppModel::freedChanged);
}

void AppModel::setPickedFolderName(std::optional<QString> name) {
    assign(pickedFolderName_, std::move(name), &AppModel::pickedFolderNameChanged);
}

void AppModel::setErrorMessage(std::optional<QString> text) {
    assign(errorMessage_, std::move(text), &AppModel::errorMessageChanged);
}

void AppModel::setShowDeleteConfirm(bool v) {
    assign(showDeleteConfirm_, std::move(v), &AppModel::showDeleteConfirmChanged);
}

void AppModel::setQuickLookURL(const QUrl& url) {
    assign(quickLookURL_, std::move(url), &AppModel::quickLookURLChanged);
}

void AppModel::setVizMode(VizMode mode) {
    // Every write is stored, as the preference is the field's memory.
    settings_.setValue(QStringLiteral("vizMode"), mode == VizMode::sunburst
                                                      ? QStringLiteral("sunburst")
                                                      : QStringLiteral("treemap"));
    assign(vizMode_, mode, &AppModel::vizModeChanged);
}

void AppModel::setShowSmartCleanup(bool v) {
    assign(showSmartCleanup_, std::move(v), &AppModel::showSmartCleanupChanged);
}

void AppModel::setShowDownloads(bool v) {
    assign(showDownloads_, std::move(v), &AppModel::showDownloadsChanged);
}

void AppModel::setDownloadsFilter(DownloadsFilter f) {
    if (downloadsFilter_ == f) return;
    downloadsFilter_ = f;
    emit downloadsFilterChanged();
    emit visibleDownloadsChanged();
}

void AppModel::setShowTopFiles(bool v) {
    assign(showTopFiles_, std::move(v), &AppModel::showTopFilesChanged);
}

void AppModel::setVolume(std::optional<qint64> total, std::optional<qint64> free) {
    assign(volumeTotal_, total, &AppModel::volumeTotalChanged);
    assign(volumeFree_, free, &AppModel::volumeFreeChanged);
}

// ---- QML faces ---------------------------------------------------------------------

QVariantList AppModel::pathValues() const {
    QVariantList out;
    for (const NodeRef& n : path_) out.push_back(QVariant::fromValue(NodeValue(n)));
    return out;
}

// Only a chain from the current root down through its children is taken;
// anything else from the views is ignored.
void AppModel::setPathValues(const QVariantList& values) {
    QList<NodeRef> nodes;
    for (const QVariant& v : values) {
        if (v.userType() != qMetaTypeId<NodeValue>()) return;
        const NodeRef n = v.value<NodeValue>().ref();
        const FileNode* expectedParent = nodes.isEmpty() ? nullptr : nodes.back().get();
        if (!n || n->parent() != expectedParent) return;
        nodes.push_back(n);
    }
    if (!nodes.isEmpty() && (nodes.front() != root_ || !isAttached(nodes.back().get()))) return;
    setPath(std::move(nodes));
}

QVariant AppModel::hoveredValue() const {
    return isAttached(hovered_.get()) ? QVariant::fromValue(NodeValue(hovered_)) : QVariant();
}

// The views hand over a node they hold; it counts only while it is part of
// the shown tree. Anything else (a number, a node of another tree) clears it.
void AppModel::setHoveredValue(const QVariant& v) {
    FileNode* node = nullptr;
    if (v.userType() == qMetaTypeId<NodeValue>()) node = v.value<NodeValue>().node();
    setHovered(isAttached(node) ? node : nullptr);
}

QVariantList AppModel::basketValues() const {
    QVariantList out;
    for (const NodeRef& n : basket_) out.push_back(QVariant::fromValue(NodeValue(n)));
    return out;
}

QVariant AppModel::pickedFolderNameValue() const {
    return pickedFolderName_ ? QVariant(*pickedFolderName_) : QVariant();
}

QVariant AppModel::errorMessageValue() const {
    return errorMessage_ ? QVariant(*errorMessage_) : QVariant();
}

void AppModel::setErrorMessageValue(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        setErrorMessage(std::nullopt);
    else
        setErrorMessage(v.toString());
}

QVariantList AppModel::savedLocationValues() const {
    QVariantList out;
    for (const SavedLocation& l : savedLocations_)
        out.push_back(QVariantMap{{"path", l.path},
                                  {"name", l.name},
                                  {"isFullDisk", l.isFullDisk},
                                  {"lastScan", l.lastScan}});
    return out;
}

QVariant AppModel::volumeTotalValue() const {
    return volumeTotal_ ? QVariant(*volumeTotal_) : QVariant();
}

QVariant AppModel::volumeFreeValue() const {
    return volumeFree_ ? QVariant(*volumeFree_) : QVariant();
}

}  // namespace tidewell
