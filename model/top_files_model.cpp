#include "top_files_model.h"

#include "app_model.h"
#include "basket_marks.h"
#include "display_text.h"
#include "node_value.h"

namespace tidewell {

TopFilesModel::TopFilesModel(AppModel& app) : QAbstractListModel(&app), app_(app) {
    connect(&app, &AppModel::topFilesChanged, this, &TopFilesModel::reset);
    // After a deletion some entries are detached and may no longer be deleted.
    connect(&app, &AppModel::treeVersionChanged, this, &TopFilesModel::reset);
    connect(&app, &AppModel::basketChanged, this, &TopFilesModel::basketChanged);
    reset();
}

int TopFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> TopFilesModel::roleNames() const {
    return {{NodeRole, "node"},       {RankRole, "rank"},           {NameRole, "name"},
            {PathRole, "path"},       {SizeRole, "size"},           {InBasketRole, "inBasket"},
            {CoveredRole, "covered"}, {CanDeleteRole, "canDelete"}, {AttachedRole, "attached"}};
}

QVariant TopFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const CleanupItem& item = rows_[row];
    switch (role) {
        case NodeRole:
            return QVariant::fromValue(NodeValue(item.node));
        case RankRole:
            return index.row() + 1;
        case NameRole:
            return NodeValue(item.node).name();
        case PathRole:
            return QString::fromStdString(repairUtf8(item.path));
        case SizeRole:
            return static_cast<qint64>(item.node->size());
        case InBasketRole:
            return basketMarks(item.node.get(), basket_).inBasket;
        case CoveredRole:
            return basketMarks(item.node.get(), basket_).covered;
        case CanDeleteRole:
            if (canDelete_[row] < 0) {
                canDelete_[row] = app_.canDelete(item.node.get()) ? 1 : 0;
                ++canDeleteEvaluations_;
            }
            return canDelete_[row] == 1;
        case AttachedRole:
            return app_.isShown(item.node.get());
        default:
            return {};
    }
}

void TopFilesModel::reset() {
    const int before = count();
    beginResetModel();
    rows_.clear();
    if (app_.topFiles()) rows_ = *app_.topFiles();
    canDelete_.assign(rows_.size(), -1);
    basket_ = basketIds(app_.basket());
    endResetModel();
    if (count() != before) emit countChanged();
    if (hasResults_ != app_.topFiles().has_value()) {
        hasResults_ = app_.topFiles().has_value();
        emit hasResultsChanged();
    }
}

// At most a hundred rows: each is compared before and after. The new
// basket is in place before any row is told, as views read at once.
void TopFilesModel::basketChanged() {
    std::unordered_set<const FileNode*> next = basketIds(app_.basket());
    std::vector<int> touched;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const FileNode* n = rows_[i].node.get();
        if (basketMarks(n, basket_) != basketMarks(n, next)) touched.push_back(static_cast<int>(i));
    }
    basket_ = std::move(next);
    for (const int r : touched) emit dataChanged(index(r), index(r), {InBasketRole, CoveredRole});
}

}  // namespace tidewell
