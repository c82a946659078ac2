#include "quick_clean_model.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <filesystem>
#include <stop_token>
#include <string>
#include <system_error>

#include "paths.h"
#include "pool_call.h"
#include "quick_sizer.h"
#include "saved_locations.h"
#include "trasher.h"
#include "user_dirs.h"

namespace tidewell {

namespace {

std::string bytesOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// What became of one entry of a folder being emptied.
enum class Removal { removed, skipped, failed };

// Removes one entry the way its target wants. Entries the safety rules refuse
// are left alone and not reported; a Trash entry takes its .trashinfo with it.
Removal removeEntry(const std::string& path, const std::string& infoFolder, bool permanently) {
    if (!Trasher::canDelete(path)) return Removal::skipped;
    if (!permanently) return Trasher::moveToTrash(path) ? Removal::failed : Removal::removed;
    if (Trasher::deletePermanently(path)) return Removal::failed;
    if (infoFolder.empty()) return Removal::removed;
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string info = childPath(infoFolder, name + ".trashinfo");
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(info, ec)))
        return Removal::removed;
    return Trasher::deletePermanently(info) ? Removal::failed : Removal::removed;
}

// The freedesktop Trash keeps "info" next to "files"; other targets have none.
std::string infoFolderOf(const std::string& folder, bool isTrashBin) {
    constexpr std::string_view kFiles = "/files";
    if (!isTrashBin || !folder.ends_with(kFiles)) return {};
    return folder.substr(0, folder.size() - kFiles.size()) + "/info";
}

// The folder a target's measuring and emptying work on: its real path, since
// the deletion layer refuses any path that leads through a symbolic link. A
// target that is itself a link to a folder stands for that folder only when
// the folder is the user's own: a link must not steer an emptying into a
// folder of someone else's. Nothing for a target that is no folder.
std::optional<std::string> workingFolder(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return std::nullopt;
    std::optional<std::string> real = realDirectory(folder);
    if (!real) return std::nullopt;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::lstat(real->c_str(), &target) != 0 || target.st_uid != ::getuid())
            return std::nullopt;
    }
    return real;
}

std::optional<QuickSizer::Totals> measureFolder(const std::string& folder,
                                                std::stop_token stop = {}) {
    const std::optional<std::string> real = workingFolder(folder);
    if (!real) return std::nullopt;
    return QuickSizer::measure(*real, std::move(stop));
}

QVariant optionalValue(const std::optional<QString>& v) {
    return v ? QVariant(*v) : QVariant();
}

}  // namespace

struct QuickCleanModel::RefreshRun {
    std::stop_source stop;
};

QuickCleanModel::QuickCleanModel(QString home, Clock clock, QObject* parent)
    : QObject(parent), home_(std::move(home)), clock_(std::move(clock)) {
    while (home_.size() > 1 && home_.endsWith(u'/')) home_.chop(1);
    // Measurements run one after another, removals one at a time per target.
    pool_.setMaxThreadCount(2);
    ensureAccess();
    rebuildRows();
}

QuickCleanModel::~QuickCleanModel() {
    if (refreshRun_) refreshRun_->stop.request_stop();
    // Work still queued ends quickly; the waiting tasks then find the model gone.
    pool_.waitForDone();
}

QString QuickCleanModel::folderOf(const QString& relativePath) const {
    // The Trash row is the Trash that deletions fill, which XDG_DATA_HOME may
    // put outside the home.
    if (relativePath == QLatin1String(kHomeTrashFiles))
        return QFile::decodeName(QByteArray::fromStdString(dataHomeFor(bytesOf(home_)))) +
               QStringLiteral("/Trash/files");
    return QFile::decodeName(
        QByteArray::fromStdString(childPath(bytesOf(home_), bytesOf(relativePath))));
}

QuickCleanModel::Row* QuickCleanModel::findRow(const QString& relativePath) {
    for (Row& row : rows_)
        if (row.target.relativePath == relativePath) return &row;
    return nullptr;
}

void QuickCleanModel::setHasAccess(bool v) {
    if (hasAccess_ == v) return;
    hasAccess_ = v;
    emit hasAccessChanged();
}

// ---- access and rows -----------------------------------------------------------

void QuickCleanModel::ensureAccess() {
    // There is no sandbox here, but a saved location covering the home is held
    // like the other platform does, so both behave alike.
    if (!scopedPath_) {
        // The application's own settings, where its saved locations live.
        QSettings settings(QStringLiteral("Quillon"), QStringLiteral("Brackwater"));
        for (const SavedLocation& location : loadSavedLocations(settings)) {
            const QString& path = location.path;
            if (path != home_ && path != QLatin1String("/") && !home_.startsWith(path + u'/'))
                continue;
            if (std::optional<QString> resolved = resolveBookmark(location.bookmark)) {
                scopedPath_ = std::move(resolved);
                break;
            }
        }
    }
    setHasAccess(::access(bytesOf(home_).c_str(), R_OK) == 0);
}

void QuickCleanModel::rebuildRows() {
    std::vector<Row> rows;
    for (const QuickCleanTarget& target : quickCleanTargets()) {
        std::error_code ec;
        // A symbolic link counts as present: it is the folder the tool uses.
        if (std::filesystem::exists(
                std::filesystem::symlink_status(bytesOf(folderOf(target.relativePath)), ec)))
            rows.push_back(Row{target, std::nullopt, false, false, std::nullopt});
    }
    rows_ = std::move(rows);
    emit rowsChanged();
}

void QuickCleanModel::appear() {
    if (!hasAccess_) {
        ensureAccess();
        rebuildRows();
    }
    if (!hasAccess_) return;
    if (lastRefresh_ && lastRefresh_->secsTo(clock_()) < kRefreshIntervalSeconds) return;
    refresh();
}

// ---- measuring -------------------------------------------------------------------

void QuickCleanModel::refresh() {
    if (!hasAccess_ || refreshRun_) return;
    for (Row& row : rows_) row.isMeasuring = true;
    emit rowsChanged();
    refreshRun_ = std::make_shared<RefreshRun>();
    emit isRefreshingChanged();
    refreshTask(refreshRun_);  // runs on by itself; it holds the model weakly
}

// Operands of co_await are kept in named locals: g++ 12 destroys some
// temporaries in a co_await expression twice.

QCoro::Task<> QuickCleanModel::refreshTask(std::shared_ptr<RefreshRun> run) {
    QPointer<QuickCleanModel> self(this);
    QThreadPool* pool = &pool_;
    std::vector<QString> ids;
    for (const Row& row : rows_) ids.push_back(row.target.relativePath);

    for (const QString& id : ids) {
        if (run->stop.stop_requested()) break;
        const std::string path = bytesOf(folderOf(id));
        const std::stop_token stop = run->stop.get_token();
        PoolCall measuring(*pool, [path, stop] { return measureFolder(path, stop); });
        const std::optional<QuickSizer::Totals> totals = co_await measuring;
        if (!self) co_return;
        // Rows may have been rebuilt meanwhile.
        if (Row* row = self->findRow(id)) {
            row->bytes = totals ? std::optional<qint64>(totals->bytes) : std::nullopt;
            row->isMeasuring = false;
            emit self->rowsChanged();
        }
    }
    if (!self || self->refreshRun_ != run) co_return;
    self->lastRefresh_ = self->clock_();
    emit self->lastRefreshChanged();
    self->refreshRun_.reset();
    emit self->isRefreshingChanged();
}

// ---- emptying --------------------------------------------------------------------

void QuickCleanModel::clean(const QString& relativePath) {
    Row* row = findRow(relativePath);
    if (!row || row->isCleaning) return;
    row->isCleaning = true;
    row->errorText.reset();
    emit rowsChanged();
    cleanTask(row->target);  // runs on by itself; it holds the model weakly
}

QCoro::Task<> QuickCleanModel::cleanTask(QuickCleanTarget target) {
    QPointer<QuickCleanModel> self(this);
    QThreadPool* pool = &pool_;
    const QString id = target.relativePath;
    const std::string given = bytesOf(folderOf(target.relativePath));
    const bool isTrashBin = target.isTrashBin;
    const bool permanently = target.isTrashBin;

    PoolCall listing(*pool, [given] {
        // Entries are named by the folder's real path; a target that stands
        // for no folder of the user's has nothing to empty.
        const std::string folder = workingFolder(given).value_or(std::string());
        std::vector<std::string> names;
        std::error_code ec;
        if (!folder.empty())
            for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
                 it.increment(ec))
                names.push_back(it->path().filename().string());
        return std::make_pair(folder, names);
    });
    const auto [folder, names] = co_await listing;
    if (!self) co_return;
    const std::string infoFolder = infoFolderOf(folder, isTrashBin);

    long long failures = 0;
    for (const std::string& name : names) {
        const std::string path = childPath(folder, name);
        PoolCall removing(*pool, [path, infoFolder, permanently] {
            return removeEntry(path, infoFolder, permanently);
        });
        const Removal outcome = co_await removing;
        if (!self) co_return;
        if (outcome == Removal::failed) ++failures;
    }

    PoolCall measuring(*pool, [given] { return measureFolder(given); });
    const std::optional<QuickSizer::Totals> totals = co_await measuring;
    if (!self) co_return;
    if (Row* row = self->findRow(id)) {
        row->bytes = totals ? std::optional<qint64>(totals->bytes) : std::nullopt;
        row->isCleaning = false;
        row->errorText =
            failures > 0
                ? std::optional(QString::number(failures) +
                                QCoreApplication::translate("QuickClean", " öğe silinemedi"))
                : std::nullopt;
        emit self->rowsChanged();
    }
    emit self->cleanFinished(id);
}

// ---- QML faces -------------------------------------------------------------------

QVariantList QuickCleanModel::rowValues() const {
    QVariantList list;
    for (const Row& row : rows_) {
        QVariantMap map;
        map.insert(QStringLiteral("id"), row.target.relativePath);
        map.insert(QStringLiteral("name"), row.target.name);
        map.insert(QStringLiteral("relativePath"), row.target.relativePath);
        map.insert(QStringLiteral("icon"), row.target.icon);
        map.insert(QStringLiteral("warning"), optionalValue(row.target.warning));
        map.insert(QStringLiteral("isTrashBin"), row.target.isTrashBin);
        map.insert(QStringLiteral("bytes"), row.bytes ? QVariant(*row.bytes) : QVariant());
        map.insert(QStringLiteral("isMeasuring"), row.isMeasuring);
        map.insert(QStringLiteral("isCleaning"), row.isCleaning);
        map.insert(QStringLiteral("errorText"), optionalValue(row.errorText));
        list.append(map);
    }
    return list;
}

QVariant QuickCleanModel::lastRefreshValue() const {
    return lastRefresh_ ? QVariant(*lastRefresh_) : QVariant();
}

}  // namespace tidewell
