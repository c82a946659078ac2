// The one observable model the main window reads: screens, the scan
// lifecycle with cache use and incremental refresh, the scanned tree,
// saved locations and the scanned volume's usage. Lives on the main thread.
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QDateTime>
#include <QFuture>
#include <QObject>
#include <QSettings>
#include <QThreadPool>
#include <QUrl>
#include <QVariant>
#include <memory>
#include <optional>
#include <stop_token>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <qcoro/qcorotask.h>

#include "basket_model.h"
#include "children_model.h"
#include "cleanup_item.h"
#include "downloads_model.h"
#include "file_node.h"
#include "node_value.h"
#include "saved_locations.h"
#include "scan_engine.h"
#include "scan_progress_value.h"
#include "smart_cleanup_model.h"
#include "top_files_model.h"

namespace tidewell {

class HistoryRecording;
class JournalHistory;
class ProgressChannel;

class AppModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the application's one model is made in C++")

  public:
    enum class Screen { select, scanning, results };
    Q_ENUM(Screen)
    enum class VizMode { treemap, sunburst };
    Q_ENUM(VizMode)
    enum class DownloadsFilter { all, days30, days90, year1, years3, big };
    Q_ENUM(DownloadsFilter)

  private:
    // Counts and sizes reach QML as numbers (doubles, exact below 2^53 bytes):
    // QML has no 64-bit integer, and the tools of Qt 6.4 do not know qint64.
    Q_PROPERTY(Screen screen READ screen NOTIFY screenChanged)
    Q_PROPERTY(tidewell::ScanProgressValue progress READ progressValue NOTIFY progressChanged)
    Q_PROPERTY(tidewell::NodeValue root READ rootValue NOTIFY rootChanged)
    Q_PROPERTY(QVariantList path READ pathValues WRITE setPathValues NOTIFY pathChanged)
    Q_PROPERTY(QVariant hovered READ hoveredValue WRITE setHoveredValue NOTIFY hoveredChanged)
    Q_PROPERTY(double treeVersion READ treeVersion NOTIFY treeVersionChanged)
    Q_PROPERTY(QVariantList basket READ basketValues NOTIFY basketChanged)
    Q_PROPERTY(double freed READ freed NOTIFY freedChanged)
    Q_PROPERTY(QVariant pickedFolderName READ pickedFolderNameValue NOTIFY pickedFolderNameChanged)
    Q_PROPERTY(QVariant errorMessage READ errorMessageValue WRITE setErrorMessageValue NOTIFY
                   errorMessageChanged)
    Q_PROPERTY(bool showDeleteConfirm READ showDeleteConfirm WRITE setShowDeleteConfirm NOTIFY
                   showDeleteConfirmChanged)
    Q_PROPERTY(bool isDeleting READ isDeleting NOTIFY isDeletingChanged)
    Q_PROPERTY(QVariantList savedLocations READ savedLocationValues NOTIFY savedLocationsChanged)
    Q_PROPERTY(QUrl quickLookURL READ quickLookURL WRITE setQuickLookURL NOTIFY quickLookURLChanged)
    Q_PROPERTY(VizMode vizMode READ vizMode WRITE setVizMode NOTIFY vizModeChanged)
    Q_PROPERTY(bool showSmartCleanup READ showSmartCleanup WRITE setShowSmartCleanup NOTIFY
                   showSmartCleanupChanged)
    Q_PROPERTY(QVariant smartResults READ smartResultsValue NOTIFY smartResultsChanged)
    Q_PROPERTY(bool isAnalyzingSmart READ isAnalyzingSmart NOTIFY isAnalyzingSmartChanged)
    Q_PROPERTY(
        double smartResultsVersion READ smartResultsVersion NOTIFY smartResultsVersionChanged)
    Q_PROPERTY(
        bool showDownloads READ showDownloads WRITE setShowDownloads NOTIFY showDownloadsChanged)
    Q_PROPERTY(
        tidewell::NodeValue downloadsTree READ downloadsTreeValue NOTIFY downloadsTreeChanged)
    Q_PROPERTY(bool isScanningDownloads READ isScanningDownloads NOTIFY isScanningDownloadsChanged)
    Q_PROPERTY(QString downloadsPath READ downloadsPath NOTIFY downloadsPathChanged)
    Q_PROPERTY(QVariantList downloadsDates READ downloadsDatesValue NOTIFY downloadsDatesChanged)
    Q_PROPERTY(QVariantList downloadsSelection READ downloadsSelectionValue NOTIFY
                   downloadsSelectionChanged)
    Q_PROPERTY(
        QVariantList visibleDownloads READ visibleDownloadsValue NOTIFY visibleDownloadsChanged)
    Q_PROPERTY(
        double selectedDownloadsBytes READ selectedDownloadsBytes NOTIFY downloadsSelectionChanged)
    Q_PROPERTY(
        double selectedDownloadsCount READ selectedDownloadsCount NOTIFY downloadsSelectionChanged)
    Q_PROPERTY(DownloadsFilter downloadsFilter READ downloadsFilter WRITE setDownloadsFilter NOTIFY
                   downloadsFilterChanged)
    Q_PROPERTY(bool showTopFiles READ showTopFiles WRITE setShowTopFiles NOTIFY showTopFilesChanged)
    Q_PROPERTY(QVariant topFiles READ topFilesValue NOTIFY topFilesChanged)
    Q_PROPERTY(bool isAnalyzingTop READ isAnalyzingTop NOTIFY isAnalyzingTopChanged)
    Q_PROPERTY(double topFilesVersion READ topFilesVersion NOTIFY topFilesVersionChanged)
    Q_PROPERTY(QVariant volumeTotal READ volumeTotalValue NOTIFY volumeTotalChanged)
    Q_PROPERTY(QVariant volumeFree READ volumeFreeValue NOTIFY volumeFreeChanged)
    Q_PROPERTY(tidewell::NodeValue focus READ focusValue NOTIFY pathChanged)
    Q_PROPERTY(QString startupDiskLabel READ startupDiskLabel CONSTANT)
    Q_PROPERTY(double unreadableCount READ unreadableCount NOTIFY unreadableCountChanged)
    // The lists the views show, as list models: they tell a ListView only
    // what changed. The list fields above stay for the flows that read them.
    Q_PROPERTY(tidewell::ChildrenModel* children READ childItems CONSTANT)
    Q_PROPERTY(tidewell::BasketModel* basketItems READ basketItems CONSTANT)
    Q_PROPERTY(tidewell::DownloadsModel* downloadItems READ downloadItems CONSTANT)
    Q_PROPERTY(tidewell::TopFilesModel* topFileItems READ topFileItems CONSTANT)
    Q_PROPERTY(tidewell::SmartCleanupModel* smartItems READ smartItems CONSTANT)

  public:
    // How the last scan went (the tests read it).
    struct RunReport {
        bool refreshed = false;        // brought up to date from the cache
        qint64 directoriesReread = 0;  // folders a refresh read again, each counted once
        QString fullScanReason;        // why a full scan ran, when one did
    };

    explicit AppModel(QObject* parent = nullptr);
    ~AppModel() override;

    // Flows.
    Q_INVOKABLE void startScan(const QUrl& url);
    void startScan(const QString& path);
    Q_INVOKABLE void scanWholeDisk();
    Q_INVOKABLE void openSavedLocation(int index);
    void openSavedLocation(const SavedLocation& location);
    Q_INVOKABLE void cancelScan();
    Q_INVOKABLE void resetToSelect();
    Q_INVOKABLE void forgetLocation(int index);
    void forgetLocation(const SavedLocation& location);
    std::optional<QString> resolveBookmark(const SavedLocation& location);
    void refreshVolumeUsage(const QString& path);

    // Reads.
    Screen screen() const { return screen_; }
    const ScanProgress& progress() const { return progress_; }
    const NodeRef& root() const { return root_; }
    const QList<NodeRef>& path() const { return path_; }
    FileNode* focus() const;
    qint64 treeVersion() const { return treeVersion_; }
    const QList<NodeRef>& basket() const { return basket_; }
    qint64 freed() const { return freed_; }
    const std::optional<QString>& pickedFolderName() const { return pickedFolderName_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    bool showDeleteConfirm() const { return showDeleteConfirm_; }
    bool isDeleting() const { return isDeleting_; }
    const QList<SavedLocation>& savedLocations() const { return savedLocations_; }
    QUrl quickLookURL() const { return quickLookURL_; }
    VizMode vizMode() const { return vizMode_; }
    bool showSmartCleanup() const { return showSmartCleanup_; }
    const std::optional<std::vector<CleanupCategoryResult>>& smartResults() const {
        return smartResults_;
    }
    bool isAnalyzingSmart() const { return isAnalyzingSmart_; }
    qint64 smartResultsVersion() const { return smartResultsVersion_; }
    bool showDownloads() const { return showDownloads_; }
    bool isScanningDownloads() const { return isScanningDownloads_; }
    // Modification times of the Downloads entries, in whole seconds since the epoch.
    const std::unordered_map<const FileNode*, qint64>& downloadsDates() const {
        return downloadsDates_;
    }
    const std::unordered_set<const FileNode*>& downloadsSelection() const {
        return downloadsSelection_;
    }
    const NodeRef& downloadsTree() const { return downloadsTree_; }
    DownloadsFilter downloadsFilter() const { return downloadsFilter_; }
    bool showTopFiles() const { return showTopFiles_; }
    const std::optional<std::vector<CleanupItem>>& topFiles() const { return topFiles_; }
    bool isAnalyzingTop() const { return isAnalyzingTop_; }
    qint64 topFilesVersion() const { return topFilesVersion_; }
    std::optional<qint64> volumeTotal() const { return volumeTotal_; }
    std::optional<qint64> volumeFree() const { return volumeFree_; }
    const std::optional<std::string>& scannedRootPath() const { return scannedRootPath_; }
    std::optional<quint64> cacheEventId() const { return cacheEventId_; }
    const RunReport& lastRunReport() const { return lastRun_; }
    // Folders the last scan could not read (shown as empty); after a refresh
    // from the cache, those among the folders it read again.
    qint64 unreadableCount() const { return unreadableCount_; }
    QString startupDiskLabel() const;
    ChildrenModel* childItems() const { return childItems_; }
    BasketModel* basketItems() const { return basketItems_; }
    DownloadsModel* downloadItems() const { return downloadItems_; }
    TopFilesModel* topFileItems() const { return topFileItems_; }
    SmartCleanupModel* smartItems() const { return smartItems_; }

    // Navigation, basket and deletion.
    // The node under the pointer in any view: in the sunburst it may lie two
    // levels below the focus. Compare it; reach it only through a live tree.
    const FileNode* hovered() const { return hovered_.get(); }
    // The hovered node when it is a direct child of the focus.
    FileNode* hoveredNode() const;
    bool isInBasket(const FileNode* node) const;
    // False for the root and for a node attached to neither the shown tree
    // nor the Downloads tree.
    bool canDelete(FileNode* node);
    Q_INVOKABLE void goUp();
    // Does nothing for the root and for a node no longer attached to it.
    void toggleBasket(FileNode* node);
    // The node values QML hands back are checked against the live trees: a
    // node of a deleted subtree or of a tree no longer shown does nothing.
    Q_INVOKABLE void toggleBasket(const tidewell::NodeValue& node);
    void addCategoryToBasket(const CleanupCategoryResult& category);
    Q_INVOKABLE void addCategoryToBasket(int smartResultIndex);
    Q_INVOKABLE void requestDelete();
    // The deletion run; `done` is emitted when it has finished.
    Q_INVOKABLE void deleteBasket(bool permanently);
    Q_INVOKABLE bool canDelete(const tidewell::NodeValue& node) { return canDelete(node.node()); }
    Q_INVOKABLE bool isInBasket(const tidewell::NodeValue& node) const;
    // Takes every entry of this node out of the basket (the basket row's button).
    Q_INVOKABLE void removeFromBasket(const tidewell::NodeValue& node);
    // Focuses a folder of the shown tree: the path becomes the chain from the
    // root to it and nothing is hovered (breadcrumbs, back chips, list rows).
    Q_INVOKABLE void jumpTo(const tidewell::NodeValue& node);
    // Part of the tree the results screen shows.
    bool isShown(const FileNode* node) const { return isAttached(node); }

    // Downloads review.
    Q_INVOKABLE void scanDownloads(const QString& path);
    Q_INVOKABLE void scanDownloads();  // the user's Downloads folder
    // The user's Downloads folder: the desktop's own (XDG_DOWNLOAD_DIR), else ~/Downloads.
    QString downloadsFolder() const;
    // The folder the last Downloads scan read, or the user's Downloads
    // folder before the first: what the sheet names while it has no tree.
    QString downloadsPath() const { return downloadsPath_; }
    // Entries passing the filter, in child order; `now` in seconds since the epoch.
    std::vector<FileNode*> visibleDownloads(std::optional<qint64> now = std::nullopt) const;
    void toggleDownloadSelection(const FileNode* entry);
    // Only an entry of the current Downloads tree is taken.
    Q_INVOKABLE void toggleDownloadSelection(const tidewell::NodeValue& entry);
    Q_INVOKABLE bool isDownloadSelected(const tidewell::NodeValue& entry) const;
    // The entry's modification date, or nothing when it is not known.
    Q_INVOKABLE QVariant downloadDate(const tidewell::NodeValue& entry) const;
    Q_INVOKABLE void toggleAllVisibleDownloads();
    qint64 selectedDownloadsBytes() const;
    qint64 selectedDownloadsCount() const {
        return static_cast<qint64>(downloadsSelection_.size());
    }
    Q_INVOKABLE void trashSelectedDownloads();

    // Analyses.
    Q_INVOKABLE void openSmartCleanup();
    Q_INVOKABLE void analyzeSmart();
    Q_INVOKABLE void openTopFiles();
    Q_INVOKABLE void analyzeTopFiles();

    // Writes the views make.
    void setBasket(QList<NodeRef> basket);
    void setPath(QList<NodeRef> path);
    void setHovered(FileNode* node);
    void setErrorMessage(std::optional<QString> text);
    void setShowDeleteConfirm(bool v);
    void setQuickLookURL(const QUrl& url);
    void setVizMode(VizMode mode);
    void setShowSmartCleanup(bool v);
    void setShowDownloads(bool v);
    void setDownloadsFilter(DownloadsFilter f);
    void setShowTopFiles(bool v);

    // Writes the tree to the cache in the background, after every save
    // scheduled before it.
    void scheduleCacheSave(NodeRef root, std::string path, quint64 eventId);
    // Blocks until every scheduled cache save has been written (the command line, tests).
    void waitForCacheSaves();

  signals:
    void screenChanged();
    void progressChanged();
    void rootChanged();
    void pathChanged();
    void hoveredChanged();
    void treeVersionChanged();
    void basketChanged();
    void freedChanged();
    void pickedFolderNameChanged();
    void errorMessageChanged();
    void showDeleteConfirmChanged();
    void isDeletingChanged();
    void savedLocationsChanged();
    void quickLookURLChanged();
    void vizModeChanged();
    void showSmartCleanupChanged();
    void smartResultsChanged();
    void isAnalyzingSmartChanged();
    void smartResultsVersionChanged();
    void showDownloadsChanged();
    void downloadsTreeChanged();
    void isScanningDownloadsChanged();
    void downloadsPathChanged();
    void downloadsDatesChanged();
    void downloadsSelectionChanged();
    void downloadsFilterChanged();
    void showTopFilesChanged();
    void topFilesChanged();
    void isAnalyzingTopChanged();
    void topFilesVersionChanged();
    void volumeTotalChanged();
    void volumeFreeChanged();
    void deletionFinished();
    void visibleDownloadsChanged();
    void downloadsTrashFinished();
    void unreadableCountChanged();

  private:
    struct ScanRun;

    QCoro::Task<NodeRef> runScan(QString location, bool wholeDisk, std::shared_ptr<ScanRun> run);
    QCoro::Task<> scanTask(QString location, bool wholeDisk, std::shared_ptr<ScanRun> run);
    void finishScan(NodeRef root);
    void rememberLocation(const QString& path, bool wholeDisk);
    void storeSavedLocations();

    // Writes a field and notifies its readers, only when the value changes.
    template <typename T, typename U>
    void assign(T& field, U&& value, void (AppModel::*changed)()) {
        if (field == value) return;
        field = std::forward<U>(value);
        emit(this->*changed)();
    }

    void setScreen(Screen s);
    void setProgress(const ScanProgress& p);
    void setUnreadableCount(qint64 n);
    void setRoot(NodeRef root);
    QCoro::Task<> deletionRun(bool permanently);
    QCoro::Task<> downloadsScan(QString path);
    QCoro::Task<> downloadsTrashRun();
    void setDownloadsSelection(std::unordered_set<const FileNode*> selection);
    void setTreeVersion(qint64 v);
    void setIsDeleting(bool v);
    bool isAttached(const FileNode* node) const;
    void setFreed(qint64 v);
    void setPickedFolderName(std::optional<QString> name);
    void setVolume(std::optional<qint64> total, std::optional<qint64> free);

    // QML faces of the fields.
    ScanProgressValue progressValue() const { return ScanProgressValue::from(progress_); }
    NodeValue rootValue() const { return NodeValue(root_); }
    NodeValue focusValue() const { return NodeValue(focus()); }
    QVariantList pathValues() const;
    void setPathValues(const QVariantList& values);
    QVariant hoveredValue() const;
    void setHoveredValue(const QVariant& v);
    QVariantList basketValues() const;
    QVariant pickedFolderNameValue() const;
    QVariant errorMessageValue() const;
    void setErrorMessageValue(const QVariant& v);
    QVariantList savedLocationValues() const;
    QVariant smartResultsValue() const;
    QVariant topFilesValue() const;
    QVariantList downloadsDatesValue() const;
    // The node when it is a top-level entry of the current Downloads tree.
    FileNode* downloadsEntry(const NodeValue& value) const;
    QVariantList downloadsSelectionValue() const;
    QVariantList visibleDownloadsValue() const;
    NodeValue downloadsTreeValue() const { return NodeValue(downloadsTree_); }
    QVariant volumeTotalValue() const;
    QVariant volumeFreeValue() const;

    Screen screen_ = Screen::select;
    ScanProgress progress_;
    NodeRef root_;
    QList<NodeRef> path_;
    NodeRef hovered_;
    qint64 treeVersion_ = 0;
    QList<NodeRef> basket_;
    qint64 freed_ = 0;
    std::optional<QString> pickedFolderName_;
    std::optional<QString> errorMessage_;
    bool showDeleteConfirm_ = false;
    bool isDeleting_ = false;
    QList<SavedLocation> savedLocations_;
    QUrl quickLookURL_;
    VizMode vizMode_ = VizMode::treemap;
    bool showSmartCleanup_ = false;
    std::optional<std::vector<CleanupCategoryResult>> smartResults_;
    bool isAnalyzingSmart_ = false;
    qint64 smartResultsVersion_ = -1;
    bool showDownloads_ = false;
    NodeRef downloadsTree_;
    bool isScanningDownloads_ = false;
    QString downloadsPath_;
    std::unordered_map<const FileNode*, qint64> downloadsDates_;
    std::unordered_set<const FileNode*> downloadsSelection_;
    DownloadsFilter downloadsFilter_ = DownloadsFilter::all;
    bool showTopFiles_ = false;
    std::optional<std::vector<CleanupItem>> topFiles_;
    bool isAnalyzingTop_ = false;
    qint64 topFilesVersion_ = -1;
    std::optional<qint64> volumeTotal_;
    std::optional<qint64> volumeFree_;

    // Shared with background work, which may outlive a scan (never the model's fields).
    std::shared_ptr<ScanEngine> engine_;
    std::shared_ptr<HistoryRecording> recording_;
    std::shared_ptr<JournalHistory> history_;
    std::shared_ptr<ScanRun> currentRun_;  // the running scan task and its progress channel
    std::optional<std::string> scannedRootPath_;
    std::optional<quint64> cacheEventId_;
    RunReport lastRun_;
    qint64 unreadableCount_ = 0;
    QSettings settings_;
    QThreadPool loadPool_;  // cache loads, change queries and scans
    QThreadPool savePool_;  // cache saves: one thread, so they never overlap and keep their order
    QThreadPool analysisPool_;  // smart cleanup and top files, which read the tree
    QThreadPool deletePool_;    // one deletion at a time, and the waits before a run
    // canDelete's answers. Cleared whenever another tree or Downloads tree is
    // installed, so a node made at a freed node's address never gets its answer.
    std::unordered_map<const FileNode*, bool> deletableCache_;

    // The list models; children of this object, made last.
    ChildrenModel* childItems_ = nullptr;
    BasketModel* basketItems_ = nullptr;
    DownloadsModel* downloadItems_ = nullptr;
    TopFilesModel* topFileItems_ = nullptr;
    SmartCleanupModel* smartItems_ = nullptr;
};

// Whether a Downloads entry of `size` bytes, modified at `date` (seconds since
// the epoch, when known), is listed under `filter` at time `now`.
bool passesDownloadsFilter(AppModel::DownloadsFilter filter, qint64 size,
                           std::optional<qint64> date, qint64 now);

}  // namespace tidewell
