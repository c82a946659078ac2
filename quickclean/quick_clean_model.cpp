#include "quick_clean_model.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <stop_token>
#include <string>

#include "cache_folders.h"
#include "pool_call.h"
#include "quick_sizer.h"
#include "saved_locations.h"

namespace tidewell {

namespace {

std::string bytesOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
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
    return QFile::decodeName(
        QByteArray::fromStdString(CacheFolders::folderOf(bytesOf(home_), bytesOf(relativePath))));
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
    // Nothing asks for access on Linux: the home is readable or it is not.
    setHasAccess(::access(bytesOf(home_).c_str(), R_OK) == 0);
}

void QuickCleanModel::rebuildRows() {
    std::vector<Row> rows;
    for (const QuickCleanTarget& target : quickCleanTargets())
        if (CacheFolders::isPresent(bytesOf(folderOf(target.relativePath))))
            rows.push_back(Row{target, std::nullopt, false, false, std::nullopt});
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
        PoolCall measuring(*pool, [path, stop] { return CacheFolders::measure(path, stop); });
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

void QuickCleanModel::setMeasured(const QString& relativePath, std::optional<qint64> bytes) {
    Row* row = findRow(relativePath);
    if (!row) return;
    row->bytes = bytes;
    row->isMeasuring = false;
    emit rowsChanged();
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

    PoolCall listing(*pool, [given, isTrashBin] {
        return std::make_shared<const CacheFolders::Emptying>(
            CacheFolders::listForEmptying(given, isTrashBin));
    });
    const std::shared_ptr<const CacheFolders::Emptying> emptying = co_await listing;
    if (!self) co_return;

    long long failures = 0;
    for (const std::string& name : emptying->names) {
        PoolCall removing(*pool,
                          [emptying, name] { return CacheFolders::removeEntry(*emptying, name); });
        const CacheFolders::Removal outcome = co_await removing;
        if (!self) co_return;
        if (outcome == CacheFolders::Removal::failed) ++failures;
    }

    PoolCall measuring(*pool, [given] { return CacheFolders::measure(given); });
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
