#include "top_files_model.h"

#include "app_model.h"
#include "display_text.h"
#include "node_value.h"

namespace tidewell {

namespace {

std::unordered_set<const FileNode*> basketSet(const AppModel& app) {
    std::unordered_set<const FileNode*> out;
    for (const NodeRef& n : app.basket()) out.insert(n.get());
    return out;
}

}  // namespace

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
            return marksOf(item.node.get(), basket_).inBasket;
        case CoveredRole:
            return marksOf(item.node.get(), basket_).covered;
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

TopFilesModel::Marks TopFilesModel::marksOf(
    const FileNode* node, const std::unordered_set<const FileNode*>& basket) const {
    Marks m;
    m.inBasket = basket.contains(node);
    m.covered = m.inBasket;
    for (const FileNode* a = node->parent(); a != nullptr && !m.covered; a = a->parent())
        m.covered = basket.contains(a);
    return m;
}

void TopFilesModel::reset() {
    const int before = count();
    beginResetModel();
    rows_.clear();
    if (app_.topFiles()) rows_ = *app_.topFiles();
    canDelete_.assign(rows_.size(), -1);
    basket_ = basketSet(app_);
    endResetModel();
    if (count() != before) emit countChanged();
}

// At most a hundred rows: each is compared before and after. The new
// basket is in place before any row is told, as views read at once.
void TopFilesModel::basketChanged() {
    std::unordered_set<const FileNode*> next = basketSet(app_);
    std::vector<int> touched;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const FileNode* n = rows_[i].node.get();
        if (marksOf(n, basket_) != marksOf(n, next)) touched.push_back(static_cast<int>(i));
    }
    basket_ = std::move(next);
    for (const int r : touched) emit dataChanged(index(r), index(r), {InBasketRole, CoveredRole});
}

}  // namespace tidewell
