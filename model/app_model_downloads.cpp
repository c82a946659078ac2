// AppModel: the Downloads review, on a tree of its own.
#include <sys/stat.h>

#include <QDateTime>
#include <QFile>
#include <QPointer>
#include <ctime>

#include "app_model.h"
#include "paths.h"
#include "platform_info.h"
#include "pool_call.h"
#include "trasher.h"
#include "user_dirs.h"

namespace tidewell {

namespace {

constexpr qint64 kDay = 86400;
constexpr qint64 kBigBytes = 99'999'999;  // "100 MB+": more than this

// The modification time of each top-level entry whose lstat succeeds.
std::unordered_map<const FileNode*, qint64> entryDates(const FileNode* tree) {
    std::unordered_map<const FileNode*, qint64> dates;
    if (tree == nullptr) return dates;
    for (const FileNode* c : tree->children()) {
        struct stat st {};
        if (::lstat(c->path().c_str(), &st) == 0)
            dates.emplace(c, static_cast<qint64>(st.st_mtim.tv_sec));
    }
    return dates;
}

}  // namespace

void AppModel::scanDownloads() {
    scanDownloads(downloadsFolder());
}

QString AppModel::downloadsFolder() const {
    // The folder the desktop names (XDG_DOWNLOAD_DIR: "İndirilenler" on a
    // Turkish desktop), else ~/Downloads.
    const std::optional<std::string> folder = downloadsDirectory();
    return folder ? QFile::decodeName(QByteArray::fromStdString(*folder))
                  : realHomeDirectory() + QStringLiteral("/Downloads");
}

void AppModel::scanDownloads(const QString& path) {
    if (isScanningDownloads_) return;
    assign(isScanningDownloads_, true, &AppModel::isScanningDownloadsChanged);
    assign(downloadsPath_, path, &AppModel::downloadsPathChanged);
    setDownloadsSelection({});
    downloadsScan(path);
}

QCoro::Task<> AppModel::downloadsScan(QString path) {
    QPointer<AppModel> self(this);
    std::shared_ptr<ScanEngine> engine = engine_;
    const std::string given = QFile::encodeName(path).toStdString();
    // This scan shows no progress: its records are not collected.
    PoolCall scanning(loadPool_, [engine, given] {
        // A Downloads folder that is a link to a folder is followed; the
        // entries then carry real paths, the only ones deletion accepts.
        const std::string location = realScanRoot(given).value_or(given);
        ScanReport report;
        NodeRef tree =
            engine->scan(location, std::string("İndirilenler"), {}, {}, {}, nullptr, &report);
        // A folder that could not be read, or a file where the folder should
        // be, cannot be examined: no tree, rather than an empty review that
        // looks like a folder with nothing in it.
        const bool unreadable =
            tree && tree->childCount() == 0 && (report.unreadableDirs > 0 || !tree->isDirectory());
        if (unreadable) tree = NodeRef();
        auto dates = entryDates(tree.get());
        return std::make_pair(tree, std::move(dates));
    });
    auto [tree, dates] = co_await scanning;
    if (!self) co_return;
    downloadsTree_ = tree;
    // The old tree's nodes may be freed now: their canDelete answers must not
    // pass to new nodes at the same addresses.
    deletableCache_.clear();
    emit downloadsTreeChanged();
    downloadsDates_ = std::move(dates);
    emit downloadsDatesChanged();
    emit visibleDownloadsChanged();
    assign(isScanningDownloads_, false, &AppModel::isScanningDownloadsChanged);
}

std::vector<FileNode*> AppModel::visibleDownloads(std::optional<qint64> nowSeconds) const {
    std::vector<FileNode*> out;
    if (!downloadsTree_) return out;
    const qint64 now = nowSeconds.value_or(static_cast<qint64>(std::time(nullptr)));
    for (FileNode* c : downloadsTree_->children()) {
        auto it = downloadsDates_.find(c);
        const std::optional<qint64> date =
            it != downloadsDates_.end() ? std::optional(it->second) : std::nullopt;
        if (passesDownloadsFilter(downloadsFilter_, c->size(), date, now)) out.push_back(c);
    }
    return out;
}

bool passesDownloadsFilter(AppModel::DownloadsFilter filter, qint64 size,
                           std::optional<qint64> date, qint64 now) {
    // Strict comparisons; an entry without a date never passes an age filter.
    auto olderThan = [&](qint64 days) { return date && now - *date > days * kDay; };
    switch (filter) {
        case AppModel::DownloadsFilter::all:
            return true;
        case AppModel::DownloadsFilter::days30:
            return olderThan(30);
        case AppModel::DownloadsFilter::days90:
            return olderThan(90);
        case AppModel::DownloadsFilter::year1:
            return olderThan(365);
        case AppModel::DownloadsFilter::years3:
            return olderThan(1095);
        case AppModel::DownloadsFilter::big:
            return size > kBigBytes;
    }
    return false;
}

FileNode* AppModel::downloadsEntry(const NodeValue& value) const {
    const FileNode* node = value.node();
    if (node == nullptr || !downloadsTree_ || node->parent() != downloadsTree_.get())
        return nullptr;
    for (FileNode* c : downloadsTree_->children())
        if (c == node) return c;
    return nullptr;
}

void AppModel::toggleDownloadSelection(const NodeValue& entry) {
    toggleDownloadSelection(downloadsEntry(entry));
}

bool AppModel::isDownloadSelected(const NodeValue& entry) const {
    const FileNode* node = downloadsEntry(entry);
    return node != nullptr && downloadsSelection_.contains(node);
}

QVariant AppModel::downloadDate(const NodeValue& entry) const {
    const auto it = downloadsDates_.find(downloadsEntry(entry));
    if (it == downloadsDates_.end()) return {};
    return QDateTime::fromSecsSinceEpoch(it->second);
}

// Only a top-level entry of the current Downloads tree is ticked: ticks
// are kept by identity, and a node of an older tree must not stand in.
void AppModel::toggleDownloadSelection(const FileNode* entry) {
    if (entry == nullptr || !downloadsTree_ || entry->parent() != downloadsTree_.get()) return;
    std::unordered_set<const FileNode*> next = downloadsSelection_;
    if (!next.erase(entry)) next.insert(entry);
    setDownloadsSelection(std::move(next));
}

void AppModel::toggleAllVisibleDownloads() {
    const std::vector<FileNode*> visible = visibleDownloads();
    std::unordered_set<const FileNode*> next = downloadsSelection_;
    const bool allTicked = std::all_of(visible.begin(), visible.end(),
                                       [&](const FileNode* n) { return next.contains(n); });
    for (const FileNode* n : visible) {
        if (allTicked)
            next.erase(n);
        else
            next.insert(n);
    }
    setDownloadsSelection(std::move(next));
}

qint64 AppModel::selectedDownloadsBytes() const {
    if (!downloadsTree_) return 0;
    qint64 total = 0;
    for (const FileNode* c : downloadsTree_->children())
        if (downloadsSelection_.contains(c)) total += c->size();
    return total;
}

void AppModel::trashSelectedDownloads() {
    downloadsTrashRun();
}

QCoro::Task<> AppModel::downloadsTrashRun() {
    QPointer<AppModel> self(this);
    if (!downloadsTree_ || downloadsSelection_.empty()) {
        emit downloadsTrashFinished();
        co_return;
    }
    setIsDeleting(true);
    NodeRef tree = downloadsTree_;
    std::vector<NodeRef> ticked;
    for (FileNode* c : tree->children())
        if (downloadsSelection_.contains(c) && canDelete(c)) ticked.emplace_back(c);
    QStringList failures;
    for (const NodeRef& entry : ticked) {
        const std::int64_t size = entry->size();
        const std::string path = entry->path();
        PoolCall moving(deletePool_, [path] { return Trasher::moveToTrash(path); });
        const std::optional<Trasher::TrashError> error = co_await moving;
        if (!self) co_return;
        if (error) {
            failures.push_back(QString::fromStdString(error->description()));
            continue;
        }
        entry->removeFromParent();
        setFreed(freed_ + size);
    }
    setDownloadsSelection({});
    std::unordered_map<const FileNode*, qint64> dates;
    for (const FileNode* c : tree->children())
        if (auto it = downloadsDates_.find(c); it != downloadsDates_.end())
            dates.emplace(c, it->second);
    downloadsDates_ = std::move(dates);
    emit downloadsDatesChanged();
    emit downloadsTreeChanged();
    emit visibleDownloadsChanged();
    if (!failures.isEmpty()) setErrorMessage(failures.join(QLatin1Char('\n')));
    setIsDeleting(false);
    emit downloadsTrashFinished();
}

void AppModel::setDownloadsSelection(std::unordered_set<const FileNode*> selection) {
    if (downloadsSelection_ == selection) return;
    downloadsSelection_ = std::move(selection);
    emit downloadsSelectionChanged();
}

// Entries in child order, each with its node and date.
QVariantList AppModel::downloadsDatesValue() const {
    QVariantList out;
    if (!downloadsTree_) return out;
    for (FileNode* c : downloadsTree_->children())
        if (const auto it = downloadsDates_.find(c); it != downloadsDates_.end())
            out.push_back(QVariantMap{{"node", QVariant::fromValue(NodeValue(c))},
                                      {"date", QDateTime::fromSecsSinceEpoch(it->second)}});
    return out;
}

// Ticked entries in child order.
QVariantList AppModel::downloadsSelectionValue() const {
    QVariantList out;
    if (!downloadsTree_) return out;
    for (FileNode* c : downloadsTree_->children())
        if (downloadsSelection_.contains(c)) out.push_back(QVariant::fromValue(NodeValue(c)));
    return out;
}

QVariantList AppModel::visibleDownloadsValue() const {
    QVariantList out;
    for (FileNode* n : visibleDownloads()) out.push_back(QVariant::fromValue(NodeValue(n)));
    return out;
}

}  // namespace tidewell
