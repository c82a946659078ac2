#include "smart_cleanup_model.h"

#include <QQmlEngine>
#include <algorithm>

#include "app_model.h"
#include "display_text.h"
#include "node_value.h"

namespace tidewell {

CleanupItemsModel::CleanupItemsModel(std::vector<CleanupItem> items,
                                     const std::unordered_set<const FileNode*>& basket,
                                     QObject* parent)
    : QAbstractListModel(parent), items_(std::move(items)) {
    marks_.reserve(items_.size());
    for (const CleanupItem& i : items_) marks_.push_back(basketMarks(i.node.get(), basket));
}

int CleanupItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> CleanupItemsModel::roleNames() const {
    return {{NodeRole, "node"}, {NameRole, "name"},         {PathRole, "path"},
            {SizeRole, "size"}, {InBasketRole, "inBasket"}, {CoveredRole, "covered"}};
}

QVariant CleanupItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const CleanupItem& item = items_[row];
    switch (role) {
        case NodeRole:
            return QVariant::fromValue(NodeValue(item.node));
        case NameRole:
            return NodeValue(item.node).name();
        case PathRole:
            return QString::fromStdString(repairUtf8(item.path));
        case SizeRole:
            return static_cast<qint64>(item.node->size());
        case InBasketRole:
            return marks_[row].inBasket;
        case CoveredRole:
            return marks_[row].covered;
        default:
            return {};
    }
}

bool CleanupItemsModel::setBasket(const std::unordered_set<const FileNode*>& basket) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const BasketMarks now = basketMarks(items_[i].node.get(), basket);
        if (now == marks_[i]) continue;
        marks_[i] = now;
        const int r = static_cast<int>(i);
        emit dataChanged(index(r), index(r), {InBasketRole, CoveredRole});
    }
    return allCovered();
}

bool CleanupItemsModel::allCovered() const {
    return std::all_of(marks_.begin(), marks_.end(),
                       [](const BasketMarks& m) { return m.covered; });
}

SmartCleanupModel::SmartCleanupModel(AppModel& app) : QAbstractListModel(&app), app_(app) {
    connect(&app, &AppModel::smartResultsChanged, this, &SmartCleanupModel::reset);
    connect(&app, &AppModel::basketChanged, this, &SmartCleanupModel::basketChanged);
    reset();
}

int SmartCleanupModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> SmartCleanupModel::roleNames() const {
    return {{KeyRole, "key"},
            {TitleRole, "title"},
            {SubtitleRole, "subtitle"},
            {IconRole, "icon"},
            {TotalSizeRole, "totalSize"},
            {TotalCountRole, "totalCount"},
            {HiddenCountRole, "hiddenCount"},
            {AllCoveredRole, "allCovered"},
            {ItemsRole, "items"},
            {ResultIndexRole, "resultIndex"}};
}

QVariant SmartCleanupModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const CleanupCategoryResult& r = *row.result;
    switch (role) {
        case KeyRole:
            return QString::fromStdString(r.key);
        case TitleRole:
            return QString::fromStdString(r.title);
        case SubtitleRole:
            return QString::fromStdString(r.subtitle);
        case IconRole:
            return QString::fromStdString(r.icon);
        case TotalSizeRole:
            return static_cast<qint64>(r.totalSize);
        case TotalCountRole:
            return static_cast<qint64>(r.totalCount);
        case HiddenCountRole:
            return static_cast<qint64>(r.totalCount - static_cast<std::int64_t>(r.items.size()));
        case AllCoveredRole:
            return row.allCovered;
        case ItemsRole:
            return QVariant::fromValue(static_cast<QObject*>(row.items.get()));
        case ResultIndexRole:
            return index.row();
        default:
            return {};
    }
}

// The rows point into the model's result, which stays until the next
// smartResultsChanged, the one signal that lays them out again.
void SmartCleanupModel::reset() {
    const int before = count();
    beginResetModel();
    // The old item lists outlive the reset, which is when their views let go.
    std::vector<Row> old = std::move(rows_);
    rows_.clear();
    if (const auto& results = app_.smartResults()) {
        const auto basket = basketIds(app_.basket());
        rows_.reserve(results->size());
        for (const CleanupCategoryResult& r : *results) {
            Row row;
            row.result = &r;
            row.items = std::make_unique<CleanupItemsModel>(r.items, basket, nullptr);
            QQmlEngine::setObjectOwnership(row.items.get(), QQmlEngine::CppOwnership);
            row.allCovered = row.items->allCovered();
            rows_.push_back(std::move(row));
        }
    }
    endResetModel();
    if (count() != before) emit countChanged();
    if (hasResults_ != app_.smartResults().has_value()) {
        hasResults_ = app_.smartResults().has_value();
        emit hasResultsChanged();
    }
}

void SmartCleanupModel::basketChanged() {
    const auto basket = basketIds(app_.basket());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const bool all = rows_[i].items->setBasket(basket);
        if (all == rows_[i].allCovered) continue;
        rows_[i].allCovered = all;
        const int r = static_cast<int>(i);
        emit dataChanged(index(r), index(r), {AllCoveredRole});
    }
}

}  // namespace tidewell
